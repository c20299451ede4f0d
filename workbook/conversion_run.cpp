#include "workbook/conversion_run.h"

#include <algorithm>
#include <exception>
#include <new>
#include <optional>
#include <string_view>

#include "engine/letters.h"
#include "engine/words.h"
#include "workbook/backup_copy.h"
#include "workbook/cell_walks.h"
#include "workbook/file_replace.h"
#include "workbook/regular_file.h"
#include "workbook/text_escape.h"
#include "workbook/workbook_lock.h"

namespace quillory::workbook {
namespace {

constexpr std::string_view kNoFiles =
    "No files added.\n\nAdd workbooks to the list first (\"Add Excel Files\", \"Add All Excel "
    "Files In Folder\", or drop files on the list), then press Start.";
constexpr std::string_view kDone = "Done.";
constexpr std::string_view kInUse =
    "A spreadsheet program may have one of the workbooks open. It is recommended that you close "
    "it there first.\r\n\r\nWould you like to proceed anyway?";
constexpr std::string_view kNotStarted = "The run was not started; nothing was converted.";
constexpr std::string_view kLettersQuestion = "What number corresponds with A?";
constexpr std::string_view kLettersRefused =
    "Please give a number from -180 to 66.\nWhat number corresponds with A?";
constexpr std::string_view kLettersUnanswered =
    "The run was not started: no number was given for A, so nothing was converted.";
constexpr std::string_view kNoBlock = "no block of cells was chosen";

// Ends the application instance whatever happens; a workbook still open is closed unsaved.
class InstanceGuard {
 public:
  explicit InstanceGuard(std::unique_ptr<Application> application)
      : application_(std::move(application)) {}
  ~InstanceGuard() { Release(); }
  InstanceGuard(const InstanceGuard&) = delete;
  InstanceGuard& operator=(const InstanceGuard&) = delete;

  Application& application() { return *application_; }
  void Hold(std::unique_ptr<Workbook> workbook) { workbook_ = std::move(workbook); }
  Workbook& workbook() { return *workbook_; }

  // Saved workbooks are dropped here; anything else is closed without saving first.
  void Finish() {
    workbook_.reset();
    Release();
  }

 private:
  void Release() {
    try {
      if (workbook_) workbook_->Close();
    } catch (...) {
      // Nothing more can be done for a workbook that will not close; the instance still ends.
    }
    workbook_.reset();
    try {
      if (application_) application_->Quit();
    } catch (...) {
    }
    application_.reset();
  }

  std::unique_ptr<Application> application_;
  std::unique_ptr<Workbook> workbook_;
};

// Workbooks whose new file is in place but whose folder could not be synced are not reported
// converted: the rename may not last.
void ReportUnsynced(const std::vector<std::string>& paths,
                    const std::vector<BackgroundSyncs::Unsynced>& unsynced, int stopped,
                    RunReport& report) {
  if (unsynced.empty()) return;
  std::string& summary = report.summary;
  for (const auto& [workbook, reason] : unsynced) {
    const auto at = std::find(paths.begin(), paths.end(), workbook);
    if (at != paths.end()) {
      WorkbookResult& result = report.workbooks[static_cast<std::size_t>(at - paths.begin())];
      if (result.outcome == WorkbookOutcome::Converted) --report.workbooks_converted;
      result = {WorkbookOutcome::Failed, reason};
    }
    const std::string line = workbook + " may not keep its conversion: " + reason + ".";
    if (report.outcome == RunOutcome::Done) {
      report.outcome = RunOutcome::Failed;
      report.failed_workbook = workbook;
      report.failure = reason;
      summary = line;
    } else {
      summary += "\n" + line;
    }
  }
  if (stopped > 0) {
    summary += "\nThe workbooks from " + paths[static_cast<std::size_t>(stopped - 1)] +
               " on were not touched.";
  }
}

// The backup copy of the workbook being converted, synced meanwhile. Put in place before the
// workbook is saved; a workbook that ends another way keeps its copy too, if it can be made.
class PendingBackup {
 public:
  explicit PendingBackup(std::unique_ptr<StartedBackup> copy) : copy_(std::move(copy)) {}
  ~PendingBackup() {
    try {
      Finish();
    } catch (...) {
      // Nothing was written into the workbook, and it fails or was left for another reason.
    }
  }
  PendingBackup(const PendingBackup&) = delete;
  PendingBackup& operator=(const PendingBackup&) = delete;

  // Throws WorkbookError when the copy cannot be made.
  void Finish() {
    if (!copy_) return;
    const std::unique_ptr<StartedBackup> copy = std::move(copy_);
    copy->Finish();
  }

 private:
  std::unique_ptr<StartedBackup> copy_;
};

std::string DescribeMessages(const RunReport& report) {
  std::string details;
  for (const CellMessage& message : report.messages) {
    if (!details.empty()) details += '\n';
    // One line each: a cell's tabs and line breaks are shown escaped, as the cell listings do.
    details += EscapeText(message.workbook + ", " + message.sheet + "!" + message.cell + ": " +
                          message.message);
  }
  if (report.messages_left_out > 0) {
    details +=
        "\n... and " + std::to_string(report.messages_left_out) + " more cells left as they were";
  }
  return details;
}

// Why the current workbook failed, in words the user can act on.
std::string DescribeFailure(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const WorkbookError& error) {
    return error.reason();
  } catch (const std::bad_alloc&) {
    return "there is not enough memory";
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "an unexpected error occurred";
  }
}

// A check that cannot be made counts as nothing in use.
bool InUse(const RunServices& services, const std::vector<std::string>& paths) {
  try {
    return services.spreadsheet_in_use && services.spreadsheet_in_use(paths);
  } catch (...) {
    return false;
  }
}

}  // namespace

void Prompts::Report(const RunReport& report, std::string_view details) {
  Message(report.summary, details);
}

int RunReport::Count(WorkbookOutcome outcome) const {
  int count = 0;
  for (const WorkbookResult& result : workbooks) count += result.outcome == outcome ? 1 : 0;
  return count;
}

ConversionRun::ConversionRun(RunOptions options, WordSource& words, Prompts& prompts,
                             RunServices services)
    : options_(std::move(options)),
      words_(words),
      prompts_(prompts),
      services_(std::move(services)) {}

RunReport ConversionRun::Execute() {
  RunReport report;
  if (options_.paths.empty()) {
    prompts_.Message(kNoFiles);
    report.outcome = RunOutcome::NoFiles;
    return report;
  }
  BusyGuard busy(prompts_);
  const int count = static_cast<int>(options_.paths.size());
  std::string current;  // the workbook being converted, "" before the first
  int index = 0;
  std::string& summary = report.summary;
  summary = kDone;

  // Ends the run at the current workbook, which stays as it was, as do those after it.
  const auto end_early = [&](RunOutcome outcome, WorkbookOutcome workbook, std::string reason) {
    report.outcome = outcome;
    if (current.empty()) {
      summary = "The conversion could not start: " + reason;
      report.failure = std::move(reason);
      return;
    }
    report.workbooks[static_cast<std::size_t>(index - 1)] = {workbook, reason};
    report.failed_workbook = current;
    if (outcome == RunOutcome::Cancelled) {
      summary = "The run was cancelled: " + current + " was not converted; its file is untouched.";
    } else {
      summary = current + " was not converted: " + reason;
      report.failure = std::move(reason);
    }
    if (report.workbooks_converted > 0 && !options_.dry_run) {
      summary += "\nThe workbooks before it were converted and saved.";
    }
    if (index < count) summary += "\nThe workbooks after it were not touched.";
  };

  std::optional<BackgroundSyncs> syncs;
  int stopped = 0;  // the first workbook not begun, when a folder that could not be synced stops
  try {
    // Nothing is touched before both questions have their answers.
    const bool in_use = InUse(services_, options_.paths);
    if (in_use && !prompts_.AskYesNo(kInUse)) {
      report.outcome = RunOutcome::Declined;
      prompts_.Message(kNotStarted);
      return report;
    }
    const std::optional<std::int16_t> letters_base = LettersBase();
    if (!letters_base) {
      report.outcome = RunOutcome::Unanswered;
      prompts_.Message(kLettersUnanswered);
      return report;
    }
    // Having said to proceed anyway, the user is not stopped again by another program's lock file.
    const OtherLocks other_locks = in_use ? OtherLocks::kIgnore : OtherLocks::kRefuse;
    // Backups are synced while their workbook is converted, and a saved workbook's folder while
    // the next one is; all of it is done before the run reports.
    if (!options_.dry_run) syncs.emplace();

    report.workbooks.resize(static_cast<std::size_t>(count));
    for (index = 1; index <= count; ++index) {
      // A saved workbook that may not last stops the run, as a failed one does.
      if (syncs && syncs->AnyUnsynced()) {
        stopped = index;
        break;
      }
      current = options_.paths[static_cast<std::size_t>(index - 1)];
      WorkbookResult& result = report.workbooks[static_cast<std::size_t>(index - 1)];
      if (Cancelled()) throw RunCancelled();
      prompts_.Progress({index, count, current, 0, 0});
      // A named pipe or a device would block the backup copy or the opening for ever.
      if (const std::string why = WhyNotARegularFile(current); !why.empty()) {
        throw WorkbookError(current, why);
      }
      // Held until the workbook is saved or closed (it outlives the instance below).
      const std::unique_ptr<WorkbookLock> lock =
          options_.dry_run ? nullptr : WorkbookLock::Acquire(current, other_locks);

      std::unique_ptr<Application> made =
          services_.open_application ? services_.open_application(current) : nullptr;
      if (!made) throw WorkbookError(current, "no spreadsheet application can open this file");
      InstanceGuard instance(std::move(made));
      instance.Hold(instance.application().Open(current));

      std::optional<Block> block;
      if (options_.scope == Scope::Block) {
        instance.application().SetVisible(true);
        block = prompts_.PickBlock(instance.workbook());
        if (!block) {
          // Closed unsaved by the guard; the run goes on with the next workbook.
          result = {WorkbookOutcome::Skipped, std::string(kNoBlock)};
          summary += "\n" + current + " was skipped: " + result.reason + ".";
          continue;
        }
      }
      // Only a workbook that opens and is to be converted gets a backup: the file as it was,
      // before anything is written. It is synced while the cells are converted, and put in
      // place before the save.
      PendingBackup backup(options_.backup && !options_.dry_run ? StartBackup(current) : nullptr);

      CellWalk walk(options_.kind, *letters_base, words_, current);
      walk.max_messages = kMaxCellMessages - report.messages.size();
      walk.cancel = services_.cancel;
      if (options_.dry_run) walk.on_change = services_.on_cell;
      walk.on_progress = [&](std::int64_t cells, std::int64_t cells_total) {
        prompts_.Progress({index, count, current, cells, cells_total});
      };

      switch (options_.scope) {
        case Scope::Workbook:
          ConvertWorkbook(instance.workbook(), walk);
          break;
        case Scope::ActiveSheet:
          ConvertActiveSheet(instance.workbook(), walk);
          break;
        case Scope::Block:
          ConvertBlock(*block, walk);
          break;
      }

      // A cancel that came after the last cell still leaves the file as it was.
      if (Cancelled()) throw RunCancelled();
      // A workbook in which no cell was written is not saved: the file keeps its bytes and time.
      // One that cannot be saved is refused here, by a dry run as by the run.
      if (walk.cells_converted > 0) {
        if (std::string refusal = instance.workbook().SaveRefusal(); !refusal.empty()) {
          throw WorkbookError(current, std::move(refusal));
        }
        if (options_.dry_run) instance.workbook().CheckSave();
      }
      const bool saving = !options_.dry_run && walk.cells_converted > 0;
      // What the save can do before the workbook is replaced is done while the backup is
      // synced; the backup is in place before the workbook is replaced.
      if (saving) instance.workbook().PrepareSave();
      backup.Finish();
      if (!saving) {
        instance.workbook().Close();
      } else {
        instance.workbook().Save();
      }
      instance.Finish();

      result.outcome = WorkbookOutcome::Converted;
      ++report.workbooks_converted;
      report.cells_converted += walk.cells_converted;
      report.messages.insert(report.messages.end(), std::make_move_iterator(walk.messages.begin()),
                             std::make_move_iterator(walk.messages.end()));
      report.messages_left_out += walk.messages_left_out;
    }
  } catch (const RunCancelled&) {
    end_early(RunOutcome::Cancelled, WorkbookOutcome::Cancelled, "the run was cancelled");
  } catch (...) {
    end_early(RunOutcome::Failed, WorkbookOutcome::Failed,
              DescribeFailure(std::current_exception()));
  }

  if (syncs) {
    syncs->Finish();
    ReportUnsynced(options_.paths, syncs->TakeUnsynced(), stopped, report);
  }
  prompts_.Report(report, DescribeMessages(report));
  return report;
}

std::unique_ptr<StartedBackup> ConversionRun::StartBackup(const std::string& path) const {
  if (!services_.start_backup) {
    throw WorkbookError(path,
                        "no backup copy could be made: this program has no way of making one");
  }
  return services_.start_backup(path,
                                services_.now ? services_.now() : std::chrono::system_clock::now());
}

bool ConversionRun::Cancelled() const {
  return services_.cancel != nullptr && services_.cancel->load(std::memory_order_relaxed);
}

std::optional<std::int16_t> ConversionRun::LettersBase() {
  if (options_.kind != Kind::Letters) return std::int16_t{0};
  if (options_.letters_base) return options_.letters_base;
  // Asked until the answer is a number whose letters stay within the character set, or until
  // the user gives none.
  std::string_view prompt = kLettersQuestion;
  for (;;) {
    const std::optional<std::string> answer = prompts_.AskText(prompt, "1");
    if (!answer) return std::nullopt;
    const std::optional<std::int16_t> base =
        IsNumericAnswer(*answer) ? LettersBaseFromAnswer(*answer) : std::nullopt;
    if (base && LettersBaseFits(*base)) return base;
    prompt = kLettersRefused;
  }
}

}  // namespace quillory::workbook
