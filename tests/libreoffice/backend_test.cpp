#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>
#include <tuple>

#include <xlsxwriter.h>

#include "platform/libreoffice/loader.h"
#include "platform/libreoffice/odf_settings.h"
#include "platform/libreoffice/zip_part.h"
#include "tests/libreoffice/fixtures.h"
#include "workbook/file_replace.h"
#include "workbook/workbook_lock.h"

namespace quillory::libreoffice {
namespace {

namespace fs = std::filesystem;
using testing::ConvertWithLibreOffice;
using testing::ReadFile;
using testing::ReplaceOnce;
using testing::TempFolder;
using testing::WriteFile;
using workbook::CellText;
using workbook::CellWriteRefused;
using workbook::Workbook;
using workbook::WorkbookError;
using workbook::Worksheet;

// The instance is started from a German environment: displayed texts must still come out in
// en-US conventions ("1,234.50").
const bool german_environment = [] {
  setenv("LANG", "de_DE.UTF-8", 1);
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  setenv("LANGUAGE", "de", 1);
  return true;
}();

// Fixtures made once for the whole program: the source workbook in each LibreOffice format.
class Fixtures {
 public:
  static Fixtures& Get() {
    static Fixtures fixtures;
    return fixtures;
  }
  std::string Path(const std::string& name) const { return folder_ / name; }

 private:
  Fixtures() {
    testing::WriteSourceWorkbook(folder_ / "source.xlsx");
    testing::WriteChartWorkbook(folder_ / "charts.xlsx");
    testing::WriteProtectedWorkbook(folder_ / "protected.xlsx");
    testing::WriteRecalculatedWorkbook(folder_ / "recalculated.xlsx");
    WriteFile(folder_ / "source.csv", "1234.5,Total\n7,0123\n");
    const std::string source = folder_ / "source.xlsx";
    ConvertWithLibreOffice({
        {source, folder_ / "source.xls", "MS Excel 97", "-"},
        {source, folder_ / "source.xlt", "MS Excel 97 Vorlage/Template", "-"},
        {source, folder_ / "source.ods", "calc8", "-"},
        {source, folder_ / "secret.xls", "MS Excel 97", "secret"},
        {source, folder_ / "secret.ods", "calc8", "secret"},
        {folder_ / "charts.xlsx", folder_ / "charts.xls", "MS Excel 97", "-"},
        {folder_ / "protected.xlsx", folder_ / "protected.xls", "MS Excel 97", "-"},
        {folder_ / "recalculated.xlsx", folder_ / "recalculated.xls", "MS Excel 97", "-"},
        {folder_ / "recalculated.xlsx", folder_ / "recalculated.ods", "calc8", "-"},
    });
    // Files written from a hidden document carry no view settings: give the .ods its active sheet.
    std::string settings = ReadOdfSettings(folder_ / "source.ods");
    const std::string views =
        "<config:config-item-map-indexed config:name=\"Views\"><config:config-item-map-entry>"
        "<config:config-item config:name=\"ViewId\" "
        "config:type=\"string\">view1</config:config-item>"
        "<config:config-item config:name=\"ActiveTable\" config:type=\"string\">Second"
        "</config:config-item></config:config-item-map-entry></config:config-item-map-indexed>";
    const std::string set = "<config:config-item-set config:name=\"ooo:view-settings\">";
    settings.insert(settings.find(set) + set.size(), views);
    if (!RestoreOdfSettings(folder_ / "source.ods", settings)) throw std::runtime_error("settings");
    const std::string charts = ReadFile(folder_ / "charts.xls");
    WriteFile(folder_ / "chart-sheet.xls", testing::MarkChartSheet(charts, "Chart1", 0));
    WriteFile(folder_ / "chart-active.xls", testing::MarkChartSheet(charts, "Chart1", 1));
  }
  TempFolder folder_;
};

LoaderSettings Settings() {
  LoaderSettings settings;
  settings.office.call_timeout = std::chrono::seconds(20);
  settings.office.open_timeout = std::chrono::seconds(60);
  return settings;
}

Worksheet& Sheet(Workbook& book, const std::string& name) {
  for (Worksheet* sheet : book.Worksheets()) {
    if (sheet->Name() == name) return *sheet;
  }
  throw std::runtime_error("no sheet " + name);
}

std::vector<std::string> Rows(const std::vector<CellText>& cells) {
  std::vector<std::string> rows;
  for (const CellText& cell : cells) {
    rows.push_back(std::to_string(cell.row) + "," + std::to_string(cell.column) + " " + cell.text);
  }
  return rows;
}

class Backend : public ::testing::Test {
 protected:
  // A private copy of a fixture, so each test may change it.
  std::string Copy(const std::string& fixture, const std::string& name = "") {
    const std::string target = folder_ / (name.empty() ? fixture : name);
    fs::copy_file(Fixtures::Get().Path(fixture), target);
    return target;
  }
  std::unique_ptr<workbook::Application> App() { return MakeLibreOfficeApplication(Settings()); }
  TempFolder folder_;
};

class RoundTrip : public Backend, public ::testing::WithParamInterface<const char*> {};

TEST_P(RoundTrip, ReadsWritesSavesAndKeepsTheFormat) {
  // Opened through a symbolic link, which must stay one, with the file it points to converted.
  const std::string file = Copy(std::string("source.") + GetParam());
  const std::string path = folder_ / (std::string("link.") + GetParam());
  fs::create_symlink(file, path);
  const std::string magic = ReadFile(path).substr(0, 4);
  auto app = App();
  {
    auto book = app->Open(path);
    std::vector<std::string> names;
    for (Worksheet* sheet : book->Worksheets()) names.push_back(sheet->Name());
    EXPECT_EQ(names, (std::vector<std::string>{"Data", "Second", "Empty"}));
    EXPECT_EQ(book->ActiveSheet().Name(), "Second");

    Worksheet& data = Sheet(*book, "Data");
    EXPECT_EQ(data.LastRow(), 8);
    EXPECT_EQ(data.LastColumn(), 10);
    const auto cells = data.NonEmptyCells(1, 1, 8, 10);
    EXPECT_EQ(Rows(cells),
              (std::vector<std::string>{"1,1 1,234.50", "1,2 12%", "1,3 $5.00", "1,4 0123",
                                        "1,5 Total", "2,1 2469", "2,2 TRUE", "3,1 line1\nline2",
                                        "3,3 7", "5,1 0", "6,1 0", "8,10 99"}));
    // The fast read finds exactly what a walk of single cells finds.
    std::vector<CellText> walked;
    for (int r = 1; r <= 8; ++r) {
      for (int c = 1; c <= 10; ++c) {
        if (std::string text = data.Text(r, c); !text.empty()) walked.push_back({r, c, text});
      }
    }
    EXPECT_EQ(Rows(walked), Rows(cells));
    EXPECT_EQ(Rows(data.NonEmptyCells(2, 2, 3, 3)),
              (std::vector<std::string>{"2,2 TRUE", "3,3 7"}));

    Worksheet& empty = Sheet(*book, "Empty");
    EXPECT_EQ(empty.LastRow(), 1);
    EXPECT_EQ(empty.LastColumn(), 1);
    EXPECT_TRUE(empty.NonEmptyCells(1, 1, 1, 1).empty());

    // Strings stay strings: "0123" and "1e3" are not read as numbers.
    data.WriteString(1, 1, "One Thousand");
    data.WriteString(1, 2, "0123");
    data.WriteString(1, 3, "1e3");
    data.WriteString(2, 1, "formula gone");
    data.WriteString(3, 3, "noted");
    data.WriteString(8, 10, "Ninety Nine");
    EXPECT_THROW(data.WriteString(5, 1, "x"), CellWriteRefused);
    EXPECT_THROW(data.WriteString(6, 1, "x"), CellWriteRefused);
    data.WriteString(1, 5, "");
    // Reads between writes see the written strings without saving.
    EXPECT_EQ(Rows(data.NonEmptyCells(1, 1, 1, 10)),
              (std::vector<std::string>{"1,1 One Thousand", "1,2 0123", "1,3 1e3", "1,4 0123"}));
    Sheet(*book, "Second").WriteString(5, 3, "Forty Two");
    book->Save();
    book->Close();
  }
  EXPECT_EQ(ReadFile(path).substr(0, 4), magic);
  EXPECT_TRUE(fs::is_symlink(path));
  {
    auto book = app->Open(file);  // refused if the file type had changed
    Worksheet& data = Sheet(*book, "Data");
    EXPECT_EQ(Rows(data.NonEmptyCells(1, 1, 8, 10)),
              (std::vector<std::string>{"1,1 One Thousand", "1,2 0123", "1,3 1e3", "1,4 0123",
                                        "2,1 formula gone", "2,2 TRUE", "3,1 line1\nline2",
                                        "3,3 noted", "5,1 0", "6,1 0", "8,10 Ninety Nine"}));
    EXPECT_EQ(Sheet(*book, "Second").Text(5, 3), "Forty Two");
    EXPECT_EQ(book->ActiveSheet().Name(), "Second");
    book->Close();
  }
  app->Quit();
}

INSTANTIATE_TEST_SUITE_P(Formats, RoundTrip, ::testing::Values("xls", "xlt", "ods", "xlsx"),
                         [](const auto& info) { return std::string(info.param); });

TEST_F(Backend, CloseWithoutSavingLeavesTheFile) {
  // A name that must be escaped in the URL LibreOffice is given.
  const std::string path = Copy("source.xls", "Q1 S\u00fcd #2 100%.xls");
  const std::string before = ReadFile(path);
  auto app = App();
  auto book = app->Open(path);
  EXPECT_EQ(Sheet(*book, "Data").Text(1, 1), "1,234.50");
  Sheet(*book, "Data").WriteString(1, 1, "changed");
  book->Close();
  EXPECT_EQ(ReadFile(path), before);
}

TEST_F(Backend, HiddenSheetsAreMarked) {
  const std::string path = folder_ / "hidden.xlsx";
  lxw_workbook* made = workbook_new(path.c_str());
  workbook_add_worksheet(made, "Shown");
  worksheet_hide(workbook_add_worksheet(made, "Kept Out"));
  ASSERT_EQ(workbook_close(made), LXW_NO_ERROR);
  auto app = App();
  auto book = app->Open(path);
  EXPECT_FALSE(Sheet(*book, "Shown").Hidden());
  EXPECT_TRUE(Sheet(*book, "Kept Out").Hidden());
  book->Close();
}

TEST_F(Backend, HidingAfterAFailureClosesWithoutSaving) {
  const std::string path = Copy("source.ods");
  const std::string before = ReadFile(path);
  auto app = App();
  auto book = app->Open(path);
  Sheet(*book, "Data").WriteString(1, 1, "changed");
  app->SetVisible(false);
  EXPECT_THROW(book->Save(), WorkbookError);
  EXPECT_EQ(ReadFile(path), before);
}

TEST_F(Backend, ChartSheetsAreLeftOutAndNeverSavedAsWorksheets) {
  auto app = App();
  const std::string path = Copy("chart-sheet.xls");
  const std::string before = ReadFile(path);
  auto book = app->Open(path);
  std::vector<std::string> names;
  for (Worksheet* sheet : book->Worksheets()) names.push_back(sheet->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"Data", "Empty"}));
  EXPECT_EQ(book->ActiveSheet().Name(), "Data");
  Sheet(*book, "Data").WriteString(1, 1, "One");
  try {
    book->Save();
    ADD_FAILURE() << "saved";
  } catch (const WorkbookError& error) {
    EXPECT_NE(error.reason().find("(Chart1) that LibreOffice would save as ordinary worksheets"),
              std::string::npos)
        << error.reason();
  }
  book->Close();
  EXPECT_EQ(ReadFile(path), before);

  // The same for a package whose chart sheet LibreOffice reads as a worksheet.
  const std::string package = Copy("charts.xlsx");
  const std::string package_before = ReadFile(package);
  auto opened = app->Open(package);
  names.clear();
  for (Worksheet* sheet : opened->Worksheets()) names.push_back(sheet->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"Data", "Empty"}));
  EXPECT_THROW(opened->Save(), WorkbookError);
  opened->Close();
  EXPECT_EQ(ReadFile(package), package_before);

  auto active = app->Open(Copy("chart-active.xls"));
  try {
    active->ActiveSheet();
    ADD_FAILURE() << "a chart sheet taken as a worksheet";
  } catch (const WorkbookError& error) {
    EXPECT_EQ(error.reason(), "the active sheet Chart1 is a chart sheet, not a worksheet");
  }
}

TEST_F(Backend, AProtectedSheetFailsTheWorkbook) {
  auto app = App();
  auto book = app->Open(Copy("protected.xls"));
  EXPECT_NO_THROW(Sheet(*book, "Open").WriteString(1, 1, "Two"));
  try {
    Sheet(*book, "Data").WriteString(1, 1, "One");
    ADD_FAILURE() << "wrote into a protected sheet";
  } catch (const CellWriteRefused&) {
    ADD_FAILURE() << "a protected sheet must fail the workbook, not one cell";
  } catch (const WorkbookError& error) {
    EXPECT_EQ(error.reason(), "sheet Data is protected; cell A1 cannot be written");
  }
}

TEST_F(Backend, TextNamedXlsIsRefusedAndLeftUnchanged) {
  const std::string path = folder_ / "damaged.xls";
  WriteFile(path, "1234.5,Total\n7,0123\n");
  auto app = App();
  try {
    app->Open(path);
    FAIL() << "opened";
  } catch (const WorkbookError& error) {
    EXPECT_NE(error.reason().find("not as a workbook of the type its name says"), std::string::npos)
        << error.reason();
  }
  EXPECT_EQ(ReadFile(path), "1234.5,Total\n7,0123\n");

  // A package named .xls opens through another spreadsheet filter; saving would change its type.
  const std::string misnamed = Copy("source.xlsx", "misnamed.xls");
  const std::string before = ReadFile(misnamed);
  try {
    app->Open(misnamed);
    ADD_FAILURE() << "opened";
  } catch (const WorkbookError& error) {
    EXPECT_NE(error.reason().find("read it as \"Calc MS Excel 2007 XML\", not as a workbook of the "
                                  "type its name says"),
              std::string::npos)
        << error.reason();
  }
  EXPECT_EQ(ReadFile(misnamed), before);
}

TEST_F(Backend, PasswordProtectedFilesFailClearly) {
  auto app = App();
  for (const char* name : {"secret.xls", "secret.ods"}) {
    const std::string path = Copy(name);
    const std::string before = ReadFile(path);
    try {
      app->Open(path);
      ADD_FAILURE() << name << " opened";
    } catch (const WorkbookError& error) {
      EXPECT_NE(error.reason().find("protected by a password"), std::string::npos)
          << name << ": " << error.reason();
    }
    EXPECT_EQ(ReadFile(path), before) << name;
  }
}

TEST_F(Backend, ReadOnlyAndEmptyFilesFailBeforeAnythingIsWritten) {
  auto app = App();
  const std::string read_only = Copy("source.xls", "readonly.xls");
  chmod(read_only.c_str(), 0444);
  try {
    app->Open(read_only);
    ADD_FAILURE() << "read-only file opened";
  } catch (const WorkbookError& error) {
    EXPECT_NE(error.reason().find("read-only"), std::string::npos) << error.reason();
  }
  // LibreOffice would open them as new, empty workbooks and save those over them.
  for (const char* name : {"empty.xls", "empty.ods"}) {
    const std::string empty = folder_ / name;
    WriteFile(empty, "");
    try {
      app->Open(empty);
      ADD_FAILURE() << name << " opened";
    } catch (const WorkbookError& error) {
      EXPECT_EQ(error.reason(), "the file is empty (0 bytes); nothing to open");
    }
    EXPECT_EQ(fs::file_size(empty), 0u);
  }
}

// The save goes through the same replace step as the embedded engine's.
TEST_F(Backend, SavesKeepOwnerAndModeAndNeverOverwriteAnotherProgramsSave) {
  auto app = App();
  const std::string kept = Copy("source.xls", "kept.xls");
  chmod(kept.c_str(), 0640);
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(kept.c_str(), 65534, 65534), 0);
  }
  {
    auto book = app->Open(kept);
    // This program's instance writes no lock file of its own.
    EXPECT_FALSE(fs::exists(folder_ / ".~lock.kept.xls#"));
    Sheet(*book, "Data").WriteString(1, 1, "converted");
    book->Save();
    book->Close();
  }
  struct stat info {};
  ASSERT_EQ(stat(kept.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_gid, 65534u);
  }
  EXPECT_EQ(Sheet(*app->Open(kept), "Data").Text(1, 1), "converted");

  const std::string theirs = Copy("source.ods", "theirs.ods");
  auto book = app->Open(theirs);
  Sheet(*book, "Data").WriteString(1, 1, "converted");
  WriteFile(folder_ / "new.ods", "their version");
  fs::rename(folder_ / "new.ods", theirs);
  try {
    book->Save();
    ADD_FAILURE() << "saved over another program's save";
  } catch (const WorkbookError& error) {
    EXPECT_NE(error.reason().find("another program changed or replaced the file"),
              std::string::npos)
        << error.reason();
  }
  book->Close();
  EXPECT_EQ(ReadFile(theirs), "their version");

  const std::string linked = Copy("source.xls", "linked.xls");
  fs::create_hard_link(linked, folder_ / "other name.xls");
  const std::string before = ReadFile(linked);
  auto twice = app->Open(linked);
  Sheet(*twice, "Data").WriteString(1, 1, "converted");
  try {
    twice->Save();
    ADD_FAILURE() << "saved a workbook with two names";
  } catch (const WorkbookError& error) {
    EXPECT_NE(error.reason().find("it has 2 names (hard links)"), std::string::npos)
        << error.reason();
  }
  EXPECT_EQ(ReadFile(folder_ / "other name.xls"), before);
  EXPECT_EQ(ReadFile(linked), before);
  for (const auto& entry : fs::directory_iterator(folder_.Path())) {
    EXPECT_NE(entry.path().extension(), ".tmp") << "a new file was left behind: " << entry.path();
  }
}

TEST_F(Backend, ViewSettingsThatCannotBePutBackAndFailedStepsLeaveTheFile) {
  auto app = App();
  const std::string path = Copy("source.ods");
  const std::string before = ReadFile(path);
  // The file LibreOffice stored is damaged before its view settings go back in.
  SetLibreOfficeFileStepHook([](workbook::FileStep step, const std::string& stored) {
    if (step == workbook::FileStep::kStored) WriteFile(stored, "damaged");
  });
  auto book = app->Open(path);
  Sheet(*book, "Data").WriteString(1, 1, "converted");
  try {
    book->Save();
    ADD_FAILURE() << "saved without its view settings";
  } catch (const WorkbookError& error) {
    EXPECT_EQ(error.reason(),
              "its view settings (active sheet, frozen panes, zoom) could not be put back into "
              "the saved file; it was left unchanged");
  }
  EXPECT_EQ(ReadFile(path), before);

  SetLibreOfficeFileStepHook([](workbook::FileStep step, const std::string&) {
    if (step == workbook::FileStep::kBeforeRename) throw std::runtime_error("the disk is full");
  });
  try {
    book->Save();
    ADD_FAILURE() << "saved";
  } catch (const WorkbookError& error) {
    EXPECT_EQ(error.reason(), "cannot save: the disk is full");
  }
  SetLibreOfficeFileStepHook(nullptr);
  book->Close();
  EXPECT_EQ(ReadFile(path), before);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder_.Path())) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"source.ods"});
}

// Replaces the one occurrence of `from` in one part of a zip package by `to`.
void ReplaceInZipPart(const std::string& path, const char* part, const std::string& from,
                      const std::string& to) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), 0, &error);
  if (archive == nullptr) throw std::runtime_error("not a zip package: " + path);
  const std::string changed = ReplaceOnce(ReadZipPart(archive, part), from, to);
  zip_source_t* source = zip_source_buffer(archive, changed.data(), changed.size(), 0);
  if (zip_file_replace(archive, zip_name_locate(archive, part, 0), source, 0) != 0 ||
      zip_close(archive) != 0) {
    throw std::runtime_error("cannot rewrite " + path);
  }
}

TEST_F(Backend, ASavedCopyThatReadsBackChangedIsNotPutInPlace) {
  auto app = App();
  // Changes made to the copy LibreOffice stored, as a save that loses a formula or a text would.
  const std::vector<std::tuple<std::string, std::function<void(const std::string&)>, std::string>>
      damages = {
          {"source.xls",
           [](const std::string& stored) {
             WriteFile(stored, ReplaceOnce(ReadFile(stored), "Total", "T0tal"));
           },
           "Data!E1: Total -> T0tal"},
          {"source.ods",
           [](const std::string& stored) {
             ReplaceInZipPart(stored, "content.xml", "of:=[.A1]*2", "of:=[.A1]*3");
           },
           "Data!A2: =A1*2 -> =A1*3"},
      };
  for (const auto& [fixture, damage, change] : damages) {
    SCOPED_TRACE(fixture);
    const std::string path = Copy(fixture);
    const std::string before = ReadFile(path);
    SetLibreOfficeFileStepHook(
        [&damage = damage](workbook::FileStep step, const std::string& file) {
          if (step == workbook::FileStep::kStored) damage(file);
        });
    auto book = app->Open(path);
    Sheet(*book, "Data").WriteString(1, 1, "One Thousand");
    Sheet(*book, "Second").WriteString(5, 3, "Forty Two");
    try {
      book->Save();
      ADD_FAILURE() << "a copy that reads back changed replaced the file";
    } catch (const WorkbookError& error) {
      EXPECT_EQ(error.reason(),
                "LibreOffice's saved copy does not read back as the converted workbook (" + change +
                    "), so it was not put in place; the file was left unchanged");
    }
    EXPECT_TRUE(ReadFile(path) == before) << "the file was replaced";
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_.Path())) {
      names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{fixture});

    // The workbook is still open as it was: a save whose copy reads back alike goes through.
    SetLibreOfficeFileStepHook(nullptr);
    book->Save();
    book->Close();
    auto saved = app->Open(path);
    EXPECT_EQ(Sheet(*saved, "Data").Text(1, 1), "One Thousand");
    EXPECT_EQ(Sheet(*saved, "Data").Text(1, 5), "Total");
    EXPECT_EQ(Sheet(*saved, "Second").Text(5, 3), "Forty Two");
    saved->Close();
    fs::remove(path);
  }
}

TEST_F(Backend, FormulasRecalculatedSinceOpeningDoNotStopTheSave) {
  auto app = App();
  for (const char* fixture : {"recalculated.xls", "recalculated.ods"}) {
    SCOPED_TRACE(fixture);
    const std::string path = Copy(fixture);
    {
      auto book = app->Open(path);
      // Every formula depends on A1 or on a volatile function, so each shows another result now.
      Sheet(*book, "Data").WriteString(1, 1, "Five");
      book->Save();
      book->Close();
    }
    auto saved = app->Open(path);
    EXPECT_EQ(Sheet(*saved, "Data").Text(1, 1), "Five");
    EXPECT_EQ(Sheet(*saved, "Data").Text(2, 1), "7");
    saved->Close();
  }
}

// What a LibreOffice of the user's asks when it opens `path` for editing.
std::string UsersOfficeAsks(const std::string& path) {
  const std::string command = std::string(QUILLORY_LOCK_PROBE) + " '" + path + "' 2>&1";
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) output += buffer;
    pclose(pipe);
  }
  while (!output.empty() && output.back() == '\n') output.pop_back();
  return output;
}

TEST_F(Backend, AUsersLibreOfficeSeesTheLockOfAConversion) {
  const std::string path = Copy("source.ods");
  {
    const auto lock = workbook::WorkbookLock::Acquire(path, workbook::OtherLocks::kRefuse);
    ASSERT_TRUE(lock);
    EXPECT_EQ(UsersOfficeAsks(path), "com.sun.star.document.LockedDocumentRequest");
  }
  EXPECT_EQ(UsersOfficeAsks(path), "none");
}

TEST_F(Backend, AHungInstanceIsEndedAndTheWorkbookFails) {
  const std::string path = Copy("source.xls");
  const std::string before = ReadFile(path);
  LoaderSettings settings = Settings();
  settings.office.call_timeout = std::chrono::seconds(2);
  auto app = MakeLibreOfficeApplication(settings);
  auto book = app->Open(path);
  const int pid = LibreOfficeInstancePid();
  ASSERT_GT(pid, 0);
  kill(pid, SIGSTOP);
  const auto start = std::chrono::steady_clock::now();
  try {
    Sheet(*book, "Data").NonEmptyCells(1, 1, 8, 10);
    ADD_FAILURE() << "read from a stopped instance";
  } catch (const WorkbookError& error) {
    EXPECT_NE(error.reason().find("stopped responding"), std::string::npos) << error.reason();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
  EXPECT_NE(LibreOfficeInstancePid(), pid);
  EXPECT_THROW(book->Save(), WorkbookError);
  book.reset();
  EXPECT_EQ(ReadFile(path), before);
  // The next workbook gets a new instance.
  auto again_app = App();
  auto again = again_app->Open(path);
  EXPECT_EQ(Sheet(*again, "Second").Text(5, 3), "42");
  EXPECT_NE(LibreOfficeInstancePid(), pid);
}

TEST_F(Backend, TheInstanceEndsWhenNoApplicationUsesIt) {
  LoaderSettings settings = Settings();
  settings.office.idle_timeout = std::chrono::seconds(1);
  auto app = MakeLibreOfficeApplication(settings);
  app->Open(Copy("source.ods"))->Close();
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_NE(LibreOfficeInstancePid(), 0);  // still used by `app`
  app->Quit();
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_EQ(LibreOfficeInstancePid(), 0);
}

// Another LibreOffice, started the way a user would with a profile of its own.
class UsersOffice {
 public:
  explicit UsersOffice(const std::string& profile) {
    // A fresh profile makes the first start end with 81 and ask to be started again.
    for (int start = 0; start < 3; ++start) {
      pid_ = fork();
      if (pid_ == 0) {
        const std::string env = "-env:UserInstallation=file://" + profile;
        execl("/usr/lib/libreoffice/program/soffice.bin",
              "/usr/lib/libreoffice/program/soffice.bin", "--headless", "--invisible",
              "--norestore", env.c_str(), "--accept=pipe,name=quillory_test_users_office;urp;",
              static_cast<char*>(nullptr));
        _exit(127);
      }
      std::this_thread::sleep_for(std::chrono::seconds(3));
      if (waitpid(pid_, nullptr, WNOHANG) == 0) return;
    }
  }
  ~UsersOffice() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    unlink(("/tmp/OSL_PIPE_" + std::to_string(getuid()) + "_quillory_test_users_office").c_str());
  }
  bool Alive() const { return kill(pid_, 0) == 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
  pid_t Pid() const { return pid_; }
  bool HasOpen(const std::string& path) const {
    std::error_code error;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid_) + "/fd", error)) {
      if (fs::read_symlink(fd.path(), error) == path) return true;
    }
    return false;
  }

 private:
  pid_t pid_ = 0;
};

TEST_F(Backend, TheUsersOwnOfficeIsLeftAlone) {
  EndLibreOfficeInstance();
  UsersOffice users(folder_ / "users-profile");
  ASSERT_TRUE(users.Alive());

  const std::string path = Copy("source.ods");
  auto app = App();
  auto book = app->Open(path);
  EXPECT_NE(LibreOfficeInstancePid(), 0);
  EXPECT_NE(LibreOfficeInstancePid(), users.Pid());
  EXPECT_FALSE(users.HasOpen(path));
  Sheet(*book, "Data").WriteString(1, 1, "converted");
  book->Save();
  book->Close();
  app->Quit();
  EndLibreOfficeInstance();
  EXPECT_EQ(LibreOfficeInstancePid(), 0);
  EXPECT_TRUE(users.Alive());
}

TEST_F(Backend, WithoutThePluginWorkbooksFailSayingWhatToInstall) {
  LoaderSettings settings;
  settings.plugin_path = folder_ / "missing/quillory_libreoffice.so";
  auto app = MakeLibreOfficeApplication(settings);
  const std::string path = Copy("source.xls");
  try {
    app->Open(path);
    FAIL() << "opened without the plugin";
  } catch (const WorkbookError& error) {
    EXPECT_EQ(error.file(), path);
    EXPECT_NE(error.reason().find("libreoffice-calc-nogui"), std::string::npos) << error.reason();
  }
}

}  // namespace
}  // namespace quillory::libreoffice
