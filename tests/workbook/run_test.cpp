#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <memory>
#include <mutex>

#include "engine/settings.h"
#include "engine/words.h"
#include "platform/posix/backup_copy.h"
#include "tests/workbook/fake_workbook.h"
#include "tests/workbook/scratch_folder.h"
#include "workbook/cell_walks.h"
#include "workbook/conversion_run.h"
#include "workbook/file_replace.h"

namespace quillory::workbook {
namespace {

namespace fs = std::filesystem;
using testing::FakeFile;
using testing::FakeOffice;
using testing::FakeWorkbook;
using testing::MakeSheet;
using testing::ScriptedPrompts;

constexpr std::string_view kInUseQuestion =
    "A spreadsheet program may have one of the workbooks open. It is recommended that you close "
    "it there first.\r\n\r\nWould you like to proceed anyway?";

using Outcomes = std::vector<WorkbookOutcome>;
Outcomes OutcomesOf(const RunReport& report) {
  Outcomes outcomes;
  for (const WorkbookResult& result : report.workbooks) outcomes.push_back(result.outcome);
  return outcomes;
}

class Run : public ::testing::Test {
 protected:
  void SetUp() override { options_.backup = false; }
  void AddBook(const std::string& path, std::vector<std::vector<std::string>> rows) {
    office_.files[path] = FakeFile{{MakeSheet("Sheet1", rows)}, 0};
  }
  RunReport Execute(std::vector<std::string> paths, Kind kind = Kind::Number,
                    Scope scope = Scope::Workbook) {
    options_.paths = std::move(paths);
    options_.kind = kind;
    options_.scope = scope;
    const ApplicationFactory factory = office_.Factory();
    RunServices services{[this, factory](const std::string& path) {
                           if (on_application_) on_application_(path);
                           return factory(path);
                         },
                         [this](const auto&) { return in_use_; },
                         [] { return std::chrono::system_clock::now(); },
                         [this](const CellChange& change) { changes_.push_back(change); }};
    services.cancel = &cancel_;
    services.start_backup = backups_;
    return ConversionRun(options_, words_, prompts_, services).Execute();
  }
  // Two workbooks on disk ("old") whose saves put a real new file ("new") in place.
  void TwoBooksSavedForReal(const std::string& first, const std::string& second) {
    testing::WriteBytes(first, "old");
    testing::WriteBytes(second, "old");
    AddBook(first, {{"1"}});
    AddBook(second, {{"2"}});
    office_.on_save = [](const std::string& path) {
      const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      const std::optional<FileIdentity> opened = IdentifyOpenFile(fd);
      ::close(fd);
      FileReplacement replacement(path, opened.value(), path);
      ASSERT_EQ(::write(replacement.fd(), "new", 3), 3);
      replacement.Commit();
    };
  }
  struct HookReset {
    ~HookReset() { SetFileStepHook(nullptr); }
  };
  std::string Text(const std::string& path, std::int32_t row, std::int32_t column) {
    return office_.files[path].sheets[0].cells[{row, column}].text;
  }

  MemorySettings store_;
  WordSource words_{store_};
  FakeOffice office_;
  ScriptedPrompts prompts_;
  RunOptions options_;
  bool in_use_ = false;
  std::vector<CellChange> changes_;
  std::atomic<bool> cancel_{false};
  std::function<void(const std::string& path)> on_application_;  // before each workbook opens
  BackupMaker backups_ = &posix::StartBackupCopy;
};

TEST_F(Run, EmptyListOnlySaysSo) {
  in_use_ = true;
  const RunReport report = Execute({}, Kind::Letters);
  EXPECT_EQ(report.outcome, RunOutcome::NoFiles);
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text.substr(0, 17), "No files added.\n\n");
  EXPECT_TRUE(report.workbooks.empty());
  EXPECT_TRUE(prompts_.busy_changes.empty());
  EXPECT_TRUE(prompts_.questions.empty());
  EXPECT_TRUE(prompts_.text_questions.empty());
}

TEST_F(Run, ConvertsEverySavesEachAndSaysDoneWithTheCollectedMessages) {
  AddBook("a.xlsx", {{"Total", "5"}});
  AddBook("b.xlsx", {{"21"}});
  const RunReport report = Execute({"a.xlsx", "b.xlsx"});
  EXPECT_EQ(report.outcome, RunOutcome::Done);
  EXPECT_EQ(report.workbooks_converted, 2);
  EXPECT_EQ(report.cells_converted, 2);
  EXPECT_EQ(Text("a.xlsx", 1, 2), "Five");
  EXPECT_EQ(Text("b.xlsx", 1, 1), "Twenty One");
  EXPECT_EQ(office_.log,
            (std::vector<std::string>{"open a.xlsx", "write Sheet1 1,2", "save a.xlsx", "quit",
                                      "open b.xlsx", "write Sheet1 1,1", "save b.xlsx", "quit"}));
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text, "Done.");
  EXPECT_EQ(prompts_.messages[0].details,
            "a.xlsx, Sheet1!A1: Total does not appear to be a number");
  EXPECT_EQ(prompts_.busy_changes, (std::vector<bool>{true, false}));
  EXPECT_TRUE(prompts_.questions.empty());
  EXPECT_TRUE(prompts_.text_questions.empty());  // not letters: nothing asked
  EXPECT_EQ(OutcomesOf(report), (Outcomes{WorkbookOutcome::Converted, WorkbookOutcome::Converted}));
  EXPECT_EQ(report.Count(WorkbookOutcome::Converted), 2);
  EXPECT_EQ(report.CellsLeft(), 1);
  EXPECT_EQ(report.summary, "Done.");
  // The last progress of each workbook has passed every cell of its used range.
  EXPECT_EQ(prompts_.last_cells, 1);
  EXPECT_EQ(prompts_.last_cells_total, 1);
}

TEST_F(Run, MessagesPastTheLimitAreOnlyCounted) {
  AddBook("a.xlsx", std::vector<std::vector<std::string>>(6000, {"label"}));
  AddBook("b.xlsx", std::vector<std::vector<std::string>>(4010, {"label"}));
  const RunReport report = Execute({"a.xlsx", "b.xlsx"});
  EXPECT_EQ(report.messages.size(), kMaxCellMessages);
  EXPECT_EQ(report.messages.back().cell, "A4000");
  EXPECT_EQ(report.messages_left_out, 10);
  const std::string& details = prompts_.messages.at(0).details;
  EXPECT_EQ(details.substr(details.rfind('\n') + 1), "... and 10 more cells left as they were");
}

TEST_F(Run, InUseQuestionNoStopsBeforeAnythingAndSaysSo) {
  AddBook("a.xlsx", {{"5"}});
  in_use_ = true;
  prompts_.yes_no = {false};
  const RunReport report = Execute({"a.xlsx"});
  EXPECT_EQ(report.outcome, RunOutcome::Declined);
  EXPECT_EQ(prompts_.questions, std::vector<std::string>{std::string(kInUseQuestion)});
  EXPECT_TRUE(office_.log.empty());
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text, "The run was not started; nothing was converted.");
  EXPECT_EQ(prompts_.busy_changes, (std::vector<bool>{true, false}));
}

TEST_F(Run, InUseQuestionYesGoesOn) {
  AddBook("a.xlsx", {{"5"}});
  in_use_ = true;
  prompts_.yes_no = {true};
  EXPECT_EQ(Execute({"a.xlsx"}).outcome, RunOutcome::Done);
  EXPECT_EQ(Text("a.xlsx", 1, 1), "Five");
}

TEST_F(Run, LettersQuestionComesBackWithTheRangeUntilTheAnswerIsAFittingNumber) {
  AddBook("a.xlsx", {{"123"}});
  prompts_.text_answers = {"abc", "", "40000", "67", "-181", "2.5"};
  EXPECT_EQ(Execute({"a.xlsx"}, Kind::Letters).outcome, RunOutcome::Done);
  ASSERT_EQ(prompts_.text_questions.size(), 6u);
  EXPECT_EQ(prompts_.text_questions[0].first, "What number corresponds with A?");
  for (std::size_t i = 1; i < 6; ++i) {
    EXPECT_EQ(prompts_.text_questions[i].first,
              "Please give a number from -180 to 66.\nWhat number corresponds with A?");
  }
  for (const auto& [prompt, initial] : prompts_.text_questions) EXPECT_EQ(initial, "1");
  EXPECT_EQ(Text("a.xlsx", 1, 1), "@AB");  // base 2: 1 -> '@', 2 -> 'A', 3 -> 'B'
}

TEST_F(Run, LettersQuestionLeftWithoutAnAnswerEndsTheRunBeforeAnything) {
  AddBook("a.xlsx", {{"123"}});
  prompts_.text_answers = {"abc", std::nullopt};
  options_.backup = true;  // not even a backup is made
  const RunReport report = Execute({"a.xlsx"}, Kind::Letters);
  EXPECT_EQ(report.outcome, RunOutcome::Unanswered);
  EXPECT_TRUE(office_.log.empty());
  EXPECT_EQ(prompts_.text_questions.size(), 2u);
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text,
            "The run was not started: no number was given for A, so nothing was converted.");
  EXPECT_EQ(prompts_.busy_changes, (std::vector<bool>{true, false}));
}

TEST_F(Run, LettersBaseGivenBeforehandIsNotAsked) {
  AddBook("a.xlsx", {{"123"}});
  options_.letters_base = 1;
  EXPECT_EQ(Execute({"a.xlsx"}, Kind::Letters).outcome, RunOutcome::Done);
  EXPECT_TRUE(prompts_.text_questions.empty());
  EXPECT_EQ(Text("a.xlsx", 1, 1), "ABC");
}

TEST_F(Run, FailureInTheMiddleKeepsTheFirstLeavesTheSecondAndTheThirdUntouched) {
  AddBook("a.xlsx", {{"1"}});
  AddBook("b.xlsx", {{"2", "3"}});
  AddBook("c.xlsx", {{"4"}});
  office_.files["b.xlsx"].save_fails = true;
  const FakeFile second_before = office_.files["b.xlsx"];
  const RunReport report = Execute({"a.xlsx", "b.xlsx", "c.xlsx"});

  EXPECT_EQ(report.outcome, RunOutcome::Failed);
  EXPECT_EQ(report.failed_workbook, "b.xlsx");
  EXPECT_EQ(report.failure, "the disk is full");
  EXPECT_EQ(report.workbooks_converted, 1);
  EXPECT_EQ(Text("a.xlsx", 1, 1), "One");
  EXPECT_EQ(office_.files["b.xlsx"], second_before);
  EXPECT_EQ(office_.Count("close b.xlsx"), 1);  // closed unsaved, not left open
  EXPECT_EQ(office_.Count("quit"), 2);
  EXPECT_EQ(office_.Count("open c.xlsx"), 0);
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text,
            "b.xlsx was not converted: the disk is full\n"
            "The workbooks before it were converted and saved.\n"
            "The workbooks after it were not touched.");
  EXPECT_EQ(prompts_.busy_changes, (std::vector<bool>{true, false}));
  EXPECT_EQ(OutcomesOf(report), (Outcomes{WorkbookOutcome::Converted, WorkbookOutcome::Failed,
                                          WorkbookOutcome::NotReached}));
  EXPECT_EQ(report.workbooks[1].reason, "the disk is full");
}

TEST_F(Run, CancelBetweenCellsClosesTheWorkbookUnsavedAndTouchesNoneAfterIt) {
  AddBook("a.xlsx", {{"1"}});
  AddBook("b.xlsx", std::vector<std::vector<std::string>>(5000, {"2"}));
  AddBook("c.xlsx", {{"3"}});
  const FakeFile second_before = office_.files["b.xlsx"];
  prompts_.on_progress = [this](const RunProgress& progress) {
    if (progress.index == 2 && progress.cells > 0) cancel_ = true;
  };
  const RunReport report = Execute({"a.xlsx", "b.xlsx", "c.xlsx"});

  EXPECT_EQ(report.outcome, RunOutcome::Cancelled);
  EXPECT_EQ(OutcomesOf(report), (Outcomes{WorkbookOutcome::Converted, WorkbookOutcome::Cancelled,
                                          WorkbookOutcome::NotReached}));
  EXPECT_EQ(Text("a.xlsx", 1, 1), "One");
  EXPECT_EQ(office_.files["b.xlsx"], second_before);
  EXPECT_EQ(office_.Count("write Sheet1 4097,1"), 0);  // stopped at the first progress report
  EXPECT_EQ(office_.Count("close b.xlsx"), 1);
  EXPECT_EQ(office_.Count("save b.xlsx"), 0);
  EXPECT_EQ(office_.Count("open c.xlsx"), 0);
  EXPECT_EQ(report.cells_converted, 1);
  EXPECT_EQ(report.summary,
            "The run was cancelled: b.xlsx was not converted; its file is untouched.\n"
            "The workbooks before it were converted and saved.\n"
            "The workbooks after it were not touched.");
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].text, report.summary);
}

TEST_F(Run, CancelAfterTheLastCellStillSavesNothing) {
  AddBook("a.xlsx", {{"1"}});
  const FakeFile before = office_.files["a.xlsx"];
  prompts_.on_progress = [this](const RunProgress& progress) {
    if (progress.cells_total > 0 && progress.cells == progress.cells_total) cancel_ = true;
  };
  const RunReport report = Execute({"a.xlsx"});
  EXPECT_EQ(report.outcome, RunOutcome::Cancelled);
  EXPECT_EQ(office_.files["a.xlsx"], before);
  EXPECT_EQ(report.summary,
            "The run was cancelled: a.xlsx was not converted; its file is untouched.");
}

TEST_F(Run, CancelledBlockSkipsThatWorkbookOnly) {
  for (const char* path : {"a.xlsx", "b.xlsx", "c.xlsx"}) AddBook(path, {{"1", "2"}, {"3", "4"}});
  const FakeFile second_before = office_.files["b.xlsx"];
  prompts_.pick_block = [&](Workbook& workbook) -> std::optional<Block> {
    if (prompts_.blocks_asked == 2) return std::nullopt;
    return Block{static_cast<FakeWorkbook&>(workbook).Sheet("Sheet1"), 2, 1, 2, 2};
  };
  const RunReport report = Execute({"a.xlsx", "b.xlsx", "c.xlsx"}, Kind::Number, Scope::Block);
  EXPECT_EQ(report.outcome, RunOutcome::Done);
  EXPECT_EQ(OutcomesOf(report), (Outcomes{WorkbookOutcome::Converted, WorkbookOutcome::Skipped,
                                          WorkbookOutcome::Converted}));
  EXPECT_EQ(report.workbooks[1].reason, "no block of cells was chosen");
  EXPECT_EQ(Text("a.xlsx", 1, 1), "1");
  EXPECT_EQ(Text("a.xlsx", 2, 1), "Three");
  EXPECT_EQ(office_.files["b.xlsx"], second_before);
  EXPECT_EQ(office_.Count("close b.xlsx"), 1);
  EXPECT_EQ(Text("c.xlsx", 2, 2), "Four");
  EXPECT_EQ(prompts_.blocks_asked, 3);
  EXPECT_EQ(office_.Count("visible 1"), 3);
  EXPECT_EQ(report.summary, "Done.\nb.xlsx was skipped: no block of cells was chosen.");
  // A block's progress counts the cells of the block.
  EXPECT_EQ(prompts_.last_cells_total, 2);
}

TEST_F(Run, AWorkbookInWhichNoCellIsWrittenIsClosedNotSaved) {
  AddBook("labels.xlsx", {{"Total", "", "n/a"}});
  AddBook("numbers.xlsx", {{"Total", "5"}});
  const RunReport report = Execute({"labels.xlsx", "numbers.xlsx"});
  EXPECT_EQ(report.outcome, RunOutcome::Done);
  EXPECT_EQ(report.workbooks_converted, 2);
  EXPECT_EQ(office_.log, (std::vector<std::string>{"open labels.xlsx", "close labels.xlsx", "quit",
                                                   "open numbers.xlsx", "write Sheet1 1,2",
                                                   "save numbers.xlsx", "quit"}));
}

TEST_F(Run, AWorkbookThatCannotBeSavedFailsUnlessNothingIsWrittenInIt) {
  AddBook("labels.xls", {{"Total"}});
  AddBook("old.xls", {{"2"}});
  for (const char* path : {"labels.xls", "old.xls"}) {
    office_.files[path].save_refusal = "it cannot be saved in its format";
  }
  const RunReport report = Execute({"labels.xls", "old.xls"});
  EXPECT_EQ(report.outcome, RunOutcome::Failed);
  EXPECT_EQ(report.workbooks_converted, 1);  // nothing to save in labels.xls
  EXPECT_EQ(report.failed_workbook, "old.xls");
  EXPECT_EQ(report.failure, "it cannot be saved in its format");
  EXPECT_EQ(office_.Count("close old.xls"), 1);
  EXPECT_EQ(office_.Count("save old.xls"), 0);
  EXPECT_EQ(Text("old.xls", 1, 1), "2");
}

TEST_F(Run, CellMessagesShowTabsAndLineBreaksEscaped) {
  AddBook("a.xlsx", {{"Net\tGross\n", "x\\y"}});
  office_.files["a.xlsx"].sheets[0].cells[{1, 1}].text = "Net\tGross\r\n";
  office_.files["a.xlsx"].sheets[0].name = "Q1\t2026";
  Execute({"a.xlsx"});
  ASSERT_EQ(prompts_.messages.size(), 1u);
  EXPECT_EQ(prompts_.messages[0].details,
            "a.xlsx, Q1\\t2026!A1: Net\\tGross\\r\\n does not appear to be a number\n"
            "a.xlsx, Q1\\t2026!B1: x\\\\y does not appear to be a number");
}

// A dry run goes through everything the real run does, cell by cell and workbook by workbook;
// only the saving is left out.
TEST_F(Run, ADryRunReportsWhatTheRealRunDoes) {
  const auto books = [this] {
    AddBook("a.xlsx", {{"Total", "5", "!7"}, {"=12", "!8"}});
    AddBook("b.xls", {{"3"}});
    office_.files["b.xls"].save_refusal = "its chart sheets would be saved as worksheets";
    AddBook("c.xlsx", {{"4"}});
  };
  books();
  const std::map<std::string, FakeFile> before = office_.files;
  options_.dry_run = true;
  const RunReport dry = Execute({"a.xlsx", "c.xlsx", "b.xls"});
  const std::vector<ScriptedPrompts::Shown> dry_messages = prompts_.messages;
  EXPECT_EQ(office_.files, before);
  EXPECT_EQ(office_.Count("save a.xlsx") + office_.Count("save c.xlsx"), 0);
  std::vector<std::string> listed;
  for (const CellChange& change : changes_) {
    listed.push_back(change.workbook + " " + change.cell + " " + change.old_text + " -> " +
                     change.new_text);
  }
  // b.xls's change is listed, then the workbook refused where the run would save it.
  EXPECT_EQ(listed, (std::vector<std::string>{"a.xlsx B1 5 -> Five", "a.xlsx A2 12 -> Twelve",
                                              "c.xlsx A1 4 -> Four", "b.xls A1 3 -> Three"}));

  office_ = FakeOffice();
  prompts_ = ScriptedPrompts();
  changes_.clear();
  books();
  options_.dry_run = false;
  const RunReport real = Execute({"a.xlsx", "c.xlsx", "b.xls"});
  EXPECT_TRUE(changes_.empty());
  EXPECT_EQ(Text("a.xlsx", 2, 1), "Twelve");

  EXPECT_EQ(dry.outcome, RunOutcome::Failed);
  EXPECT_EQ(dry.outcome, real.outcome);
  EXPECT_EQ(dry.failed_workbook, real.failed_workbook);
  EXPECT_EQ(dry.failure, real.failure);
  EXPECT_EQ(dry.cells_converted, real.cells_converted);
  ASSERT_EQ(dry.messages.size(), 3u);  // Total and the two array cells
  ASSERT_EQ(dry.messages.size(), real.messages.size());
  for (std::size_t i = 0; i < dry.messages.size(); ++i) {
    EXPECT_EQ(dry.messages[i].cell, real.messages[i].cell);
    EXPECT_EQ(dry.messages[i].message, real.messages[i].message);
  }
  ASSERT_EQ(dry_messages.size(), 1u);
  EXPECT_EQ(dry_messages[0].details, prompts_.messages.at(0).details);
}

TEST_F(Run, BackupIsMadeOnceOpenedAndItsFailureStopsThatWorkbookBeforeAnyWrite) {
  const fs::path folder =
      fs::path(::testing::TempDir()) / ("run_test." + std::to_string(::getpid()));
  fs::create_directories(folder);
  const std::string good = (folder / "good.xlsx").string();
  const std::string gone = (folder / "gone.xlsx").string();
  std::ofstream(good) << "original bytes";
  AddBook(good, {{"1"}});
  AddBook(gone, {{"1"}});  // the application knows it, the disk does not
  options_.backup = true;

  const RunReport report = Execute({good, gone});
  EXPECT_EQ(report.outcome, RunOutcome::Failed);
  EXPECT_EQ(report.failed_workbook, gone);
  EXPECT_EQ(office_.Count("open " + gone), 1);
  EXPECT_EQ(office_.Count("save " + gone), 0);
  EXPECT_EQ(office_.Count("write Sheet1 1,1"), 1);  // the first workbook's cell only
  EXPECT_EQ(Text(gone, 1, 1), "1");
  int backups = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename().string().rfind("good Backup ", 0) == 0) {
      ++backups;
      std::ifstream in(entry.path());
      std::string content;
      std::getline(in, content);
      EXPECT_EQ(content, "original bytes");
    }
  }
  EXPECT_EQ(backups, 1);
  fs::remove_all(folder);
}

TEST_F(Run, WithoutAWayOfMakingBackupsAWorkbookToBeBackedUpFailsBeforeAnyWrite) {
  AddBook("/w/a.xlsx", {{"1"}});
  options_.backup = true;
  backups_ = nullptr;
  const RunReport report = Execute({"/w/a.xlsx"});
  EXPECT_EQ(report.outcome, RunOutcome::Failed);
  EXPECT_EQ(office_.Count("write Sheet1 1,1"), 0);
  EXPECT_EQ(office_.Count("save /w/a.xlsx"), 0);
  EXPECT_EQ(Text("/w/a.xlsx", 1, 1), "1");
}

TEST_F(Run, ASavedWorkbooksFolderIsSyncedWhileTheNextIsConvertedAndBeforeTheReport) {
  testing::ScratchFolder folder;
  const std::string first = folder / "first.xlsx", second = folder / "second.xlsx";
  TwoBooksSavedForReal(first, second);  // the syncs of their folder are held back
  std::mutex mutex;
  std::condition_variable changed;
  bool release = false;
  int renamed = 0, synced = 0;
  const HookReset hook_reset;
  SetFileStepHook([&](FileStep step, const std::string& path) {
    std::unique_lock lock(mutex);
    if (step == FileStep::kRenamed && (path == first || path == second)) {
      ++renamed;
      changed.notify_all();
    }
    if (step != FileStep::kFolderSynced) return;
    changed.wait(lock, [&] { return release; });
    ++synced;
  });
  const auto let_go = [&] {
    {
      const std::lock_guard lock(mutex);
      release = true;
    }
    changed.notify_all();
  };
  auto run = std::async(std::launch::async, [&] { return Execute({first, second}); });
  // Whatever fails below, the run is let go before it is waited for.
  const std::unique_ptr<void, std::function<void(void*)>> let_go_at_exit(&mutex,
                                                                         [&](void*) { let_go(); });
  {
    std::unique_lock lock(mutex);
    // The second workbook is converted and saved while the first one's folder waits.
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(30), [&] { return renamed == 2; }));
  }
  EXPECT_EQ(testing::ReadBytes(first), "new");
  EXPECT_EQ(testing::ReadBytes(second), "new");
  // Not reported while a folder is still to be synced.
  EXPECT_EQ(run.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  let_go();
  const RunReport report = run.get();
  EXPECT_EQ(report.outcome, RunOutcome::Done);
  EXPECT_EQ(report.workbooks_converted, 2);
  EXPECT_EQ(synced, 2);
  EXPECT_EQ(BackgroundSyncs::Installed(), nullptr);
}

TEST_F(Run, AWorkbookWhoseFolderCannotBeSyncedIsNotReportedConverted) {
  testing::ScratchFolder folder;
  const std::string first = folder / "first.xlsx", second = folder / "second.xlsx";
  TwoBooksSavedForReal(first, second);
  std::mutex mutex;
  std::condition_variable changed;
  bool second_renamed = false;
  const HookReset hook_reset;
  // The first workbook's folder fails to sync only once the second one is in place: the failure
  // comes in while the run has gone on.
  SetFileStepHook([&](FileStep step, const std::string& path) {
    std::unique_lock lock(mutex);
    if (step == FileStep::kRenamed && path == second) {
      second_renamed = true;
      changed.notify_all();
    }
    if (step != FileStep::kFolderSynced || path != first) return;
    changed.wait_for(lock, std::chrono::seconds(30), [&] { return second_renamed; });
    throw std::runtime_error("the disk is gone");
  });
  const RunReport report = Execute({first, second});
  EXPECT_EQ(report.outcome, RunOutcome::Failed);
  EXPECT_EQ(OutcomesOf(report), (Outcomes{WorkbookOutcome::Failed, WorkbookOutcome::Converted}));
  EXPECT_EQ(report.workbooks_converted, 1);
  EXPECT_EQ(report.failed_workbook, first);
  EXPECT_NE(report.workbooks[0].reason.find("its new file is in place, but its folder could not "
                                            "be synced to disk"),
            std::string::npos)
      << report.workbooks[0].reason;
  EXPECT_EQ(report.summary.rfind(first + " may not keep its conversion: ", 0), 0u)
      << report.summary;
  EXPECT_EQ(testing::ReadBytes(first), "new");
}

TEST_F(Run, ABackupSyncedWhileItsWorkbookIsConvertedIsInPlaceBeforeTheSave) {
  testing::ScratchFolder folder;
  std::vector<std::string> paths;
  for (const char* name : {"a.xlsx", "b.xlsx", "c.xlsx"}) {
    paths.push_back(folder / name);
    testing::WriteBytes(paths.back(), std::string("bytes of ") + name);
    AddBook(paths.back(), {{"1"}, {"2"}});
  }
  options_.backup = true;
  std::vector<std::string> seen;
  office_.on_save = [&](const std::string& path) {
    const std::string stem = fs::path(path).stem().string() + " Backup ";
    for (const std::string& name : folder.Names()) {
      if (name.rfind(stem, 0) == 0) seen.push_back(testing::ReadBytes(folder / name));
    }
  };
  const RunReport report = Execute(paths);
  EXPECT_EQ(report.outcome, RunOutcome::Done);
  EXPECT_EQ(seen,
            (std::vector<std::string>{"bytes of a.xlsx", "bytes of b.xlsx", "bytes of c.xlsx"}));
  EXPECT_EQ(folder.Names().size(), 6u) << "a temporary file was left behind";
}

TEST_F(Run, AWorkbookSkippedAtTheBlockPickerGetsNoBackup) {
  const fs::path folder =
      fs::path(::testing::TempDir()) / ("run_test.skip." + std::to_string(::getpid()));
  fs::create_directories(folder);
  const std::string skipped = (folder / "skipped.xlsx").string();
  const std::string picked = (folder / "picked.xlsx").string();
  std::ofstream(skipped) << "skipped bytes";
  std::ofstream(picked) << "picked bytes";
  AddBook(skipped, {{"1"}});
  AddBook(picked, {{"2"}});
  prompts_.pick_block = [&](Workbook& workbook) -> std::optional<Block> {
    if (workbook.Path() == skipped) return std::nullopt;
    return Block{static_cast<FakeWorkbook&>(workbook).Sheet("Sheet1"), 1, 1, 1, 1};
  };
  options_.backup = true;

  const RunReport report = Execute({skipped, picked}, Kind::Number, Scope::Block);
  EXPECT_EQ(OutcomesOf(report), (Outcomes{WorkbookOutcome::Skipped, WorkbookOutcome::Converted}));
  std::vector<std::string> backups;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.find(" Backup ") != std::string::npos) backups.push_back(name.substr(0, 7));
  }
  EXPECT_EQ(backups, std::vector<std::string>{"picked "});
  fs::remove_all(folder);
}

class LockedRun : public Run {
 protected:
  void SetUp() override {
    Run::SetUp();
    book_ = folder_ / "book.xlsx";
    taken_ = folder_ / "taken.xlsx";
    testing::WriteBytes(book_, "PK");
    testing::WriteBytes(taken_, "PK");
    testing::WriteBytes(folder_ / ".~lock.taken.xlsx#", kTheirLock);
    AddBook(book_, {{"1"}});
    AddBook(taken_, {{"2"}});
    on_application_ = [this](const std::string& path) {
      locked_.push_back(
          fs::exists(folder_ / (".~lock." + fs::path(path).filename().string() + "#")));
    };
  }
  static constexpr const char* kTheirLock = "Ann,ann,desk,06.12.2026 08:00,file:///home/ann;\n";
  testing::ScratchFolder folder_;
  std::string book_, taken_;
  std::vector<bool> locked_;
};

TEST_F(LockedRun, EachWorkbookIsLockedWhileConvertedAndAnotherProgramsLockStopsIt) {
  const RunReport report = Execute({book_, taken_});
  EXPECT_EQ(report.outcome, RunOutcome::Failed);
  EXPECT_EQ(report.failed_workbook, taken_);
  EXPECT_NE(report.failure.find("it is open in another program (Ann on desk"), std::string::npos)
      << report.failure;
  EXPECT_EQ(locked_, std::vector<bool>{true});  // the second was never opened
  EXPECT_EQ(office_.Count("open " + taken_), 0);
  EXPECT_EQ(Text(book_, 1, 1), "One");
  EXPECT_EQ(testing::ReadBytes(folder_ / ".~lock.taken.xlsx#"), kTheirLock);
  EXPECT_EQ(folder_.Names(),
            (std::vector<std::string>{".~lock.taken.xlsx#", "book.xlsx", "taken.xlsx"}));
}

TEST_F(LockedRun, HavingSaidToGoOnTheUserIsNotStoppedByAnotherProgramsLock) {
  in_use_ = true;
  prompts_.yes_no = {true};
  const RunReport report = Execute({taken_});
  EXPECT_EQ(report.outcome, RunOutcome::Done) << report.failure;
  EXPECT_EQ(Text(taken_, 1, 1), "Two");
  EXPECT_EQ(testing::ReadBytes(folder_ / ".~lock.taken.xlsx#"), kTheirLock);
}

TEST_F(LockedRun, ADryRunLocksNothing) {
  options_.dry_run = true;
  EXPECT_EQ(Execute({book_}).outcome, RunOutcome::Done);
  EXPECT_EQ(locked_, std::vector<bool>{false});
}

}  // namespace
}  // namespace quillory::workbook
