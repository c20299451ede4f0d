// What the LibreOffice backend shows and refuses, against the embedded engine on the same data:
// General numbers, booleans, Excel 5.0/95 workbooks, pivot tables, workbooks with nothing to
// convert, and dry runs.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

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
using workbook::Application;
using workbook::RunOutcome;
using workbook::RunReport;

std::unique_ptr<Application> LibreOffice() {
  return MakeLibreOfficeApplication();
}
std::unique_ptr<Application> Embedded() {
  return xlsx::MakeEmbeddedApplication();
}

RunReport Convert(const std::string& path, std::unique_ptr<Application> (*make)(),
                  bool dry_run = false, workbook::Scope scope = workbook::Scope::Workbook,
                  std::vector<std::string>* changes = nullptr) {
  MemorySettings store;
  WordSource words(store);
  quillory::testing::AnsweringPrompts prompts;
  prompts.pick_block = [](workbook::Workbook& book) {
    return workbook::Block{book.Worksheets().at(0), 1, 1, 3, 1};
  };
  workbook::RunOptions options;
  options.paths = {path};
  options.backup = false;
  options.dry_run = dry_run;
  options.scope = scope;
  workbook::RunServices services;
  services.open_application = [make](const std::string&) { return make(); };
  services.on_cell = [changes](const workbook::CellChange& change) {
    if (changes) changes->push_back(change.cell + " " + change.new_text);
  };
  return workbook::ConversionRun(options, words, prompts, services).Execute();
}

// "Sheet!row,column text" for every non-empty cell, read in bands and cell by cell alike.
std::vector<std::string> Shown(Application& app, const std::string& path) {
  std::vector<std::string> lines;
  auto book = app.Open(path);
  for (workbook::Worksheet* sheet : book->Worksheets()) {
    for (const auto& cell : sheet->NonEmptyCells(1, 1, sheet->LastRow(), sheet->LastColumn())) {
      lines.push_back(sheet->Name() + "!" + std::to_string(cell.row) + "," +
                      std::to_string(cell.column) + " " + cell.text);
      EXPECT_EQ(sheet->Text(cell.row, cell.column), cell.text) << lines.back();
    }
  }
  book->Close();
  app.Quit();
  return lines;
}

// The file's bytes and modification time.
std::pair<std::string, fs::file_time_type> Stamp(const std::string& path) {
  return {ReadFile(path), fs::last_write_time(path)};
}

class Fidelity : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fixtures_ = new TempFolder;
    const TempFolder& f = *fixtures_;
    testing::WriteShownWorkbook(f / "shown.xlsx");
    testing::WritePivotSourceWorkbook(f / "sales.xlsx");
    testing::WriteChartWorkbook(f / "charts.xlsx");
    testing::ConvertWithLibreOffice({
        {f / "shown.xlsx", f / "shown.xls", "MS Excel 97", "-"},
        {f / "shown.xlsx", f / "shown.ods", "calc8", "-"},
        // German's General is "Standard": the same for the application.
        {f / "shown.xlsx", f / "german.ods", "calc8", "general=de-DE@A1:A7"},
        {f / "sales.xlsx", f / "pivot.xlsx", "Calc MS Excel 2007 XML", "pivot=A1:C5@F6"},
        {f / "sales.xlsx", f / "pivot.xls", "MS Excel 97", "pivot=A1:C5@F6"},
        {f / "sales.xlsx", f / "pivot.ods", "calc8", "pivot=A1:C5@F6"},
        {f / "charts.xlsx", f / "charts.xls", "MS Excel 97", "-"},
    });
    testing::ConvertToExcel95(f / "shown.xlsx", f / "shown95.xls");
    testing::WriteFile(f / "chart-sheet.xls",
                       testing::MarkChartSheet(ReadFile(f / "charts.xls"), "Chart1", 0));
  }
  static void TearDownTestSuite() {
    delete fixtures_;
    fixtures_ = nullptr;
  }
  // A private copy of a fixture.
  std::string Copy(const std::string& fixture, const std::string& name = "") {
    const std::string target = folder_ / (name.empty() ? fixture : name);
    fs::copy_file(*fixtures_ / fixture, target);
    return target;
  }
  static TempFolder* fixtures_;
  TempFolder folder_;
};

TempFolder* Fidelity::fixtures_ = nullptr;

TEST_F(Fidelity, TheEmbeddedEngineShowsTheApplicationsTexts) {
  EXPECT_EQ(Shown(*Embedded(), Copy("shown.xlsx")),
            (std::vector<std::string>{
                "Shown!1,1 0.205818151", "Shown!1,2 TRUE", "Shown!1,3 -1234.56789",
                "Shown!1,4 Total", "Shown!2,1 -12345678901", "Shown!2,2 FALSE", "Shown!2,3 2.50",
                "Shown!3,1 -123456789.1", "Shown!3,2 TRUE", "Shown!3,3 0.205818150587141",
                "Shown!4,1 1.23457E+11", "Shown!4,3 0.411636301", "Shown!5,1 -1.23457E-05",
                "Shown!6,1 1E+20", "Shown!7,1 1234.5"}));
}

// The same data in every format LibreOffice reads gives the same texts as the .xlsx through the
// embedded engine: General in 11 characters (the minus sign not counted), booleans as TRUE and
// FALSE.
class SameTexts : public Fidelity, public ::testing::WithParamInterface<const char*> {};

TEST_P(SameTexts, AsTheEmbeddedEngine) {
  EXPECT_EQ(Shown(*LibreOffice(), Copy(GetParam())),
            Shown(*Embedded(), Copy("shown.xlsx", "x.xlsx")));
}

INSTANTIATE_TEST_SUITE_P(Formats, SameTexts,
                         ::testing::Values("shown.xls", "shown.ods", "shown95.xls", "shown.xlsx",
                                           "german.ods"),
                         [](const auto& info) {
                           std::string name = info.param;
                           return name.replace(name.find('.'), 1, "_");
                         });

TEST_F(Fidelity, Excel95WorkbooksAreReadButRefusedByConvertAndItsDryRun) {
  const std::string path = Copy("shown95.xls");
  const auto before = Stamp(path);
  {
    auto app = LibreOffice();
    auto book = app->Open(path);
    ASSERT_EQ(book->Worksheets().size(), 1u);
    EXPECT_EQ(book->ActiveSheet().Name(), "Shown");
    EXPECT_EQ(book->Worksheets()[0]->Text(2, 1), "-12345678901");
    EXPECT_NE(book->SaveRefusal().find("Excel 5.0/95"), std::string::npos);
    book->Close();
  }
  const std::string reason =
      "it is an Excel 5.0/95 workbook, a format LibreOffice can read but not write; save it as an "
      "Excel 97-2003 workbook (.xls) or as .xlsx first, then convert that (it was left unchanged)";
  for (const bool dry_run : {true, false}) {
    const RunReport report = Convert(path, LibreOffice, dry_run);
    EXPECT_EQ(report.outcome, RunOutcome::Failed) << dry_run;
    EXPECT_EQ(report.failure, reason);
  }
  // The dry run lists what the block would become before the refusal.
  std::vector<std::string> changes;
  const RunReport block = Convert(path, LibreOffice, true, workbook::Scope::Block, &changes);
  EXPECT_EQ(block.failure, reason);
  EXPECT_EQ(changes, (std::vector<std::string>{
                         "A1 Zero Point Twenty",
                         "A2 Minus Twelve Billion Three Hundred Forty Five "
                         "Million Six Hundred Seventy Eight Thousand Nine "
                         "Hundred One",
                         "A3 Minus One Hundred Twenty Three Million Four Hundred Fifty Six "
                         "Thousand Seven Hundred Eighty Nine Point Ten"}));
  EXPECT_EQ(Stamp(path), before);
}

TEST_F(Fidelity, ADryRunRefusesAWorkbookWithChartSheetsAsTheRunDoes) {
  const std::string path = Copy("chart-sheet.xls");
  const auto before = Stamp(path);
  const RunReport dry = Convert(path, LibreOffice, true);
  const RunReport real = Convert(path, LibreOffice);
  EXPECT_EQ(dry.outcome, RunOutcome::Failed);
  EXPECT_EQ(real.outcome, RunOutcome::Failed);
  EXPECT_EQ(dry.failure, real.failure);
  EXPECT_NE(real.failure.find("(Chart1) that LibreOffice would save as ordinary worksheets"),
            std::string::npos)
      << real.failure;
  EXPECT_EQ(Stamp(path), before);
}

TEST_F(Fidelity, ADryRunRefusesAWorkbookWhoseSavedCopyWouldReadBackChanged) {
  const std::string path = Copy("shown.xls");
  const auto before = Stamp(path);
  EXPECT_EQ(Convert(path, LibreOffice, true).outcome, RunOutcome::Done);
  // The copy LibreOffice stores loses a text, as a save that cannot write a cell back would.
  SetLibreOfficeFileStepHook([](workbook::FileStep step, const std::string& stored) {
    if (step != workbook::FileStep::kStored) return;
    testing::WriteFile(stored, testing::ReplaceOnce(ReadFile(stored), "Total", "T0tal"));
  });
  const RunReport dry = Convert(path, LibreOffice, true);
  const RunReport real = Convert(path, LibreOffice);
  SetLibreOfficeFileStepHook(nullptr);
  EXPECT_EQ(dry.outcome, RunOutcome::Failed);
  EXPECT_EQ(real.outcome, RunOutcome::Failed);
  EXPECT_EQ(dry.failure, real.failure);
  EXPECT_NE(real.failure.find("(Shown!D1: Total -> T0tal)"), std::string::npos) << real.failure;
  EXPECT_EQ(Stamp(path), before);
}

TEST_F(Fidelity, AWorkbookInWhichNothingIsWrittenKeepsItsBytesAndTime) {
  // Only labels and a formula showing text: nothing to convert.
  testing::WriteFile(folder_ / "labels.csv", "Region,Item\nNorth,Pens\n");
  testing::ConvertWithLibreOffice(
      {{folder_ / "labels.csv", folder_ / "labels.xls", "MS Excel 97", "-"},
       {folder_ / "labels.csv", folder_ / "labels.ods", "calc8", "-"},
       {folder_ / "labels.csv", folder_ / "labels.xlsx", "Calc MS Excel 2007 XML", "-"}});
  for (const char* name : {"labels.xls", "labels.ods", "labels.xlsx"}) {
    const std::string path = folder_ / name;
    fs::last_write_time(path, fs::last_write_time(path) - std::chrono::hours(24 * 400));
    const auto before = Stamp(path);
    const bool embedded = std::string(name).ends_with(".xlsx");
    const RunReport report = Convert(path, embedded ? Embedded : LibreOffice);
    EXPECT_EQ(report.outcome, RunOutcome::Done) << name << ": " << report.failure;
    EXPECT_EQ(report.messages.size(), 4u) << name;
    EXPECT_EQ(Stamp(path), before) << name;
  }
}

// The numbers a pivot table shows are refused cell by cell, as the application refuses them, on
// every backend; the source data is converted.
class PivotTables : public Fidelity,
                    public ::testing::WithParamInterface<std::pair<const char*, bool>> {};

TEST_P(PivotTables, AreLeftAsTheyWereAndReported) {
  const auto [fixture, embedded] = GetParam();
  const std::string path = Copy(fixture);
  const RunReport report = Convert(path, embedded ? Embedded : LibreOffice);
  ASSERT_EQ(report.outcome, RunOutcome::Done) << report.failure;
  std::set<std::string> refused;
  for (const auto& message : report.messages) {
    if (message.message.find("pivot table \"Pivot1\"") != std::string::npos) {
      refused.insert(message.cell);
    }
  }
  EXPECT_EQ(refused, (std::set<std::string>{"G10", "G11", "G12"}));
  EXPECT_EQ(report.cells_converted, 4);  // C2:C5

  // Read back as stored: LibreOffice refreshes the pivot tables of an .xlsx when it opens one.
  std::map<std::string, std::string> cells;
  const bool package = std::string(fixture).ends_with(".xlsx");
  for (const std::string& line : Shown(package ? *Embedded() : *LibreOffice(), path)) {
    const auto space = line.find(' ');
    cells[line.substr(0, space)] = line.substr(space + 1);
  }
  EXPECT_EQ(cells["Sales!2,3"], "Twelve");
  EXPECT_EQ(cells["Sales!5,3"], "One Thousand Two Hundred Thirty Four Point Fifty Six");
  EXPECT_EQ(cells["Sales!7,7"], "- all -");  // the filter field
  EXPECT_EQ(cells["Sales!10,7"], "19.5");
  EXPECT_EQ(cells["Sales!12,7"], "1259.06");
}

INSTANTIATE_TEST_SUITE_P(
    Backends, PivotTables,
    ::testing::Values(std::make_pair("pivot.xlsx", true), std::make_pair("pivot.xlsx", false),
                      std::make_pair("pivot.xls", false), std::make_pair("pivot.ods", false)),
    [](const auto& info) {
      std::string name = info.param.first;
      return name.replace(name.find('.'), 1, "_") + (info.param.second ? "_embedded" : "");
    });

}  // namespace
}  // namespace quillory::libreoffice
