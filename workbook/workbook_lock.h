#pragma once

#include <memory>
#include <string>
#include <vector>

namespace quillory::workbook {

// What to do about a lock file another program left beside a workbook.
enum class OtherLocks {
  kRefuse,  // the workbook fails, saying which program has it open
  kIgnore,  // the user chose to go on: it is converted without a lock file of ours
};

// Held while a workbook is converted (POSIX). A lock file beside it, ".~lock.NAME#" in the layout
// LibreOffice writes and reads, tells another run of this program and a LibreOffice the user opens
// it in that it is being changed. The lock file is itself locked (flock) for as long as it is held:
// the kernel lets go when the holder ends, so one left by a run that was killed is told from a live
// one and taken over.
class WorkbookLock {
 public:
  // Locks the workbook at `path` (through a symbolic link, the file it points to). Nothing when
  // there is no such regular file: opening it will say why. Throws WorkbookError naming `path`
  // when another run of this program holds it, when another program's lock or owner file is
  // beside it (unless `other_locks` says to ignore it), when it has more than one name, or when
  // the lock file cannot be made.
  static std::unique_ptr<WorkbookLock> Acquire(const std::string& path, OtherLocks other_locks);

  // Removes the lock file.
  ~WorkbookLock();
  WorkbookLock(const WorkbookLock&) = delete;
  WorkbookLock& operator=(const WorkbookLock&) = delete;

  const std::string& LockFile() const { return lock_path_; }

 private:
  WorkbookLock(int folder, std::string lock_name, std::string lock_path, int fd);

  int folder_;
  std::string lock_name_;
  std::string lock_path_;
  int fd_;
  int leftover_ = 0;
};

// The fields of a lock file's first entry: name, system user (this program's name in its own),
// host, time, and a fifth that says where the holder keeps its settings ("quillory:PID" for this
// program). Backslash escapes are undone.
std::vector<std::string> LockFileFields(const std::string& content);

}  // namespace quillory::workbook
