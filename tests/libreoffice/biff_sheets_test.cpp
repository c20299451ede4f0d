#include "platform/libreoffice/biff_sheets.h"

#include <gtest/gtest.h>

#include "tests/libreoffice/fixtures.h"

namespace quillory::libreoffice {
namespace {

std::string Describe(const SourceWorkbook& book) {
  std::string out;
  for (const SourceSheet& sheet : book.sheets) {
    out += sheet.name + ":" + std::to_string(static_cast<int>(sheet.kind)) + " ";
  }
  return out + "active " + std::to_string(book.active);
}

TEST(BiffSheets, ListsSheetsAndTheirKinds) {
  testing::TempFolder folder;
  testing::WriteChartWorkbook(folder / "charts.xlsx");
  testing::ConvertWithLibreOffice(
      {{folder / "charts.xlsx", folder / "charts.xls", "MS Excel 97", "-"}});
  const std::string xls = testing::ReadFile(folder / "charts.xls");
  // LibreOffice wrote the chart sheet as a worksheet.
  EXPECT_EQ(Describe(ReadBiffSheets(xls)), "Data:0 Chart1:0 Empty:0 active 0");
  EXPECT_EQ(Describe(ReadBiffSheets(testing::MarkChartSheet(xls, "Chart1", 1))),
            "Data:0 Chart1:2 Empty:0 active 1");
}

TEST(OoxmlSheets, ChartSheetsAreToldFromTheRelationships) {
  testing::TempFolder folder;
  testing::WriteChartWorkbook(folder / "charts.xlsx");
  EXPECT_EQ(Describe(ReadOoxmlSheets(folder / "charts.xlsx")), "Data:0 Chart1:2 Empty:0 active -1");
  testing::WriteFile(folder / "text.xlsx", "1,2\n");
  EXPECT_TRUE(ReadOoxmlSheets(folder / "text.xlsx").sheets.empty());
  EXPECT_TRUE(ReadOoxmlSheets(folder / "missing.xlsx").sheets.empty());
}

TEST(BiffSheets, AnythingElseGivesNoSheets) {
  EXPECT_TRUE(ReadBiffSheets("").sheets.empty());
  EXPECT_TRUE(ReadBiffSheets("1234.5,Total\n").sheets.empty());
  std::string truncated("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  truncated.resize(600, '\xFF');
  EXPECT_TRUE(ReadBiffSheets(truncated).sheets.empty());
}

}  // namespace
}  // namespace quillory::libreoffice
