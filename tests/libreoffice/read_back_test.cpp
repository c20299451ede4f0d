#include "platform/libreoffice/read_back.h"

#include <gtest/gtest.h>

namespace quillory::libreoffice {
namespace {

CellState Formula(int row, int column, std::string formula, std::string result) {
  return {row, column, true, std::move(formula), std::move(result)};
}
CellState Constant(int row, int column, std::string content, std::string shown) {
  return {row, column, false, std::move(content), std::move(shown)};
}

std::vector<std::string> Changes(const std::vector<SheetState>& before,
                                 const std::vector<SheetState>& after) {
  return CompareReadBack(before, after).first;
}

TEST(ReadBack, FormulasContentsAndTheTextsOfConstantsMustComeBack) {
  const std::vector<SheetState> book = {
      {"Data",
       {Constant(1, 1, "1234.5", "1,234.50"), Formula(1, 2, "=CORREL(A1:A3,C1:C3)", "0.5"),
        Formula(2, 1, "=A1*2", "2469"), Constant(2, 2, "One Thousand", "One Thousand")},
       {}},
      {"Second", {Constant(5, 3, "42", "42")}, {}},
  };
  EXPECT_TRUE(Changes(book, book).empty());

  // Recalculation changes what a formula shows, never what the file keeps.
  auto recalculated = book;
  recalculated[0].cells[2].shown = "#VALUE!";
  recalculated[0].cells[1].shown = "Err:520";
  EXPECT_TRUE(Changes(book, recalculated).empty());

  auto damaged = book;
  damaged[0].cells[1].content = "=(,,A1:A3,C1:C3)";
  damaged[0].cells[0].shown = "1234.5";
  damaged[1].cells[0].content = "41";
  EXPECT_EQ(Changes(book, damaged),
            (std::vector<std::string>{"Data!A1: 1,234.50 -> 1234.5",
                                      "Data!B1: =CORREL(A1:A3,C1:C3) -> =(,,A1:A3,C1:C3)",
                                      "Second!C5: 42 -> 41"}));

  // A formula that became its value, and the reverse, though the texts are alike.
  auto frozen = book;
  frozen[0].cells[2].formula = false;
  EXPECT_EQ(Changes(book, frozen), (std::vector<std::string>{"Data!A2: =A1*2 -> =A1*2"}));
}

TEST(ReadBack, PivotTablesAreRefilledFromTheirSourceAndLeftOut) {
  const std::vector<SheetState> book = {
      {"Sales", {Constant(2, 3, "Twelve", "Twelve"), Constant(10, 7, "19.5", "19.5")}, {}}};
  auto refilled = book;
  refilled[0].cells.pop_back();
  refilled[0].cells.push_back(Constant(11, 7, "0", "0"));
  EXPECT_EQ(Changes(book, refilled).size(), 2u);
  // Where either has a pivot table.
  refilled[0].pivot_tables = {{7, 6, 12, 7}};
  EXPECT_TRUE(Changes(book, refilled).empty());
  EXPECT_TRUE(Changes(refilled, book).empty());
  refilled[0].cells[0].content = "12";
  EXPECT_EQ(Changes(book, refilled), (std::vector<std::string>{"Sales!C2: Twelve -> 12"}));
}

TEST(ReadBack, LostAndAddedCellsAndSheetsAreChanges) {
  const std::vector<SheetState> book = {
      {"Data", {Constant(1, 1, "1", "1"), Constant(3, 28, "x", "x")}, {}},
      {"Empty", {}, {}},
  };
  auto changed = book;
  changed[0].cells.erase(changed[0].cells.begin() + 1);
  changed[0].cells.insert(changed[0].cells.begin() + 1, Constant(2, 1, "", "shown only"));
  EXPECT_EQ(Changes(book, changed),
            (std::vector<std::string>{"Data!A2: (empty) -> shown only", "Data!AB3: x -> (empty)"}));

  changed = book;
  changed.pop_back();
  changed.push_back({"Empty2", {}, {}});
  EXPECT_EQ(Changes(book, changed),
            (std::vector<std::string>{"sheets: Data, Empty -> Data, Empty2"}));
  // Cells of sheets that remain are still compared.
  changed = {{"Data", {Constant(1, 1, "2", "2"), Constant(3, 28, "x", "x")}, {}}};
  EXPECT_EQ(Changes(book, changed),
            (std::vector<std::string>{"sheets: Data, Empty -> Data", "Data!A1: 1 -> 2"}));
}

TEST(ReadBack, TheReasonListsTheFirstChangesOnOneLine) {
  std::vector<SheetState> before = {{"Data", {}, {}}};
  std::vector<SheetState> after = {{"Data", {}, {}}};
  for (int row = 1; row <= 8; ++row) {
    before[0].cells.push_back(Constant(row, 1, "a\tb", "a\tb"));
    after[0].cells.push_back(Constant(row, 1, "a\nb", "a\nb"));
  }
  after[0].cells[0].content = std::string(100, 'w');
  const ReadBackChanges changes = CompareReadBack(before, after, 2);
  EXPECT_EQ(changes.count, 8u);
  EXPECT_EQ(DescribeReadBackChanges(changes),
            "LibreOffice's saved copy does not read back as the converted workbook (Data!A1: "
            "a\\tb -> " +
                std::string(60, 'w') +
                "...; Data!A2: a\\tb -> a\\nb; and 6 more), so it was not put in place; the file "
                "was left unchanged");
}

}  // namespace
}  // namespace quillory::libreoffice
