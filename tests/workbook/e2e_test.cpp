// Whole runs through the command line and the embedded engine on workbooks made for the purpose;
// LibreOffice reopens the results.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>

#include "cli/cli.h"
#include "engine/settings.h"
#include "platform/backends.h"
#include "platform/posix/backup_copy.h"
#include "platform/posix/in_use.h"
#include "platform/spellout/numbertext_speakers.h"

namespace quillory {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Shell(const std::string& command) {
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
      output.append(buffer, got);
    ::pclose(pipe);
  }
  return output;
}

std::string Quote(const fs::path& path) {
  return "'" + path.string() + "'";
}

// Sheet "Numbers": labels, numbers, a formula showing a number, one showing text, an array
// formula over C2:C3; then a chart sheet; then "Second", the active sheet.
void MakeMixedBook(const fs::path& path) {
  lxw_workbook* book = workbook_new(path.c_str());
  lxw_worksheet* numbers = workbook_add_worksheet(book, "Numbers");
  worksheet_write_string(numbers, 0, 0, "Item", nullptr);
  worksheet_write_string(numbers, 0, 1, "Amount", nullptr);
  worksheet_write_string(numbers, 1, 0, "Pens", nullptr);
  worksheet_write_number(numbers, 1, 1, 12, nullptr);
  worksheet_write_string(numbers, 2, 0, "Total", nullptr);
  worksheet_write_formula_num(numbers, 2, 1, "=B2*2", nullptr, 24);
  worksheet_write_formula_str(numbers, 3, 0, "=\"x\"&\"y\"", nullptr, "xy");
  worksheet_write_number(numbers, 4, 1, 1234.56, nullptr);
  worksheet_write_array_formula_num(numbers, 1, 2, 2, 2, "{=B2:B3*1}", nullptr, 12);
  lxw_chart* chart = workbook_add_chart(book, LXW_CHART_COLUMN);
  chart_add_series(chart, nullptr, "=Numbers!$B$2:$B$3");
  chartsheet_set_chart(workbook_add_chartsheet(book, "Chart"), chart);
  lxw_worksheet* second = workbook_add_worksheet(book, "Second");
  worksheet_write_number(second, 0, 0, 7, nullptr);
  worksheet_write_string(second, 1, 1, "21", nullptr);
  worksheet_activate(second);
  ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
}

void MakeSmallBook(const fs::path& path, double value) {
  lxw_workbook* book = workbook_new(path.c_str());
  worksheet_write_number(workbook_add_worksheet(book, "Sheet1"), 0, 0, value, nullptr);
  ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    std::setlocale(LC_TIME, "C");
    folder_ = fs::path(::testing::TempDir()) /
              ("e2e." + std::to_string(::getpid()) + "." +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    env_.applications = [](const std::string& name) -> workbook::ApplicationFactory {
      const auto backend = ParseBackend(name);
      return backend ? MakeApplicationFactory(*backend) : workbook::ApplicationFactory{};
    };
    env_.spreadsheet_in_use = [](const auto&) { return false; };
    env_.start_backup = &posix::StartBackupCopy;
    env_.now = [] {
      std::tm time{};
      time.tm_year = 2026 - 1900;
      time.tm_mon = 11;
      time.tm_mday = 5;
      time.tm_hour = 15;
      time.tm_min = 7;
      time.tm_isdst = -1;
      return std::chrono::system_clock::from_time_t(std::mktime(&time));
    };
  }
  void TearDown() override { fs::remove_all(folder_); }

  int Cli(std::vector<std::string> args, const std::string& input = "") {
    in_.str(input);
    in_.clear();
    out_.str("");
    err_.str("");
    args.insert(args.begin(), "convert");
    return RunCli(args, out_, err_, env_);
  }

  // "Sheet!A1" -> displayed text, as the embedded engine reads the saved file.
  static std::map<std::string, std::string> Cells(const fs::path& path) {
    std::map<std::string, std::string> cells;
    auto application = MakeApplicationFactory(Backend::Embedded)(path.string());
    auto book = application->Open(path.string());
    for (workbook::Worksheet* sheet : book->Worksheets()) {
      for (const auto& cell : sheet->NonEmptyCells(1, 1, sheet->LastRow(), sheet->LastColumn())) {
        std::string name;
        for (std::int32_t n = cell.column; n > 0; n = (n - 1) / 26) {
          name.insert(name.begin(), static_cast<char>('A' + (n - 1) % 26));
        }
        cells[sheet->Name() + "!" + name + std::to_string(cell.row)] = cell.text;
      }
    }
    book->Close();
    application->Quit();
    return cells;
  }

  fs::path folder_;
  MemorySettings store_;
  std::istringstream in_;
  CliEnvironment env_{store_, in_};
  std::ostringstream out_, err_;
};

struct ScopeKindRow {
  const char* name;
  std::vector<std::string> args;
  std::map<std::string, std::string> changed;  // every cell that differs from the original
  friend std::ostream& operator<<(std::ostream& out, const ScopeKindRow& row) {
    return out << row.name;
  }
};

class ScopesAndKinds : public EndToEnd, public ::testing::WithParamInterface<ScopeKindRow> {};

TEST_P(ScopesAndKinds, ChangeExactlyTheNumbersInScope) {
  const fs::path book = folder_ / "mixed.xlsx";
  MakeMixedBook(book);
  const auto before = Cells(book);
  std::vector<std::string> args = GetParam().args;
  args.insert(args.begin(), {book.string(), "--no-backup"});
  ASSERT_EQ(Cli(args), 0) << err_.str();

  auto expected = before;
  for (const auto& [cell, text] : GetParam().changed) expected[cell] = text;
  EXPECT_EQ(Cells(book), expected);
  // The formula showing text is kept, and so is the array formula; B3's gives way to words.
  const std::string sheet = Shell("unzip -p " + Quote(book) + " xl/worksheets/sheet1.xml");
  EXPECT_TRUE(std::regex_search(sheet, std::regex("<f>[^<]*x[^<]*&amp;[^<]*y[^<]*</f>"))) << sheet;
  EXPECT_NE(sheet.find("B2:B3*1"), std::string::npos);
  EXPECT_EQ(sheet.find("B2*2") == std::string::npos, GetParam().changed.count("Numbers!B3") == 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScopesAndKinds,
    ::testing::Values(
        ScopeKindRow{"NumberWorkbook",
                     {},
                     {{"Numbers!B2", "Twelve"},
                      {"Numbers!B3", "Twenty Four"},
                      {"Numbers!B5", "One Thousand Two Hundred Thirty Four Point Fifty Six"},
                      {"Second!A1", "Seven"},
                      {"Second!B2", "Twenty One"}}},
        ScopeKindRow{"CurrencyActive",
                     {"--kind", "currency", "--scope", "active"},
                     {{"Second!A1", "Seven Dollars and No Cents"},
                      {"Second!B2", "Twenty One Dollars and No Cents"}}},
        ScopeKindRow{"LettersBlock",
                     {"--kind", "letters", "--base", "1", "--scope", "Numbers!B2:C5"},
                     {{"Numbers!B2", "AB"}, {"Numbers!B3", "BD"}, {"Numbers!B5", "ABCD.EF"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EndToEnd, ArrayCellsAreReportedAndLeftAsTheyWere) {
  const fs::path book = folder_ / "mixed.xlsx";
  MakeMixedBook(book);
  ASSERT_EQ(Cli({book.string(), "--no-backup"}), 0) << err_.str();
  const std::string err = err_.str();
  EXPECT_EQ(err.rfind("Done.\n", 0), 0u) << err;
  EXPECT_NE(err.find(book.string() + ", Numbers!C2: "), std::string::npos) << err;
  EXPECT_NE(err.find(book.string() + ", Numbers!C3: "), std::string::npos) << err;
  EXPECT_NE(err.find(book.string() + ", Numbers!A1: Item does not appear to be a number"),
            std::string::npos);
  EXPECT_EQ(Cells(book)["Numbers!C2"], "12");
}

TEST_F(EndToEnd, SharedFormulasKeepWorkingAfterTheirMasterIsConverted) {
  const fs::path book = folder_ / "shared.xlsx";
  fs::copy_file(QUILLORY_CORPUS "/hand_shared_fmla.xlsx", book);
  fs::permissions(book, fs::perms::owner_write, fs::perm_options::add);
  ASSERT_EQ(Cli({book.string(), "--no-backup"}), 0) << err_.str();
  auto cells = Cells(book);
  EXPECT_EQ(cells["Formulas!B2"], "Two");
  EXPECT_EQ(cells["Formulas!B6"], "Ten");
  EXPECT_EQ(cells["Formulas!C4"], "Nine");
  EXPECT_EQ(cells["Formulas!F10"], "Eighty Four");
  EXPECT_EQ(cells["Formulas!A10"], "x1");
  EXPECT_EQ(cells["Formulas!D3"], "20");  // inside the array formula D2:D4
}

TEST_F(EndToEnd, BackupsAreExactNeverReplacedAndNamedFromTheFileNameOnly) {
  const fs::path dotted = folder_ / "a.b";
  fs::create_directories(dotted);
  const fs::path book = dotted / "book.old.xlsx";
  const fs::path bare = dotted / "book";
  MakeSmallBook(book, 5);
  MakeSmallBook(bare, 6);
  const std::string original = ReadFile(book);

  ASSERT_EQ(Cli({book.string(), book.string(), bare.string(), "--backend", "embedded"}), 0)
      << err_.str();
  const std::string stamp = " Backup 3 07 PM Saturday, Dec 5 2026";
  EXPECT_EQ(ReadFile(dotted / ("book.old" + stamp + ".xlsx")), original);
  // The second listing was copied after the first conversion: it holds the words.
  EXPECT_EQ(Cells(dotted / ("book.old" + stamp + " (2).xlsx"))["Sheet1!A1"], "Five");
  EXPECT_TRUE(fs::exists(dotted / ("book" + stamp)));
  EXPECT_EQ(Cells(book)["Sheet1!A1"], "Five");
  EXPECT_EQ(Cells(bare)["Sheet1!A1"], "Six");
  EXPECT_EQ(std::distance(fs::directory_iterator(dotted), fs::directory_iterator()), 5);
}

TEST_F(EndToEnd, FailureInTheMiddleSavesTheFirstAndLeavesTheRest) {
  const fs::path first = folder_ / "first.xlsx", second = folder_ / "second.xlsx",
                 third = folder_ / "third.xlsx";
  MakeSmallBook(first, 1);
  fs::copy_file(QUILLORY_CORPUS "/bad_truncated.xlsx", second);
  MakeSmallBook(third, 3);
  const std::string second_bytes = ReadFile(second), third_bytes = ReadFile(third);

  EXPECT_EQ(Cli({first.string(), second.string(), third.string()}), 1);
  EXPECT_NE(err_.str().find(second.string() + " was not converted: "), std::string::npos)
      << err_.str();
  EXPECT_EQ(Cells(first)["Sheet1!A1"], "One");
  EXPECT_EQ(ReadFile(second), second_bytes);
  EXPECT_EQ(ReadFile(third), third_bytes);
  int backups = 0;  // the first's only: a workbook that cannot be opened gets none
  for (const auto& entry : fs::directory_iterator(folder_)) {
    backups += entry.path().filename().string().find(" Backup ") != std::string::npos;
  }
  EXPECT_EQ(backups, 1);
}

TEST_F(EndToEnd, LockFileBesideAWorkbookAsksFirst) {
  const fs::path book = folder_ / "open.xlsx";
  MakeSmallBook(book, 2);
  std::ofstream(folder_ / ".~lock.open.xlsx#") << "someone,host";
  env_.spreadsheet_in_use = &posix::SpreadsheetInUse;
  const std::string bytes = ReadFile(book);
  EXPECT_EQ(Cli({book.string(), "--no-backup"}), 1);
  EXPECT_EQ(ReadFile(book), bytes);
  EXPECT_EQ(Cli({book.string(), "--no-backup", "--yes"}), 0) << err_.str();
  EXPECT_EQ(Cells(book)["Sheet1!A1"], "Two");
}

// A named pipe named like a workbook would block the backup copy, the embedded engine and
// LibreOffice alike until something wrote to it. Should a fault make one wait, a watchdog opens
// the pipe after a while (its reader then sees an empty file) and the test fails instead of
// hanging.
TEST_F(EndToEnd, NamedPipesAreRefusedAtOnce) {
  std::vector<std::vector<std::string>> runs = {
      {"convert", "pipe.xlsx"}, {"convert", "pipe.xlsx", "--no-backup"},
      {"convert", "pipe.xls"},  {"convert", "pipe.xls", "--backend", "libreoffice", "--no-backup"},
      {"cells", "pipe.xlsx"},   {"cells", "pipe.xls"},
  };
  for (const char* name : {"pipe.xlsx", "pipe.xls"}) {
    ASSERT_EQ(::mkfifo((folder_ / name).c_str(), 0600), 0);
  }
  for (auto args : runs) {
    const fs::path pipe = folder_ / args[1];
    args[1] = pipe.string();
    std::atomic<bool> finished = false, woken = false;
    std::thread watchdog([&] {
      for (int i = 0; i < 200 && !finished; ++i) std::this_thread::sleep_for(50ms);
      if (finished) return;
      woken = true;
      ::close(::open(pipe.c_str(), O_RDWR | O_NONBLOCK));
    });
    out_.str("");
    err_.str("");
    const int code = RunCli(args, out_, err_, env_);
    finished = true;
    watchdog.join();
    EXPECT_FALSE(woken) << args[0] << " " << args[1] << " waited on the pipe";
    EXPECT_EQ(code, 1);
    EXPECT_NE(err_.str().find(args[1]), std::string::npos) << err_.str();
    EXPECT_NE(
        err_.str().find("this is a named pipe (FIFO), not a workbook file; it was not opened"),
        std::string::npos)
        << err_.str();
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 2)
        << "no backup copy";
  }
}

TEST_F(EndToEnd, DryRunWritesNothing) {
  const fs::path book = folder_ / "mixed.xlsx";
  MakeMixedBook(book);
  const std::string bytes = ReadFile(book);
  ASSERT_EQ(Cli({book.string(), "--dry-run"}), 0) << err_.str();
  EXPECT_EQ(ReadFile(book), bytes);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
  EXPECT_NE(out_.str().find(book.string() + "\tNumbers\tB2\t12\tTwelve\n"), std::string::npos)
      << out_.str();
  EXPECT_NE(out_.str().find(book.string() + "\tSecond\tB2\t21\tTwenty One\n"), std::string::npos);
  // The array formula's cells are refused as in a real run: reported, not listed.
  EXPECT_EQ(out_.str().find("\tNumbers\tC2\t"), std::string::npos) << out_.str();
  EXPECT_NE(err_.str().find(book.string() + ", Numbers!C2: "), std::string::npos) << err_.str();
}

TEST_F(EndToEnd, LibreOfficeReopensTheConvertedWorkbooks) {
  if (Shell("command -v soffice").empty()) GTEST_SKIP() << "LibreOffice is not installed";
  const fs::path numbers = folder_ / "numbers.xlsx", letters = folder_ / "letters.xlsx";
  lxw_workbook* book = workbook_new(numbers.c_str());
  lxw_worksheet* sheet = workbook_add_worksheet(book, "Sheet1");
  worksheet_write_string(sheet, 0, 0, "Item", nullptr);
  worksheet_write_string(sheet, 0, 1, "Amount", nullptr);
  worksheet_write_string(sheet, 1, 0, "Pens", nullptr);
  worksheet_write_number(sheet, 1, 1, 12, nullptr);
  worksheet_write_string(sheet, 2, 0, "Total", nullptr);
  worksheet_write_formula_num(sheet, 2, 1, "=B2*2", nullptr, 24);
  worksheet_write_number(sheet, 3, 1, 1234.56, nullptr);
  ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
  MakeSmallBook(letters, 1234.5);
  ASSERT_EQ(Cli({numbers.string(), "--no-backup"}), 0) << err_.str();
  ASSERT_EQ(Cli({letters.string(), "--no-backup", "--kind", "letters", "--base", "1"}), 0);

  // A profile of its own, so that an office instance already running is not asked instead.
  const fs::path out = folder_ / "csv";
  const std::string log =
      Shell("soffice -env:UserInstallation=file://" + (folder_ / "profile").string() +
            " --headless --convert-to csv --outdir " + Quote(out) + " " + Quote(numbers) + " " +
            Quote(letters) + " 2>&1");
  EXPECT_EQ(ReadFile(out / "numbers.csv"),
            "Item,Amount\n"
            "Pens,Twelve\n"
            "Total,Twenty Four\n"
            ",One Thousand Two Hundred Thirty Four Point Fifty Six\n")
      << log;
  EXPECT_EQ(ReadFile(out / "letters.csv"), "ABCD.E\n");
}

// Two copies of one invoice, one converted in French amounts, the other in German numbers; the
// labels stay, the currency symbols choose the currency where they name one.
TEST_F(EndToEnd, BuiltInLanguagesConvertWholeWorkbooks) {
  spellout::NumbertextSpeakers speakers;
  env_.speakers = &speakers;
  const fs::path french = folder_ / "facture.xlsx";
  const fs::path german = folder_ / "rechnung.xlsx";
  for (const fs::path& path : {french, german}) {
    lxw_workbook* book = workbook_new(path.c_str());
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Invoice");
    lxw_format* two_places = workbook_add_format(book);
    format_set_num_format(two_places, "0.00");
    lxw_format* pounds = workbook_add_format(book);
    format_set_num_format(pounds, "[$\xC2\xA3-809]#,##0.00");
    worksheet_write_string(sheet, 0, 0, "Total", nullptr);
    worksheet_write_number(sheet, 0, 1, 71.01, two_places);
    worksheet_write_number(sheet, 1, 1, 1234567, nullptr);
    worksheet_write_number(sheet, 2, 1, -5.5, two_places);
    worksheet_write_number(sheet, 3, 1, 3.5, pounds);
    ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
  }

  ASSERT_EQ(Cli({french.string(), "--no-backup", "--kind", "currency", "--language", "fr"}), 0)
      << err_.str();
  ASSERT_EQ(Cli({german.string(), "--no-backup", "--language", "Deutsch (de)"}), 0) << err_.str();

  EXPECT_EQ(Cells(french), (std::map<std::string, std::string>{
                               {"Invoice!A1", "Total"},
                               {"Invoice!B1", "soixante-et-onze euros et un centime"},
                               {"Invoice!B2",
                                "un-million-deux-cent-trente-quatre-mille-cinq-cent-"
                                "soixante-sept euros"},
                               {"Invoice!B3", "moins cinq euros et cinquante centimes"},
                               {"Invoice!B4", "trois livres sterling et cinquante pennies"},
                           }));
  EXPECT_EQ(Cells(german), (std::map<std::string, std::string>{
                               {"Invoice!A1", "Total"},
                               {"Invoice!B1", "einundsiebzig Komma null eins"},
                               {"Invoice!B2",
                                "eine Million zweihundertvierunddreißigtausendfünf"
                                "hundertsiebenundsechzig"},
                               {"Invoice!B3", "minus fünf Komma fünf"},
                               {"Invoice!B4", "drei Komma fünf"},
                           }));
}

}  // namespace
}  // namespace quillory
