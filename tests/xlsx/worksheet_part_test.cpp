#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/xlsx/shared_strings.h"
#include "platform/xlsx/styles.h"
#include "platform/xlsx/worksheet_part.h"
#include "workbook/spreadsheet.h"

// The worksheet part on its own: reading odd but valid markup, and the exact markup it writes.
namespace quillory::xlsx {
namespace {

std::string Sheet(const std::string& sheet_data) {
  return "<worksheet xmlns=\"urn:main\"><sheetData>" + sheet_data + "</sheetData></worksheet>";
}

std::string SheetDataOf(const std::string& xml) {
  const auto begin = xml.find("<sheetData>") + 11;
  return xml.substr(begin, xml.find("</sheetData>") - begin);
}

class WorksheetPartTest : public ::testing::Test {
 protected:
  std::string Text(const WorksheetPart& part, int row, int column) {
    return part.Text(row, column, strings_, styles_);
  }
  SharedStrings strings_;
  Styles styles_;
};

TEST_F(WorksheetPartTest, RowsAndCellsOutOfOrderAreReadAndWrittenInOrder) {
  WorksheetPart part(Sheet("<row r=\"3\"><c r=\"C3\"><v>33</v></c><c r=\"A3\"><v>31</v></c></row>"
                           "<row r=\"1\"><c r=\"B1\"><v>12</v></c></row>"),
                     "f.xlsx", "s.xml", "S");
  EXPECT_EQ(Text(part, 3, 1), "31");
  EXPECT_EQ(Text(part, 3, 3), "33");
  EXPECT_EQ(Text(part, 1, 2), "12");
  EXPECT_EQ(part.LastRow(), 3);
  EXPECT_EQ(part.LastColumn(), 3);
  part.WriteString(3, 3, "x");
  EXPECT_EQ(SheetDataOf(part.Serialize()),
            "<row r=\"1\"><c r=\"B1\"><v>12</v></c></row><row r=\"3\"><c r=\"A3\"><v>31</v></c>"
            "<c r=\"C3\" t=\"inlineStr\"><is><t>x</t></is></c></row>");
}

TEST_F(WorksheetPartTest, UntouchedRowsAreCopiedAsTheyWere) {
  const std::string rows =
      "\n  <row r=\"1\" spans=\"1:2\" x14ac:dyDescent=\"0.25\"><c r=\"A1\" "
      "s=\"3\"><v>1</v></c></row>"
      "\n  <row r=\"2\"><c r=\"A2\"><v>2</v></c></row>\n";
  WorksheetPart part(Sheet(rows), "f.xlsx", "s.xml", "S");
  EXPECT_FALSE(part.changed());
  part.WriteString(2, 1, "two");
  EXPECT_EQ(
      SheetDataOf(part.Serialize()),
      "\n  <row r=\"1\" spans=\"1:2\" x14ac:dyDescent=\"0.25\"><c r=\"A1\" s=\"3\"><v>1</v></c>"
      "</row>\n  <row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>two</t></is></c></row>\n");
}

TEST_F(WorksheetPartTest, AnEditedRowKeepsWhatFollowsItsCells) {
  WorksheetPart part(
      Sheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"C1\"><v>3</v></c>\n"
            "<extLst><ext uri=\"{r}\"><q:x xmlns:q=\"urn:q\"/></ext></extLst></row>"),
      "f.xlsx", "s.xml", "S");
  part.WriteString(1, 3, "three");
  part.WriteString(1, 4, "four");
  EXPECT_EQ(SheetDataOf(part.Serialize()),
            "<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"C1\" t=\"inlineStr\"><is><t>three</t></is>"
            "</c><c r=\"D1\" t=\"inlineStr\"><is><t>four</t></is></c>\n<extLst><ext uri=\"{r}\">"
            "<q:x xmlns:q=\"urn:q\"/></ext></extLst></row>");
}

TEST_F(WorksheetPartTest, AMasterHandedOnTwiceShiftsFromWhereItStarted) {
  WorksheetPart part(
      Sheet("<row r=\"1\"><c r=\"A1\"><f t=\"shared\" ref=\"A1:A4\" si=\"7\" aca=\"0\">$B$1+B1*"
            "SUM(C1:C2)&amp;\"A1\"</f><v>1</v></c></row>"
            "<row r=\"2\"><c r=\"A2\"><f t=\"shared\" si=\"7\"/><v>2</v></c></row>"
            "<row r=\"3\"><c r=\"A3\"><f t=\"shared\" si=\"7\"/><v>3</v></c></row>"
            "<row r=\"4\"><c r=\"A4\"><f t=\"shared\" si=\"7\"/><v>4</v></c></row>"),
      "f.xlsx", "s.xml", "S");
  EXPECT_EQ(part.WriteString(1, 1, "gone"), WorksheetPart::WriteResult::FormulaRemoved);
  EXPECT_EQ(part.WriteString(2, 1, "gone too"), WorksheetPart::WriteResult::FormulaRemoved);
  const std::string data = SheetDataOf(part.Serialize());
  EXPECT_NE(data.find("<c r=\"A3\"><f t=\"shared\" si=\"7\" ref=\"A3:A4\">$B$1+B3*SUM(C3:C4)&amp;"
                      "\"A1\"</f><v>3</v></c>"),
            std::string::npos)
      << data;
  EXPECT_NE(data.find("<c r=\"A4\"><f t=\"shared\" si=\"7\"/><v>4</v></c>"), std::string::npos);
  EXPECT_EQ(Text(part, 3, 1), "3");
}

TEST_F(WorksheetPartTest, TheLastFormulaOfAGroupLeavesNothingBehind) {
  WorksheetPart part(Sheet("<row r=\"1\"><c r=\"A1\"><f t=\"shared\" ref=\"A1:B1\" si=\"0\">C1</f>"
                           "<v>1</v></c><c r=\"B1\"><f t=\"shared\" si=\"0\"/><v>2</v></c></row>"),
                     "f.xlsx", "s.xml", "S");
  part.WriteString(1, 2, "member");
  part.WriteString(1, 1, "master");
  EXPECT_EQ(SheetDataOf(part.Serialize()),
            "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>master</t></is></c>"
            "<c r=\"B1\" t=\"inlineStr\"><is><t>member</t></is></c></row>");
}

TEST_F(WorksheetPartTest, OverwritingFilledDownFormulasCellByCellTakesLinearTime) {
  // Column B: one group filled down 20,000 rows; columns C:D: one two-cell group per row.
  constexpr int kRows = 20000;
  std::string rows;
  for (int r = 1; r <= kRows; ++r) {
    const std::string n = std::to_string(r);
    rows += "<row r=\"" + n + "\"><c r=\"B" + n + "\">" +
            (r == 1 ? "<f t=\"shared\" ref=\"B1:B20000\" si=\"0\">A1*2</f>"
                    : "<f t=\"shared\" si=\"0\"/>") +
            "<v>2</v></c><c r=\"C" + n + "\"><f t=\"shared\" ref=\"C" + n + ":D" + n + "\" si=\"" +
            n + "\">$A" + n + "+A1</f><v>1</v></c><c r=\"D" + n + "\"><f t=\"shared\" si=\"" + n +
            "\"/><v>1</v></c></row>";
  }
  WorksheetPart part(Sheet(rows), "f.xlsx", "s.xml", "S");
  const auto start = std::chrono::steady_clock::now();
  for (int r = 1; r < kRows; ++r) {
    part.WriteString(r, 2, "w");
    part.WriteString(r, 3, "w");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  const std::string data = SheetDataOf(part.Serialize());
  EXPECT_NE(data.find("<c r=\"B20000\"><f t=\"shared\" si=\"0\" ref=\"B20000\">A20000*2</f>"),
            std::string::npos);
  EXPECT_NE(data.find("<c r=\"D19999\"><f t=\"shared\" si=\"19999\" ref=\"D19999\">$A19999+B1"
                      "</f>"),
            std::string::npos);
}

TEST_F(WorksheetPartTest, ManyArrayFormulasDoNotSlowDownWritesBesideThem) {
  // A two-cell array formula in every row, and a taller one at the top.
  constexpr int kRows = 30000;
  std::string rows;
  for (int r = 1; r <= kRows; ++r) {
    const std::string n = std::to_string(r);
    rows += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>1</v></c><c r=\"B" + n +
            "\"><v>2</v></c><c r=\"C" + n + "\"><f t=\"array\" ref=\"C" + n + ":D" + n + "\">A" +
            n + ":B" + n + "</f><v>1</v></c><c r=\"D" + n + "\"><v>2</v></c>" +
            (r == 1 ? "<c r=\"F1\"><f t=\"array\" ref=\"F1:F3\">A1:A3</f></c>" : "") + "</row>";
  }
  WorksheetPart part(Sheet(rows), "f.xlsx", "s.xml", "S");
  const auto start = std::chrono::steady_clock::now();
  for (int r = 1; r <= kRows; ++r) {
    part.WriteString(r, 1, "w");
    part.WriteString(r, 2, "w");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_THROW(part.WriteString(kRows, 4, "x"), workbook::CellWriteRefused);
  EXPECT_THROW(part.WriteString(3, 6, "x"), workbook::CellWriteRefused);
  part.WriteString(4, 6, "x");
}

TEST_F(WorksheetPartTest, ASingleCellArrayFormulaIsReplacedAMultiCellOneRefused) {
  WorksheetPart part(
      Sheet("<row r=\"1\"><c r=\"A1\"><f t=\"array\" ref=\"A1\">SUM(B1:B2*2)</f><v>6</v></c>"
            "<c r=\"C1\"><f t=\"array\" ref=\"C1:C2\">B1:B2</f><v>1</v></c></row>"
            "<row r=\"2\"><c r=\"C2\"><v>2</v></c></row>"),
      "f.xlsx", "s.xml", "S");
  EXPECT_EQ(part.WriteString(1, 1, "six"), WorksheetPart::WriteResult::FormulaRemoved);
  EXPECT_THROW(part.WriteString(1, 3, "x"), workbook::CellWriteRefused);
  EXPECT_THROW(part.WriteString(2, 3, "x"), workbook::CellWriteRefused);
  EXPECT_EQ(Text(part, 2, 3), "2");
}

TEST_F(WorksheetPartTest, NewCellsAndRowsGoInOrderAndTheEmptyStringEmptiesACell) {
  WorksheetPart part("<worksheet><dimension ref=\"B2\"/><sheetData/></worksheet>", "f.xlsx",
                     "s.xml", "S");
  EXPECT_EQ(part.LastRow(), 0);
  part.WriteString(3, 2, "b3");
  part.WriteString(1, 4, " d1 ");
  part.WriteString(2, 2, "");  // an empty cell stays as it was
  part.WriteString(3, 1, "");
  part.WriteString(3, 1, "a3");
  EXPECT_EQ(part.Serialize(),
            "<worksheet><dimension ref=\"A1:D3\"/><sheetData>"
            "<row r=\"1\"><c r=\"D1\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> d1 </t></is>"
            "</c></row>"
            "<row r=\"3\"><c r=\"A3\" t=\"inlineStr\"><is><t>a3</t></is></c>"
            "<c r=\"B3\" t=\"inlineStr\"><is><t>b3</t></is></c></row></sheetData></worksheet>");
}

// Rows with and without numbers, shared and array formulas across the middle; `variant` 1 puts
// a long comment full of row-like markup over the middle, 2 leaves the second half unnumbered.
std::string ManyRows(int variant) {
  std::string rows;
  for (int r = 1; r <= 400; ++r) {
    const std::string n = std::to_string(r);
    const bool numbered = !(r % 7 == 0 || (variant == 2 && r > 120));
    if (variant == 1 && r == 200) {
      rows += "<!--";
      for (int i = 0; i < 2000; ++i) rows += " <row r=\"999\"><c r=\"A999\"><v>9</v></c></row>";
      rows += " -->";
    }
    if (r == 150) {
      rows +=
          "<row r=\"150\"><c r=\"A150\"><f t=\"shared\" ref=\"A150:A260\" si=\"3\">B150*2</f>"
          "<v>1</v></c><c r=\"C150\"><f t=\"array\" ref=\"C150:C151\">D1:D2</f><v>4</v></c></row>";
    } else if (!numbered) {
      rows += "<row><c><v>" + n + "</v></c><c t=\"inlineStr\"><is><t>i" + n + "</t></is></c></row>";
    } else if (r > 150 && r <= 260) {
      rows += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><f t=\"shared\" si=\"3\"/><v>" + n +
              "</v></c><c r=\"B" + n + "\" s=\"1\"><v>" + n + ".5</v></c></row>";
    } else {
      rows += "<row r=\"" + n + "\" spans=\"1:2\"><c r=\"A" + n + "\"><v>" + n +
              "</v></c><c r=\"B" + n + "\" t=\"b\"><v>1</v></c></row>";
    }
  }
  return rows;
}

TEST_F(WorksheetPartTest, ReadingInTwoHalvesFindsWhatReadingInOneDoes) {
  for (int variant = 0; variant < 3; ++variant) {
    const std::string xml = Sheet(ManyRows(variant));
    WorksheetPart one(xml, "f.xlsx", "s.xml", "S", std::string::npos);
    WorksheetPart two(xml, "f.xlsx", "s.xml", "S", 0);
    ASSERT_EQ(two.LastRow(), one.LastRow()) << variant;
    ASSERT_EQ(two.LastColumn(), one.LastColumn()) << variant;
    for (int r = 1; r <= one.LastRow(); ++r) {
      for (int c = 1; c <= one.LastColumn(); ++c) {
        ASSERT_EQ(Text(two, r, c), Text(one, r, c)) << variant << ": " << r << "," << c;
      }
    }
    EXPECT_EQ(Text(two, 398, 2), variant == 2 ? "i398" : "TRUE");
    for (WorksheetPart* part : {&one, &two}) {
      part->WriteString(150, 1, "master gone");
      part->WriteString(7, 2, "x");
      EXPECT_THROW(part->WriteString(151, 3, "x"), workbook::CellWriteRefused);
    }
    EXPECT_EQ(two.Serialize(), one.Serialize()) << variant;
  }
}

TEST_F(WorksheetPartTest, WrittenTextIsEscapedAndKeptWhereItMustBeAndOnlyThere) {
  const std::pair<std::string, std::string> cases[] = {
      {"One Hundred Point Five", "<t>One Hundred Point Five</t>"},
      {"say \"hi\" (7)", "<t>say \"hi\" (7)</t>"},
      {"a&b<c>", "<t>a&amp;b&lt;c&gt;</t>"},
      {"a  b", "<t xml:space=\"preserve\">a  b</t>"},
      {" lead", "<t xml:space=\"preserve\"> lead</t>"},
      {"trail ", "<t xml:space=\"preserve\">trail </t>"},
      {"tab\there", "<t xml:space=\"preserve\">tab\there</t>"},
      {"cr\rhere", "<t>cr_x000D_here</t>"},
      {"x_y", "<t>x_y</t>"},
      {"_x0041_", "<t>_x005F_x0041_</t>"},
      {"caf\xc3\xa9", "<t>caf\xc3\xa9</t>"},
      {"~", "<t>~</t>"},
  };
  std::string rows;
  for (int r = 1; r <= static_cast<int>(std::size(cases)); ++r) {
    rows += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) +
            "\"><v>1</v></c></row>";
  }
  WorksheetPart part(Sheet(rows), "f.xlsx", "s.xml", "S");
  for (int r = 1; r <= static_cast<int>(std::size(cases)); ++r) {
    part.WriteString(r, 1, cases[r - 1].first);
  }
  const std::string data = SheetDataOf(part.Serialize());
  for (int r = 1; r <= static_cast<int>(std::size(cases)); ++r) {
    const std::string cell = "<c r=\"A" + std::to_string(r) + "\" t=\"inlineStr\"><is>" +
                             cases[r - 1].second + "</is></c>";
    EXPECT_NE(data.find(cell), std::string::npos) << cases[r - 1].first << " in " << data;
    EXPECT_EQ(Text(part, r, 1), cases[r - 1].first);
  }
}

// Rows 5, 10, ... 2000 with white space between them and a dimension hint, written into.
WorksheetPart GappedSheet() {
  std::string rows;
  for (int r = 5; r <= 2000; r += 5) {
    const std::string n = std::to_string(r);
    rows += "\n <row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + n + "</v></c><c r=\"C" + n +
            "\" t=\"inlineStr\"><is><t>c" + n + "</t></is></c></row>";
  }
  WorksheetPart part("<worksheet xmlns=\"urn:main\"><dimension ref=\"A5:C2000\"/><sheetData>" +
                         rows + "\n</sheetData><pageMargins left=\"0.7\"/></worksheet>",
                     "f.xlsx", "s.xml", "S");
  for (int r = 5; r <= 2000; r += 15) part.WriteString(r, 1, "Row " + std::to_string(r));
  // Cells the sheet lacks: before its first row, between rows, in a row, after its last row.
  part.WriteString(1, 2, "first");
  part.WriteString(7, 4, "between");
  part.WriteString(10, 9, "beside");
  part.WriteString(2500, 1, "last");
  return part;
}

std::string Joined(const WorksheetPart& part, const std::vector<std::size_t>& starts) {
  std::string joined;
  for (std::size_t i = 0; i < starts.size(); ++i) part.AppendPiece(starts, i, &joined);
  return joined;
}

TEST_F(WorksheetPartTest, PiecesJoinedInOrderAreTheWholePart) {
  const WorksheetPart part = GappedSheet();
  const std::string whole = part.Serialize();
  EXPECT_NE(whole.find("<dimension ref=\"A1:I2500\"/>"), std::string::npos);
  EXPECT_NE(whole.find("<c r=\"D7\" t=\"inlineStr\"><is><t>between</t>"), std::string::npos);
  for (const std::size_t piece_bytes :
       {std::size_t{1}, std::size_t{100}, std::size_t{4000}, whole.size() / 3, whole.size() * 2}) {
    const std::vector<std::size_t> starts = part.PieceStarts(piece_bytes);
    ASSERT_FALSE(starts.empty());
    EXPECT_EQ(starts.front(), 0u);
    EXPECT_TRUE(std::is_sorted(starts.begin(), starts.end()));
    EXPECT_EQ(std::adjacent_find(starts.begin(), starts.end()), starts.end());
    if (piece_bytes <= 4000) {
      EXPECT_GT(starts.size(), 10u) << piece_bytes;
    }
    EXPECT_EQ(Joined(part, starts), whole) << piece_bytes;
  }
  for (int variant = 0; variant < 3; ++variant) {
    WorksheetPart many(Sheet(ManyRows(variant)), "f.xlsx", "s.xml", "S");
    many.WriteString(150, 1, "master gone");
    many.WriteString(260, 2, "x");
    EXPECT_EQ(Joined(many, many.PieceStarts(64)), many.Serialize()) << variant;
  }
}

TEST_F(WorksheetPartTest, RowsOutOfOrderAndUnchangedPartsAreOnePiece) {
  WorksheetPart shuffled(Sheet("<row r=\"3\"><c r=\"A3\"><v>3</v></c></row>"
                               "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"
                               "<row r=\"2\"><c r=\"A2\"><v>2</v></c></row>"),
                         "f.xlsx", "s.xml", "S");
  shuffled.WriteString(2, 1, "two");
  EXPECT_EQ(shuffled.PieceStarts(1), std::vector<std::size_t>{0});
  EXPECT_EQ(Joined(shuffled, {0}), shuffled.Serialize());
  const std::string xml = Sheet(ManyRows(0));
  WorksheetPart unchanged(xml, "f.xlsx", "s.xml", "S");
  EXPECT_EQ(unchanged.PieceStarts(1), std::vector<std::size_t>{0});
  EXPECT_EQ(Joined(unchanged, {0}), xml);
}

TEST_F(WorksheetPartTest, AMalformedSecondHalfIsReported) {
  std::string rows;
  for (int r = 1; r <= 100; ++r) {
    rows += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) + "\"><v>1</v>" +
            (r == 90 ? "</x>" : "</c>") + "</row>";
  }
  EXPECT_THROW(WorksheetPart(Sheet(rows), "f.xlsx", "s.xml", "S", 0), workbook::WorkbookError);
}

}  // namespace
}  // namespace quillory::xlsx
