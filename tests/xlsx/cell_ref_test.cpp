#include <gtest/gtest.h>

#include <fstream>

#include "platform/xlsx/cell_ref.h"
#include "platform/xlsx/xml_scan.h"

namespace quillory::xlsx {
namespace {

TEST(CellRef, ParsesAndNamesCellsAtTheSheetsEdges) {
  EXPECT_EQ(ParseCellRef("A1"), (CellRef{1, 1}));
  EXPECT_EQ(ParseCellRef("$B$7"), (CellRef{7, 2}));
  EXPECT_EQ(ParseCellRef("XFD1048576"), (CellRef{1048576, 16384}));
  EXPECT_FALSE(ParseCellRef("XFE1"));
  EXPECT_FALSE(ParseCellRef("A1048577"));
  EXPECT_FALSE(ParseCellRef("A0"));
  EXPECT_FALSE(ParseCellRef("A01"));
  EXPECT_FALSE(ParseCellRef("1A"));
  EXPECT_FALSE(ParseCellRef(""));
  EXPECT_EQ(ColumnName(1), "A");
  EXPECT_EQ(ColumnName(26), "Z");
  EXPECT_EQ(ColumnName(27), "AA");
  EXPECT_EQ(ColumnName(16384), "XFD");
  for (int column = 1; column <= kMaxColumns; ++column) {
    ASSERT_EQ(ParseColumnName(ColumnName(column)), column);
  }
  const auto range = ParseRangeRef("C3:A1");
  ASSERT_TRUE(range);
  EXPECT_EQ(RangeName(*range), "A1:C3");
  EXPECT_TRUE(range->Contains(2, 2));
  EXPECT_FALSE(range->Contains(4, 1));
}

TEST(ShiftFormula, MovesRelativeReferencesOnly) {
  std::ifstream in(std::string(QUILLORY_TEST_DATA) + "/shift_formula.tsv");
  std::string line;
  int rows = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
      fields.push_back(line.substr(start, tab - start));
    }
    fields.push_back(line.substr(start));
    ASSERT_GE(fields.size(), 4u) << line;
    EXPECT_EQ(ShiftFormula(fields[0], std::stoi(fields[1]), std::stoi(fields[2])), fields[3])
        << fields[0] << " (" << (fields.size() > 4 ? fields[4] : "") << ")";
    ++rows;
  }
  EXPECT_GT(rows, 10);
}

TEST(CellEscapes, DecodeAndEncodeRoundTrip) {
  EXPECT_EQ(xml::DecodeCellEscapes("a_x000D__x0009_b"), "a\r\tb");
  EXPECT_EQ(xml::DecodeCellEscapes("_xD83D__xDE00_"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(xml::DecodeCellEscapes("_xD83D_x"), "\xEF\xBF\xBDx");  // lone surrogate
  EXPECT_EQ(xml::DecodeCellEscapes("_x00zz_ _x12_"), "_x00zz_ _x12_");
  EXPECT_EQ(xml::EncodeCellEscapes("a\rb\x01"), "a_x000D_b_x0001_");
  EXPECT_EQ(xml::EncodeCellEscapes("tab\tline\n"), "tab\tline\n");
  EXPECT_EQ(xml::EncodeCellEscapes("_x0041_"), "_x005F_x0041_");
  EXPECT_EQ(xml::EncodeCellEscapes("bad \xC3 utf8"), "bad \xEF\xBF\xBD utf8");
  for (const std::string text : {"_x0041_", "a\rb\x01\x7f", "_x005F_x", "plain", "\xE5\xA3\xB2"}) {
    EXPECT_EQ(xml::DecodeCellEscapes(xml::EncodeCellEscapes(text)), text);
  }
}

TEST(XmlScanner, ReportsMalformedMarkup) {
  for (const std::string bad : {"<a", "<a b=>", "<a b='x>", "<a/ >", "<!-- x", "<a b=\"1\"c=\"2\">",
                                "</>", "<a><![CDATA[x</a>"}) {
    xml::Scanner scanner(bad);
    xml::TokenKind kind;
    do {
      kind = scanner.Next().kind;
    } while (kind != xml::TokenKind::Error && kind != xml::TokenKind::End);
    EXPECT_EQ(kind, xml::TokenKind::Error) << bad;
  }
  std::string decoded;
  EXPECT_TRUE(xml::AppendDecoded("&lt;&#65;&#x42;&amp;&quot;", &decoded));
  EXPECT_EQ(decoded, "<AB&\"");
  EXPECT_FALSE(xml::AppendDecoded("&nosuch;", &decoded));
}

}  // namespace
}  // namespace quillory::xlsx
