#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "workbook/backup_copy.h"

// Backups the POSIX way: the copy is written under a temporary name beside the workbook, synced
// (on the BackgroundSyncs installed on this thread, if any) and only then renamed, so a copy under
// a backup's name is always whole; it keeps the original's owner and its mode without execute
// bits.
namespace quillory::posix {

// The run's workbook::BackupMaker. The source is opened without waiting on a pipe or device put
// in the workbook's place; anything but a regular file is refused.
std::unique_ptr<workbook::StartedBackup> StartBackupCopy(const std::string& path,
                                                         std::chrono::system_clock::time_point now);

// StartBackupCopy() and Finish() at once: returns the backup's path.
std::string MakeBackupCopy(const std::string& path, std::chrono::system_clock::time_point now);

}  // namespace quillory::posix
