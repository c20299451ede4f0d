// Whole conversion runs through LibreOffice on .xls and .ods, each checked against the same run
// over the same workbook as .xlsx through the embedded engine.

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/settings.h"
#include "engine/words.h"
#include "platform/libreoffice/loader.h"
#include "platform/xlsx/xlsx_application.h"
#include "tests/libreoffice/fixtures.h"
#include "tests/support/answering_prompts.h"
#include "workbook/conversion_run.h"

namespace quillory::libreoffice {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using workbook::Kind;
using workbook::Scope;

workbook::RunReport Convert(const std::string& path, Kind kind, Scope scope,
                            const workbook::ApplicationFactory& factory) {
  MemorySettings store;
  WordSource words(store);
  quillory::testing::AnsweringPrompts prompts;
  // Data!A1:C3 of the open workbook.
  prompts.pick_block = [](workbook::Workbook& book) -> std::optional<workbook::Block> {
    for (workbook::Worksheet* sheet : book.Worksheets()) {
      if (sheet->Name() == "Data") return workbook::Block{sheet, 1, 1, 3, 3};
    }
    return std::nullopt;
  };
  workbook::RunOptions options;
  options.paths = {path};
  options.kind = kind;
  options.scope = scope;
  options.backup = false;
  options.letters_base = 1;
  return workbook::ConversionRun(options, words, prompts, {factory, nullptr, nullptr, nullptr})
      .Execute();
}

// Every sheet's non-empty cells as "Sheet!row,column text" lines.
std::vector<std::string> Contents(workbook::Application& app, const std::string& path) {
  std::vector<std::string> lines;
  auto book = app.Open(path);
  for (workbook::Worksheet* sheet : book->Worksheets()) {
    for (const auto& cell : sheet->NonEmptyCells(1, 1, sheet->LastRow(), sheet->LastColumn())) {
      lines.push_back(sheet->Name() + "!" + std::to_string(cell.row) + "," +
                      std::to_string(cell.column) + " " + cell.text);
    }
  }
  book->Close();
  app.Quit();
  return lines;
}

struct Case {
  const char* extension;
  Kind kind;
  Scope scope;
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.extension;
}

class ThroughLibreOffice : public ::testing::TestWithParam<Case> {
 protected:
  static void SetUpTestSuite() {
    fixtures_ = new TempFolder;
    const TempFolder& folder = *fixtures_;
    testing::WriteSourceWorkbook(folder / "second-active.xlsx");
    testing::WriteSourceWorkbook(folder / "data-active.xlsx", false);
    // The .ods written from a hidden document opens on its first sheet: compared with the .xlsx
    // whose first sheet is active.
    testing::ConvertWithLibreOffice(
        {{folder / "second-active.xlsx", folder / "book.xls", "MS Excel 97", "-"},
         {folder / "data-active.xlsx", folder / "book.ods", "calc8", "-"}});
  }
  static void TearDownTestSuite() {
    delete fixtures_;
    fixtures_ = nullptr;
  }
  static TempFolder* fixtures_;
  TempFolder folder_;
};

TempFolder* ThroughLibreOffice::fixtures_ = nullptr;

TEST_P(ThroughLibreOffice, ConvertsAsTheEmbeddedEngineDoes) {
  const Case& c = GetParam();
  const std::string path = folder_ / (std::string("book.") + c.extension);
  const std::string baseline = folder_ / "book.xlsx";
  fs::copy_file(*fixtures_ / (std::string("book.") + c.extension), path);
  fs::copy_file(
      *fixtures_ / (std::string(c.extension) == "xls" ? "second-active.xlsx" : "data-active.xlsx"),
      baseline);
  const std::string magic = ReadFile(path).substr(0, 4);

  const auto libreoffice = [](const std::string&) { return MakeLibreOfficeApplication(); };
  const auto embedded = [](const std::string&) { return xlsx::MakeEmbeddedApplication(); };
  const workbook::RunReport converted = Convert(path, c.kind, c.scope, libreoffice);
  const workbook::RunReport expected = Convert(baseline, c.kind, c.scope, embedded);
  ASSERT_EQ(converted.outcome, workbook::RunOutcome::Done) << converted.failure;
  ASSERT_EQ(expected.outcome, workbook::RunOutcome::Done) << expected.failure;
  EXPECT_EQ(converted.cells_converted, expected.cells_converted);
  EXPECT_EQ(converted.messages.size(), expected.messages.size());

  EXPECT_EQ(ReadFile(path).substr(0, 4), magic);
  EXPECT_EQ(Contents(*MakeLibreOfficeApplication(), path),
            Contents(*xlsx::MakeEmbeddedApplication(), baseline));
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (const char* extension : {"xls", "ods"}) {
    for (Kind kind : {Kind::Number, Kind::Currency, Kind::Letters}) {
      for (Scope scope : {Scope::Workbook, Scope::ActiveSheet, Scope::Block}) {
        cases.push_back({extension, kind, scope});
      }
    }
  }
  return cases;
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  static const char* const kinds[] = {"Number", "Currency", "Letters"};
  static const char* const scopes[] = {"Workbook", "ActiveSheet", "Block"};
  return std::string(info.param.extension) + "_" + kinds[static_cast<int>(info.param.kind)] + "_" +
         scopes[static_cast<int>(info.param.scope)];
}

INSTANTIATE_TEST_SUITE_P(EveryKindAndScope, ThroughLibreOffice, ::testing::ValuesIn(AllCases()),
                         CaseName);

}  // namespace
}  // namespace quillory::libreoffice
