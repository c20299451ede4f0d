#pragma once

// Replacing a workbook's file safely (POSIX): the one way both backends and the backup copy put a
// new file in place. The new content goes to a file only this process can have made, in the same
// folder; it gets the original's owner and mode through its descriptor, is synced, and is renamed
// over the original only when the original is still the file that was opened. The path is never
// touched after the rename, so a link swapped in at that moment gains nothing.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "workbook/spreadsheet.h"

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
// True when `name` in the folder open as `folder` is the file open as `fd` (a symbolic link to
// it does not count).
bool SameInode(int folder, const std::string& name, int fd);
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
  kFolderSynced,  // the folder is synced: the rename lasts (perhaps on another thread)
};

// Called at each step with the file being made; what it throws fails that step. For tests only:
// nothing is called when none is set.
using FileStepHook = std::function<void(FileStep step, const std::string& path)>;
void SetFileStepHook(FileStepHook hook);
void RunFileStepHook(FileStep step, const std::string& path);

// Syncs left to threads of their own, so that the run goes on while the disk catches up, and so
// that several syncs are under way at once (a disk finishes those together). While one is
// installed on a thread, a replacement committed on that thread hands it the sync of its folder,
// which only makes the rename last, and returns; a new file whose sync was started early
// (SyncMeanwhile, SyncAsNew) is synced there while the caller works. Finish() returns once every
// sync handed over is done: no workbook may be reported saved before.
class BackgroundSyncs {
 public:
  BackgroundSyncs();   // installed on this thread, over any installed before
  ~BackgroundSyncs();  // on the same thread: finishes, then the one installed before is back
  BackgroundSyncs(const BackgroundSyncs&) = delete;
  BackgroundSyncs& operator=(const BackgroundSyncs&) = delete;

  void Finish();

  // The one installed on this thread, if any.
  static BackgroundSyncs* Installed();
  // Syncs `fd`, a descriptor it takes over and closes, then calls `done` with 0 or the errno of
  // the failed sync, on one of its threads. A folder handed over several times before a thread
  // takes it is synced once. False when no thread can be had: the caller keeps `fd` and syncs it.
  bool Sync(int fd, bool folder, std::function<void(int error)> done);

  // A workbook whose new file is in place but whose folder could not be synced, so that the
  // rename may not last: `workbook` as the user knows it, and why.
  struct Unsynced {
    std::string workbook;
    std::string reason;
  };
  void NoteUnsynced(std::string workbook, std::string reason);
  // Those noted so far, in order; they are noted once.
  std::vector<Unsynced> TakeUnsynced();
  bool AnyUnsynced();

 private:
  static constexpr std::size_t kMostThreads = 4;
  struct Job {
    int fd = -1;
    bool folder = false;
    std::uint64_t device = 0;  // of a folder
    std::uint64_t inode = 0;
    std::function<void(int error)> done;
  };
  void Work();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Job> pending_;
  std::size_t idle_ = 0;    // threads waiting for a job
  std::size_t active_ = 0;  // jobs being done
  bool stopping_ = false;
  std::vector<std::thread> threads_;  // started as jobs come
  std::vector<Unsynced> unsynced_;
  BackgroundSyncs* previous_;
};

// The reason given for a workbook whose new file is in place but whose folder sync failed.
std::string FolderNotSyncedReason(int error);

// Thrown by FileReplacement::Commit() after the rename when the folder could not be synced.
class FolderNotSynced : public WorkbookError {
 public:
  using WorkbookError::WorkbookError;
};

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
  // the file that was opened (one name only), renames it over the target and syncs the folder
  // (or hands that to the BackgroundSyncs installed on this thread, which notes a failure of it).
  // Throws WorkbookError naming the workbook when any step fails before the rename; the original
  // is then as it was and the new file is gone. Without BackgroundSyncs, a folder that cannot be
  // synced throws FolderNotSynced: the new file is in place.
  void Commit();

  // Like Commit(), for a new file that must replace nothing (a backup copy): it gets the
  // original's owner and its mode without execute and set-id bits, is synced, and is put under
  // the first of names(1), names(2), ... up to names(most) (paths in the same folder) that does
  // not exist yet. The folder is not synced: the save that follows syncs it. Returns the name.
  std::string CommitAsNew(const std::function<std::string(int)>& names, int most);
  // CommitAsNew() in two steps, so that the caller can work while the new file is synced:
  // SyncAsNew() sets owner and mode and starts the sync (on the BackgroundSyncs installed on this
  // thread, or here); PlaceAsNew() waits for it and puts the file in place. A replacement
  // dropped in between removes its file.
  void SyncAsNew();
  std::string PlaceAsNew(const std::function<std::string(int)>& names, int most);

  // The first part of Commit() ahead of time, once the new file is complete: owner and mode are
  // set and its sync is started as SyncAsNew() starts it. Commit() then waits for that sync.
  void SyncMeanwhile();

  // After Commit(): the descriptor of the file now in place, handed to the caller.
  int ReleaseDescriptor();

 private:
  void Discard();
  void Prepare(std::uint32_t mode);  // owner, mode, sync: now, or the one started early
  void SetOwnerAndMode(std::uint32_t mode);
  void StartSync(std::uint32_t mode);
  [[noreturn]] void Fail(const std::string& reason);
  // Runs `rename`, which puts the new file in place and returns where; any failure removes the
  // new file and becomes a WorkbookError. Returns where the new file now is.
  std::string PutInPlace(const std::function<std::string()>& rename);

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
  std::future<int> sync_;  // the sync started early, when another thread does it: 0 or errno
  bool synced_ = false;    // the sync started early was done here
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
