#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include <zlib.h>

#include "platform/xlsx/cell_ref.h"
#include "platform/xlsx/xlsx_application.h"
#include "tests/xlsx/test_support.h"

// The sample workbooks against the texts other readers show for them.
namespace quillory::xlsx {
namespace {

using testing::CorpusDir;
using testing::DataDir;

std::vector<std::vector<std::string>> ReadTsv(const std::string& path) {
  std::vector<std::vector<std::string>> rows;
  std::ifstream in(path);
  if (!in) ADD_FAILURE() << "cannot read " << path;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
      const auto tab = line.find('\t', start);
      fields.push_back(line.substr(start, tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    rows.push_back(fields);
  }
  return rows;
}

// The expected files write \\ \t \n \r for those characters.
std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char next = text[++i];
      out.push_back(next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next);
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// Named here rather than found in the folder, so a missing workbook fails its tests instead of
// taking them away.
const std::vector<std::string> kCorpusWorkbooks = {
    "ej_formulas.xlsx", "hand_shared_fmla.xlsx", "lo_features.xlsx", "lo_numfmts.xlsx",
    "xw_numfmts.xlsx",  "xw_objects.xlsx",       "xw_sheets.xlsx",   "xw_types.xlsx",
};

TEST(Corpus, EveryWorkbookOfTheFolderIsCompared) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(CorpusDir())) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() == ".xlsx" && !name.starts_with("bad_")) found.push_back(name);
  }
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, kCorpusWorkbooks);
}

class CorpusWorkbook : public ::testing::TestWithParam<std::string> {
 protected:
  std::string Path() const { return CorpusDir() + "/" + GetParam(); }
  std::string Expected(const std::string& suffix) const {
    return CorpusDir() + "/expected/" + GetParam() + suffix;
  }
};

TEST_P(CorpusWorkbook, ShowsTheTextBothReferencesAgreeOn) {
  auto book = MakeEmbeddedApplication()->Open(Path());
  std::map<std::string, workbook::Worksheet*> sheets;
  for (auto* sheet : book->Worksheets()) sheets[sheet->Name()] = sheet;

  // Where the references disagree on something other than a number format, the application's
  // own rules decide (cached formula values are shown, a formula without one shows nothing);
  // "*" leaves a cell to the number-format renderer's own tables.
  std::map<std::pair<std::string, std::string>, std::string> decided;
  for (const auto& row : ReadTsv(DataDir() + "/corpus_decisions.tsv")) {
    if (row.size() >= 4 && row[0] == GetParam()) decided[{row[1], row[2]}] = Unescape(row[3]);
  }

  int compared = 0;
  for (const auto& row : ReadTsv(Expected(".tsv"))) {
    if (row.size() < 5 || row[0] == "sheet") continue;
    const auto ref = ParseCellRef(row[1]);
    ASSERT_TRUE(ref) << row[1];
    ASSERT_TRUE(sheets.count(row[0])) << row[0];
    std::string want;
    if (const auto rule = decided.find({row[0], row[1]}); rule != decided.end()) {
      if (rule->second == "*") continue;
      want = rule->second;
    } else if (row[4] == "Y") {
      want = Unescape(row[2]);
    } else {
      continue;
    }
    EXPECT_EQ(sheets[row[0]]->Text(ref->row, ref->column), want)
        << GetParam() << " " << row[0] << "!" << row[1] << " format "
        << (row.size() > 8 ? row[8] : "");
    ++compared;
  }
  EXPECT_GT(compared, 0);
}

TEST_P(CorpusWorkbook, ListsWorksheetsActiveSheetAndUsedRange) {
  auto book = MakeEmbeddedApplication()->Open(Path());
  std::vector<std::string> want_names;
  std::string active;
  bool active_is_worksheet = true;
  std::map<std::string, std::pair<int, int>> used;
  for (const auto& row : ReadTsv(Expected(".sheets.tsv"))) {
    if (row.size() < 8 || row[0] == "index") continue;
    if (row[4] == "Y") {
      active = row[1];
      active_is_worksheet = row[2] == "worksheet";
    }
    if (row[2] != "worksheet") continue;
    want_names.push_back(row[1]);
    int last_row = 0, last_column = 0;
    ASSERT_EQ(std::sscanf(row[7].c_str(), "R%dC%d", &last_row, &last_column), 2) << row[7];
    used[row[1]] = {std::max(last_row, 1), std::max(last_column, 1)};
  }
  std::vector<std::string> names;
  for (auto* sheet : book->Worksheets()) {
    names.push_back(sheet->Name());
    EXPECT_EQ(sheet->LastRow(), used[sheet->Name()].first) << sheet->Name();
    EXPECT_EQ(sheet->LastColumn(), used[sheet->Name()].second) << sheet->Name();
  }
  EXPECT_EQ(names, want_names);
  if (active_is_worksheet) {
    EXPECT_EQ(book->ActiveSheet().Name(), active);
  } else {
    EXPECT_THROW(book->ActiveSheet(), workbook::WorkbookError);
  }
}

TEST_P(CorpusWorkbook, NonEmptyCellsMatchesAWalkOfText) {
  auto book = MakeEmbeddedApplication()->Open(Path());
  for (auto* sheet : book->Worksheets()) {
    std::vector<workbook::CellText> walked;
    for (int row = 1; row <= std::min(sheet->LastRow(), 300); ++row) {
      for (int column = 1; column <= sheet->LastColumn(); ++column) {
        std::string text = sheet->Text(row, column);
        if (!text.empty()) walked.push_back({row, column, text});
      }
    }
    const auto cells =
        sheet->NonEmptyCells(1, 1, std::min(sheet->LastRow(), 300), sheet->LastColumn());
    ASSERT_EQ(cells.size(), walked.size()) << sheet->Name();
    for (std::size_t i = 0; i < cells.size(); ++i) {
      EXPECT_EQ(cells[i].row, walked[i].row);
      EXPECT_EQ(cells[i].column, walked[i].column);
      EXPECT_EQ(cells[i].text, walked[i].text);
    }
    // A sub-rectangle holds exactly the cells of the whole that fall inside it.
    const auto inner = sheet->NonEmptyCells(2, 2, 5, 3);
    std::size_t inside = 0;
    for (const auto& cell : cells) {
      inside += cell.row >= 2 && cell.row <= 5 && cell.column >= 2 && cell.column <= 3;
    }
    EXPECT_EQ(inner.size(), inside) << sheet->Name();
  }
}

TEST_P(CorpusWorkbook, SavingOneWrittenCellKeepsEveryOtherPartAsListed) {
  // A value cell without a formula on the first sheet that has one.
  std::string sheet_name, ref;
  for (const auto& row : ReadTsv(Expected(".tsv"))) {
    if (row.size() >= 8 && row[0] != "sheet" && row[7].empty()) {
      sheet_name = row[0];
      ref = row[1];
      break;
    }
  }
  ASSERT_FALSE(ref.empty());
  std::string sheet_part;
  for (const auto& row : ReadTsv(Expected(".sheets.tsv"))) {
    if (row.size() >= 9 && row[1] == sheet_name) sheet_part = row[8];
  }
  ASSERT_FALSE(sheet_part.empty());

  testing::ScratchDir dir;
  const std::string path = dir / GetParam();
  testing::WriteFile(path, testing::ReadFile(Path()));
  {
    auto book = MakeEmbeddedApplication()->Open(path);
    for (auto* sheet : book->Worksheets()) {
      if (sheet->Name() != sheet_name) continue;
      const auto cell = ParseCellRef(ref);
      sheet->WriteString(cell->row, cell->column, "Written Words");
      EXPECT_EQ(sheet->Text(cell->row, cell->column), "Written Words");
    }
    book->Save();
  }
  const auto parts = testing::ReadParts(path);
  int compared = 0;
  for (const auto& row : ReadTsv(Expected(".parts.tsv"))) {
    if (row.size() < 3 || row[0] == "part") continue;
    ASSERT_TRUE(parts.count(row[0])) << row[0] << " is gone";
    if (row[0] == sheet_part) continue;
    const std::string& content = parts.at(row[0]);
    EXPECT_EQ(std::to_string(content.size()), row[1]) << row[0];
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08lx",
                  crc32(0, reinterpret_cast<const Bytef*>(content.data()),
                        static_cast<uInt>(content.size())));
    EXPECT_EQ(crc, row[2]) << row[0];
    ++compared;
  }
  EXPECT_GT(compared, 3);
  auto book = MakeEmbeddedApplication()->Open(path);
  for (auto* sheet : book->Worksheets()) {
    if (sheet->Name() != sheet_name) continue;
    const auto cell = ParseCellRef(ref);
    EXPECT_EQ(sheet->Text(cell->row, cell->column), "Written Words");
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusWorkbook, ::testing::ValuesIn(kCorpusWorkbooks),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace quillory::xlsx
