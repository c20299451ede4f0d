#pragma once

#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

namespace quillory::workbook {

// "3 07 PM Saturday, Dec 5 2026": the hour on the 12-hour clock, the minutes, the morning or
// afternoon designator, the full weekday, the abbreviated month, the day and the year. Names come
// from the C library's LC_TIME; in the "C" locale they are the English ones.
std::string BackupStamp(const std::tm& local_time);

// The name a backup copy of `path` made at `local_time` gets, before any collision is avoided:
// "/data/Sales.xlsx" -> "/data/Sales Backup 3 07 PM Saturday, Dec 5 2026.xlsx". The extension is
// looked for in the file name only; a name without a dot gets none. `copy` 2, 3, ... adds " (2)",
// " (3)", ... before the extension.
std::string BackupPath(const std::string& path, const std::tm& local_time, int copy = 1);

// A backup under way: written and being synced under a temporary name. Finish() waits for the
// sync and puts the copy under its name (BackupPath, never over an existing file), returning it;
// it throws WorkbookError when the copy cannot be placed. A copy dropped unfinished is removed.
class StartedBackup {
 public:
  virtual ~StartedBackup() = default;
  virtual std::string Finish() = 0;
};

// Starts a byte-for-byte copy of the file at `path` beside it, as it is at `now`; throws
// WorkbookError when it cannot be made, leaving nothing behind. The run is given the system's
// way of making one (platform/posix).
using BackupMaker = std::function<std::unique_ptr<StartedBackup>(
    const std::string& path, std::chrono::system_clock::time_point now)>;

}  // namespace quillory::workbook
