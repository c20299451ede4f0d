#include <gtest/gtest.h>

#include "engine/settings.h"
#include "engine/words.h"
#include "tests/workbook/fake_workbook.h"
#include "workbook/cell_walks.h"
#include "workbook/sheet_geometry.h"

namespace quillory::workbook {
namespace {

using testing::FakeOffice;
using testing::FakeWorkbook;
using testing::MakeSheet;

class Walks : public ::testing::Test {
 protected:
  FakeWorkbook Open(std::vector<testing::FakeSheet> sheets, std::size_t active = 0) {
    return FakeWorkbook("book.xlsx", {std::move(sheets), active}, office_);
  }
  CellWalk Walk(Kind kind, std::int16_t base = 0) {
    return CellWalk(kind, base, words_, "book.xlsx");
  }
  std::vector<std::string> Writes() const {
    std::vector<std::string> writes;
    for (const std::string& entry : office_.log) {
      if (entry.rfind("write ", 0) == 0) writes.push_back(entry);
    }
    return writes;
  }

  MemorySettings store_;
  WordSource words_{store_};
  FakeOffice office_;
};

std::string TextAt(FakeWorkbook& book, std::size_t sheet, std::int32_t row, std::int32_t column) {
  return book.data().sheets[sheet].cells[{row, column}].text;
}
std::string FormulaAt(FakeWorkbook& book, std::int32_t row, std::int32_t column) {
  return book.data().sheets[0].cells[{row, column}].formula;
}

TEST_F(Walks, NumbersBecomeWordsAndEverythingElseStaysAsItWas) {
  FakeWorkbook book = Open({MakeSheet(
      "Sales",
      {{"Item", "Amount"}, {"Pens", "12"}, {"Total", "=12"}, {"Array", "!7"}, {"", "0"}})});
  CellWalk walk = Walk(Kind::Number);
  ConvertWorkbook(book, walk);

  EXPECT_EQ(TextAt(book, 0, 2, 2), "Twelve");
  EXPECT_EQ(TextAt(book, 0, 3, 2), "Twelve");
  EXPECT_EQ(FormulaAt(book, 3, 2), "");  // the formula gave way to the words
  EXPECT_EQ(TextAt(book, 0, 4, 2), "7");
  EXPECT_EQ(FormulaAt(book, 4, 2), "{7}");
  EXPECT_EQ(TextAt(book, 0, 1, 1), "Item");  // labels are not rewritten
  EXPECT_EQ(Writes(),
            (std::vector<std::string>{"write Sales 2,2", "write Sales 3,2", "write Sales 5,2"}));
  EXPECT_EQ(walk.cells_converted, 3);
  EXPECT_EQ(walk.cells_visited, 9);

  ASSERT_EQ(walk.messages.size(), 6u);
  EXPECT_EQ(walk.messages[0].workbook, "book.xlsx");
  EXPECT_EQ(walk.messages[0].sheet, "Sales");
  EXPECT_EQ(walk.messages[0].cell, "A1");
  EXPECT_EQ(walk.messages[0].message, "Item does not appear to be a number");
  EXPECT_EQ(walk.messages[5].cell, "B4");
  EXPECT_EQ(walk.messages[5].message, "part of an array formula");
  // The table of cells left shows the text and the reason apart.
  EXPECT_EQ(walk.messages[0].text, "Item");
  EXPECT_EQ(walk.messages[0].reason, "does not appear to be a number");
  EXPECT_EQ(walk.messages[5].text, "7");
  EXPECT_EQ(walk.messages[5].reason, "part of an array formula");
}

TEST_F(Walks, StoredCellWalkEqualsTheRowByRowWalk) {
  // A used range starting at row 5, column 3, over two sheets and a chart sheet between them.
  auto chart = MakeSheet("Chart", {});
  chart.chart = true;
  const std::vector<testing::FakeSheet> sheets = {
      MakeSheet("One", {{"1", "", "x"}, {"", "=2.5", ""}, {"-3", "1,234.50", "$5.00"}}, 5, 3),
      chart, MakeSheet("Two", {{"12%", "", "40"}, {"abc", "!9", "1e3"}}),
      MakeSheet("Tall", {{"1", "x"}, {"2"}, {"", "3"}}, 4095, 2)};  // across fetched bands
  FakeWorkbook fast = Open(sheets);
  CellWalk fast_walk = Walk(Kind::Currency);
  ConvertWorkbook(fast, fast_walk);

  FakeWorkbook slow = Open(sheets);
  CellWalk slow_walk = Walk(Kind::Currency);
  for (Worksheet* sheet : slow.Worksheets()) {
    for (std::int32_t row = 1; row <= sheet->LastRow(); ++row) {
      for (std::int32_t column = 1; column <= sheet->LastColumn(); ++column) {
        ConvertCell(*sheet, row, column, slow_walk);
      }
    }
  }
  EXPECT_EQ(fast.data(), slow.data());
  EXPECT_EQ(fast_walk.cells_converted, slow_walk.cells_converted);
  ASSERT_EQ(fast_walk.messages.size(), slow_walk.messages.size());
  for (std::size_t i = 0; i < fast_walk.messages.size(); ++i) {
    EXPECT_EQ(fast_walk.messages[i].cell, slow_walk.messages[i].cell);
    EXPECT_EQ(fast_walk.messages[i].message, slow_walk.messages[i].message);
  }
  EXPECT_EQ(TextAt(fast, 0, 5, 3), "One Dollar and No Cents");
}

TEST_F(Walks, ActiveChartSheetFailsBeforeAnyCellIsWritten) {
  auto chart = MakeSheet("Chart", {});
  chart.chart = true;
  FakeWorkbook book = Open({MakeSheet("Data", {{"1"}}), chart}, 1);
  CellWalk walk = Walk(Kind::Number);
  EXPECT_THROW(ConvertActiveSheet(book, walk), WorkbookError);
  EXPECT_TRUE(Writes().empty());
}

TEST_F(Walks, BlocksBeyond32767RowsOrColumnsFailBeforeWriting) {
  FakeWorkbook book = Open({MakeSheet("S", {{"1"}})});
  Worksheet* sheet = book.Sheet("S");
  CellWalk walk = Walk(Kind::Number);
  EXPECT_NO_THROW(ConvertBlock({sheet, 1, 1, 32767, 1}, walk));
  EXPECT_NO_THROW(ConvertBlock({sheet, 2, 1, 2, 32767}, walk));
  EXPECT_THROW(ConvertBlock({sheet, 1, 1, 32768, 1}, walk), WorkbookError);
  EXPECT_THROW(ConvertBlock({sheet, 1, 1, 1, 32768}, walk), WorkbookError);
  EXPECT_THROW(ConvertBlock({sheet, 1048576, 1, 1, 1}, walk), WorkbookError);
  EXPECT_THROW(ConvertBlock({nullptr, 1, 1, 1, 1}, walk), WorkbookError);
  EXPECT_EQ(Writes(), std::vector<std::string>{"write S 1,1"});
}

TEST_F(Walks, LettersReplaceDigitsAndLeaveTextsWithoutDigitsUnwritten) {
  FakeWorkbook book = Open({MakeSheet("S", {{"907", "1,234.50", "-15%", "Total", "=Total"}})});
  CellWalk walk = Walk(Kind::Letters, 1);
  ConvertWorkbook(book, walk);
  EXPECT_EQ(TextAt(book, 0, 1, 1), "I0G");
  EXPECT_EQ(TextAt(book, 0, 1, 2), "A,BCD.E0");
  EXPECT_EQ(TextAt(book, 0, 1, 3), "-AE%");
  EXPECT_EQ(FormulaAt(book, 1, 5), "=Total");
  EXPECT_EQ(Writes().size(), 3u);
  EXPECT_TRUE(walk.messages.empty());
}

TEST_F(Walks, LettersBaseOutsideTheCharacterSetFails) {
  FakeWorkbook book = Open({MakeSheet("S", {{"1"}})});
  CellWalk walk = Walk(Kind::Letters, 67);
  EXPECT_THROW(ConvertWorkbook(book, walk), WorkbookError);
  EXPECT_TRUE(Writes().empty());
}

TEST_F(Walks, ProgressCountsTheCellsOfTheUsedRangesOutOfTheirTotal) {
  // 10,000 labels in a column, then a sheet whose used range is 5,000 rows by 3 columns but
  // holds two cells: its empty rows count too, a band of rows at a time.
  std::vector<std::vector<std::string>> rows(10000, std::vector<std::string>{"x"});
  testing::FakeSheet sparse = MakeSheet("Sparse", {{"1"}});
  sparse.cells[{5000, 3}] = {"2", "", false};
  FakeWorkbook book = Open({MakeSheet("S", rows), sparse});
  CellWalk walk = Walk(Kind::Letters, 1);
  std::vector<std::pair<std::int64_t, std::int64_t>> reported;
  walk.on_progress = [&](std::int64_t cells, std::int64_t total) {
    reported.emplace_back(cells, total);
  };
  ConvertWorkbook(book, walk);
  EXPECT_EQ(reported,
            (std::vector<std::pair<std::int64_t, std::int64_t>>{
                {4096, 25000}, {8192, 25000}, {10000, 25000}, {22288, 25000}, {25000, 25000}}));

  CellWalk block = Walk(Kind::Number);
  block.on_progress = [&](std::int64_t cells, std::int64_t total) {
    reported.assign(1, {cells, total});
  };
  ConvertBlock({book.Sheet("Sparse"), 2, 2, 11, 3}, block);
  EXPECT_EQ(reported.back(), (std::pair<std::int64_t, std::int64_t>{20, 20}));
}

TEST_F(Walks, ACancelStopsBeforeTheNextCell) {
  std::vector<std::vector<std::string>> rows(10, std::vector<std::string>{"1", "2"});
  FakeWorkbook book = Open({MakeSheet("S", rows)});
  std::atomic<bool> cancel{false};
  CellWalk walk = Walk(Kind::Number);
  walk.cancel = &cancel;
  walk.on_change = [&](const CellChange&) {
    if (walk.cells_converted == 3) cancel = true;  // the third cell is written
  };
  EXPECT_THROW(ConvertWorkbook(book, walk), RunCancelled);
  EXPECT_EQ(walk.cells_converted, 3);
  EXPECT_EQ(walk.cells_visited, 3);
}

TEST(CellName, ColumnsAreLettersAndRowsNumbers) {
  EXPECT_EQ(CellName(1, 1), "A1");
  EXPECT_EQ(CellName(7, 2), "B7");
  EXPECT_EQ(CellName(1, 26), "Z1");
  EXPECT_EQ(CellName(1, 27), "AA1");
  EXPECT_EQ(CellName(1, 702), "ZZ1");
  EXPECT_EQ(CellName(1, 703), "AAA1");
  EXPECT_EQ(CellName(1048576, 16384), "XFD1048576");
}

}  // namespace
}  // namespace quillory::workbook
