#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quillory::xlsx
