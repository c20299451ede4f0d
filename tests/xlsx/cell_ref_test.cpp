#include <gtest/gtest.h>

#include <fstream>

#include "platform/xlsx/cell_ref.h"

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

}  // namespace
}  // namespace quillory::xlsx
