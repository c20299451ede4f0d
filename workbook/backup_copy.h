#pragma once

#include <chrono>
#include <ctime>
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

// Copies the file at `path` byte for byte to a new file beside it named as above, never replacing
// an existing file. The copy is written under a temporary name, synced and only then renamed, so
// a copy under a backup's name is always whole; it keeps the original's owner and its mode without
// execute bits. Returns the backup's path; throws WorkbookError when the copy cannot be made (no
// partial copy is left behind).
std::string MakeBackupCopy(const std::string& path, std::chrono::system_clock::time_point now);

}  // namespace quillory::workbook
