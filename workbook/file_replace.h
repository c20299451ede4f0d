#pragma once

// Replacing a workbook's file safely (POSIX): the one way both backends and the backup copy put a
// new file in place. The new content goes to a file only this process can have made, in the same
// folder; it gets the original's owner and mode through its descriptor, is synced, and is renamed
// over the original only when the original is still the file that was opened. The path is never
// touched after the rename, so a link swapped in at that moment gains nothing.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace quillory::workbook {

// What a file was when it was opened. Another program's save changes at least one of device,
// inode, size and modification time.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modified_seconds = 0;
  std::int64_t modified_nanoseconds = 0;
  std::uint32_t mode = 0;  // type and permission bits
  std::uint32_t owner = 0;
  std::uint32_t group = 0;
  std::uint64_t links = 0;

  bool SameContentAs(const FileIdentity& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modified_seconds == other.modified_seconds &&
           modified_nanoseconds == other.modified_nanoseconds;
  }
};

// The identity of an open file; nothing when it cannot be read.
std::optional<FileIdentity> IdentifyOpenFile(int fd);

// The reason given for a workbook that has more than one name: both backends write a new file, so
// the other names would keep the old content.
std::string HardLinkReason(std::uint64_t links);

// The steps of putting a new file in place, in order. Tests may fail or end the process at each.
enum class FileStep {
  kStored,        // LibreOffice has stored the workbook in its private folder (before copying)
  kWritten,       // the new content is complete in the temporary file
  kBeforeSync,    // owner and mode are set; the data is not yet synced
  kBeforeRename,  // synced and checked; the original is still in place
  kRenamed,       // the new file is in place; the folder is not yet synced
};

// Called at each step with the file being made; what it throws fails that step. For tests only:
// nothing is called when none is set.
using FileStepHook = std::function<void(FileStep step, const std::string& path)>;
void SetFileStepHook(FileStepHook hook);
void RunFileStepHook(FileStep step, const std::string& path);

// The new content of a file, written through fd() and put in place by Commit().
class FileReplacement {
 public:
  // Starts a new, empty file beside `target` (the file itself, links resolved), which was `opened`
  // when the workbook was read. `name` is the workbook as the user knows it; every failure is a
  // WorkbookError naming it, its reason starting with `failing` ("cannot save"). Throws when the
  // new file cannot be made.
  FileReplacement(const std::string& target, const FileIdentity& opened, const std::string& name,
                  const std::string& failing = "cannot save");
  // Removes the new file unless it was put in place.
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  int fd() const { return fd_; }
  const std::string& path() const { return temporary_; }  // the new file until Commit()

  // Gives the new file the original's owner and mode, syncs it, checks that the target is still
  // the file that was opened (one name only), renames it over the target and syncs the folder.
  // Throws WorkbookError naming the workbook when any step fails before the rename; the original
  // is then as it was and the new file is gone.
  void Commit();

  // Like Commit(), for a new file that must replace nothing (a backup copy): it gets the
  // original's owner and its mode without execute and set-id bits, is synced, and is put under
  // the first of names(1), names(2), ... up to names(most) (paths in the same folder) that does
  // not exist yet. The folder is not synced: the save that follows syncs it. Returns the name.
  std::string CommitAsNew(const std::function<std::string(int)>& names, int most);

  // After Commit(): the descriptor of the file now in place, handed to the caller.
  int ReleaseDescriptor();

 private:
  void Discard();
  void Prepare(std::uint32_t mode);  // owner, mode, sync
  [[noreturn]] void Fail(const std::string& reason);

  std::string name_;
  std::string failing_;
  std::string target_;
  std::string target_name_;  // the last part of target_
  std::string temporary_;
  std::string temporary_name_;
  FileIdentity opened_;
  int folder_ = -1;
  int fd_ = -1;
  bool committed_ = false;
  int leftover_ = 0;
};

// Copies what is left to read of `from` to `to`; 0, or the errno of the failure.
int CopyFileContent(int from, int to);

// Files that would be left behind if the program ended now: lock files and new files not yet in
// place. RemoveLeftovers() removes them (each only if it is still the file that was made); it is
// meant for a program ended by a signal.
int RegisterLeftover(const std::string& path, int fd);
void UnregisterLeftover(int token);
void RemoveLeftovers();

}  // namespace quillory::workbook
