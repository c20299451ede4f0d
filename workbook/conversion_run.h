#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "workbook/backup_copy.h"
#include "workbook/prompts.h"
#include "workbook/spreadsheet.h"

namespace quillory {
class WordSource;
}

namespace quillory::workbook {

enum class Kind { Number, Currency, Letters };
enum class Scope { Workbook, ActiveSheet, Block };

// What one press of Start converts; fixed for the whole run.
struct RunOptions {
  std::vector<std::string> paths;
  Kind kind = Kind::Number;
  Scope scope = Scope::Workbook;
  bool backup = true;
  // Letters mode: the base when already known (command line); otherwise the run asks.
  std::optional<std::int16_t> letters_base;
  // The cells are written into the open workbook as in a real run, with the same refusals, but
  // nothing is saved and no backup is made; every cell written is reported to `on_cell`.
  bool dry_run = false;
};

// A cell left as it was, with the reason the user is told.
struct CellMessage {
  std::string workbook;
  std::string sheet;
  std::string cell;  // "B7"
  std::string message;
  std::string text;    // the cell's displayed text
  std::string reason;  // the message without the text: "does not appear to be a number"
};

// One cell a dry run would change.
struct CellChange {
  std::string workbook;
  std::string sheet;
  std::string cell;
  std::string old_text;
  std::string new_text;
};

enum class RunOutcome {
  Done,        // every workbook converted and saved, or skipped by the user
  NoFiles,     // the list was empty
  Declined,    // the user stopped at the in-use question; nothing was touched
  Unanswered,  // the letters question was left without an answer; nothing was touched
  Failed,      // a workbook failed; those before it are saved, it and those after it untouched
  Cancelled,   // the user cancelled; as Failed, the current workbook closed without saving
};

// What became of one listed workbook.
enum class WorkbookOutcome {
  NotReached,  // the run ended before it
  Converted,   // converted and saved
  Failed,      // not converted; its file is as it was
  Cancelled,   // the run was cancelled while it was converted; its file is as it was
  Skipped,     // the user chose no block of cells for it; its file is as it was
};

struct WorkbookResult {
  WorkbookOutcome outcome = WorkbookOutcome::NotReached;
  std::string reason;  // why it failed or was skipped
};

struct RunReport {
  RunOutcome outcome = RunOutcome::Done;
  // How the run ended, as the user is told: "Done.", or which workbook failed and what that means
  // for the others.
  std::string summary;
  // One per listed workbook, in list order (empty when the run never began).
  std::vector<WorkbookResult> workbooks;
  int workbooks_converted = 0;
  std::int64_t cells_converted = 0;
  std::vector<CellMessage> messages;
  std::string failed_workbook;  // the workbook that failed
  std::string failure;          // why, as the user is told
  // Cell messages beyond those kept in `messages`, only counted.
  std::int64_t messages_left_out = 0;

  int Count(WorkbookOutcome outcome) const;
  // Cells of converted workbooks that were left as they were, listed or only counted.
  std::int64_t CellsLeft() const {
    return static_cast<std::int64_t>(messages.size()) + messages_left_out;
  }
};

// Everything the run needs from outside, so tests can supply their own.
struct RunServices {
  ApplicationFactory open_application;
  // True when another program may have one of the workbooks open (a running office instance, an
  // owner or lock file beside a listed workbook).
  std::function<bool(const std::vector<std::string>& paths)> spreadsheet_in_use;
  std::function<std::chrono::system_clock::time_point()> now;
  std::function<void(const CellChange&)> on_cell;  // dry runs
  // Once it reads true, the run stops before the next cell: the workbook being converted is
  // closed without saving and the rest are not touched.
  const std::atomic<bool>* cancel = nullptr;
  // Makes the backups the options ask for; without it, a workbook that is to be backed up fails
  // before anything is written.
  BackupMaker start_backup = {};
};

// One conversion run over a list of workbooks. Independent of any window.
class ConversionRun {
 public:
  ConversionRun(RunOptions options, WordSource& words, Prompts& prompts, RunServices services);
  RunReport Execute();

 private:
  bool Cancelled() const;
  std::unique_ptr<StartedBackup> StartBackup(const std::string& path) const;
  // The letters base: 0 for the other kinds, given, or asked; nothing when the user gives none.
  std::optional<std::int16_t> LettersBase();

  RunOptions options_;
  WordSource& words_;
  Prompts& prompts_;
  RunServices services_;
};

}  // namespace quillory::workbook
