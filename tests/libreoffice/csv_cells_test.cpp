#include "platform/libreoffice/csv_cells.h"

#include <gtest/gtest.h>

#include "platform/libreoffice/file_checks.h"

namespace quillory::libreoffice {
namespace {

std::string Cells(std::string_view csv) {
  std::string out;
  ForEachCsvCell(csv, [&](int row, int column, std::string text) {
    out += std::to_string(row) + "," + std::to_string(column) + "=" + text + ";";
  });
  return out;
}

TEST(CsvCells, FindsNonEmptyFieldsWithTheirPositions) {
  EXPECT_EQ(Cells(""), "");
  EXPECT_EQ(Cells("\n"), "");
  EXPECT_EQ(Cells("a,,c\n,,\n,,9\n"), "1,1=a;1,3=c;3,3=9;");
  EXPECT_EQ(Cells("\"1,234.50\",12%,$5.00"), "1,1=1,234.50;1,2=12%;1,3=$5.00;");
  EXPECT_EQ(Cells("\"say \"\"hi\"\", ok\",\"\""), "1,1=say \"hi\", ok;");
  EXPECT_EQ(Cells("\"line1\nline2\",x\r\ny"), "1,1=line1\nline2;1,2=x;2,1=y;");
  EXPECT_EQ(Cells("\"  \",\"\xC3\x9C\""), "1,1=  ;1,2=\xC3\x9C;");
}

TEST(FileChecks, ExpectedFiltersFollowTheExtension) {
  EXPECT_EQ(ExpectedFilters("/a/b.XLS"),
            (std::vector<std::string>{"MS Excel 97", "MS Excel 97 Vorlage/Template", "MS Excel 95",
                                      "MS Excel 5.0/95", "MS Excel 95 Vorlage/Template",
                                      "MS Excel 5.0/95 Vorlage/Template"}));
  EXPECT_TRUE(IsExcel95Filter("MS Excel 95 Vorlage/Template"));
  EXPECT_TRUE(IsExcel95Filter("MS Excel 5.0/95"));
  EXPECT_FALSE(IsExcel95Filter("MS Excel 97"));
  EXPECT_EQ(ExpectedFilters("/a/b.ods"), (std::vector<std::string>{"calc8"}));
  EXPECT_EQ(ExpectedFilters("/a/b.ots"), (std::vector<std::string>{"calc8_template"}));
  EXPECT_TRUE(ExpectedFilters("/a/b.csv").empty());
  EXPECT_TRUE(ExpectedFilters("/a/xls").empty());
}

TEST(FileChecks, MissingFileIsNamed) {
  EXPECT_EQ(WhyNotWritable("/nonexistent/book.xls"), "the file does not exist");
}

}  // namespace
}  // namespace quillory::libreoffice
