// POSIX: descriptors, openat/renameat, fchown/fchmod, fsync.
#include "workbook/file_replace.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <utility>
#include <vector>

#include "workbook/file_names.h"
#include "workbook/spreadsheet.h"

namespace quillory::workbook {
namespace {

// Longest part of the workbook's name kept in the temporary file's name, so that the prefix and
// suffix still fit within a file name's 255 bytes.
constexpr std::size_t kMostNameBytes = 200;

FileIdentity IdentityOf(const struct stat& status) {
  FileIdentity identity;
  identity.device = static_cast<std::uint64_t>(status.st_dev);
  identity.inode = static_cast<std::uint64_t>(status.st_ino);
  identity.size = static_cast<std::int64_t>(status.st_size);
  identity.modified_seconds = static_cast<std::int64_t>(status.st_mtim.tv_sec);
  identity.modified_nanoseconds = static_cast<std::int64_t>(status.st_mtim.tv_nsec);
  identity.mode = static_cast<std::uint32_t>(status.st_mode);
  identity.owner = static_cast<std::uint32_t>(status.st_uid);
  identity.group = static_cast<std::uint32_t>(status.st_gid);
  identity.links = static_cast<std::uint64_t>(status.st_nlink);
  return identity;
}

std::string Reason(std::string_view what, int error) {
  return std::string(what) + ": " + std::strerror(error);
}

// The start of `name` within `limit` bytes, not cut inside a UTF-8 sequence.
std::string Shortened(const std::string& name, std::size_t limit) {
  if (name.size() <= limit) return name;
  std::size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
  return name.substr(0, end);
}

std::string RandomSuffix() {
  std::uint32_t value = 0;
  if (::getrandom(&value, sizeof value, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof value)) {
    static std::atomic<std::uint32_t> counter{0};
    value =
        static_cast<std::uint32_t>(::getpid()) * 2654435761u ^
        static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        ++counter;
  }
  char text[9];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

std::mutex hook_mutex;
FileStepHook& Hook() {
  static FileStepHook hook;
  return hook;
}

struct Leftover {
  std::string path;
  dev_t device = 0;
  ino_t inode = 0;
};
std::mutex leftovers_mutex;
std::map<int, Leftover>& Leftovers() {
  static std::map<int, Leftover> leftovers;
  return leftovers;
}
int last_leftover = 0;

thread_local BackgroundSyncs* installed_syncs = nullptr;

}  // namespace

BackgroundSyncs::BackgroundSyncs() : previous_(installed_syncs) {
  installed_syncs = this;
}

BackgroundSyncs::~BackgroundSyncs() {
  Finish();
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_) thread.join();
  installed_syncs = previous_;
}

BackgroundSyncs* BackgroundSyncs::Installed() {
  return installed_syncs;
}

bool BackgroundSyncs::Sync(int fd, bool folder, std::function<void(int error)> done) {
  Job job{fd, folder, 0, 0, std::move(done)};
  if (folder) {
    struct stat status {};
    if (::fstat(fd, &status) == 0) {
      job.device = static_cast<std::uint64_t>(status.st_dev);
      job.inode = static_cast<std::uint64_t>(status.st_ino);
    }
  }
  std::unique_lock lock(mutex_);
  try {
    // Another thread when none is free, so that syncs are under way side by side.
    if (idle_ == 0 && threads_.size() < kMostThreads) {
      threads_.emplace_back([this] { Work(); });
    }
    pending_.push_back(std::move(job));
  } catch (const std::system_error&) {
    if (threads_.empty()) return false;
    pending_.push_back(std::move(job));
  } catch (const std::bad_alloc&) {
    return false;
  }
  lock.unlock();
  changed_.notify_all();
  return true;
}

void BackgroundSyncs::NoteUnsynced(std::string workbook, std::string reason) {
  const std::lock_guard lock(mutex_);
  unsynced_.push_back({std::move(workbook), std::move(reason)});
}

std::vector<BackgroundSyncs::Unsynced> BackgroundSyncs::TakeUnsynced() {
  const std::lock_guard lock(mutex_);
  return std::exchange(unsynced_, {});
}

bool BackgroundSyncs::AnyUnsynced() {
  const std::lock_guard lock(mutex_);
  return !unsynced_.empty();
}

void BackgroundSyncs::Finish() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return pending_.empty() && active_ == 0; });
}

void BackgroundSyncs::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    ++idle_;
    changed_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
    --idle_;
    if (pending_.empty()) return;
    // The oldest job, and with a folder every later one for the same folder: one sync, begun
    // after all their renames, makes them all last.
    std::vector<Job> jobs;
    jobs.push_back(std::move(pending_.front()));
    pending_.erase(pending_.begin());
    const Job& first = jobs.front();
    if (first.folder && first.inode != 0) {
      for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->folder && it->device == first.device && it->inode == first.inode) {
          jobs.push_back(std::move(*it));
          it = pending_.erase(it);
        } else {
          ++it;
        }
      }
    }
    ++active_;
    lock.unlock();
    const int error = ::fsync(jobs.front().fd) == 0 ? 0 : errno;
    for (Job& job : jobs) {
      ::close(job.fd);
      try {
        if (job.done) job.done(error);
      } catch (...) {
      }
    }
    lock.lock();
    --active_;
    changed_.notify_all();
  }
}

bool SameInode(int folder, const std::string& name, int fd) {
  struct stat named {
  }, opened{};
  return ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         ::fstat(fd, &opened) == 0 && named.st_dev == opened.st_dev &&
         named.st_ino == opened.st_ino;
}

std::optional<FileIdentity> IdentifyOpenFile(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return std::nullopt;
  return IdentityOf(status);
}

std::string FolderNotSyncedReason(int error) {
  return Reason(
      "its new file is in place, but its folder could not be synced to disk, so the conversion "
      "may be lost if the computer stops before the disk catches up (check the disk; a backup "
      "copy, if made, is beside it)",
      error);
}

std::string HardLinkReason(std::uint64_t links) {
  return "it has " + std::to_string(links) +
         " names (hard links): saving writes a new file, so the other names would keep the old "
         "content; it was left unchanged (convert a copy, or remove the other names first)";
}

void SetFileStepHook(FileStepHook hook) {
  std::lock_guard lock(hook_mutex);
  Hook() = std::move(hook);
}

void RunFileStepHook(FileStep step, const std::string& path) {
  FileStepHook hook;
  {
    std::lock_guard lock(hook_mutex);
    hook = Hook();
  }
  if (hook) hook(step, path);
}

FileReplacement::FileReplacement(const std::string& target, const FileIdentity& opened,
                                 const std::string& name, const std::string& failing)
    : name_(name), failing_(failing), target_(target), opened_(opened) {
  const std::string folder = FolderOf(target);
  target_name_ = FileNameOf(target);
  // Everything below goes through the folder's descriptor: renaming or replacing the folder
  // meanwhile cannot send the new file elsewhere. (No destructor runs when this throws.)
  auto fail = [this](const std::string& reason) {
    if (folder_ >= 0) ::close(folder_);
    folder_ = -1;
    Fail(reason);
  };
  folder_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_ < 0) fail(Reason("the folder " + folder + " cannot be used", errno));
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temporary_name_ =
        ".~" + Shortened(target_name_, kMostNameBytes) + "." + RandomSuffix() + ".tmp";
    // Exclusive and private: never an existing file, never through a link.
    fd_ = ::openat(folder_, temporary_name_.c_str(),
                   O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ < 0 && errno != EEXIST) {
      const int error = errno;
      if (error == EACCES || error == EPERM || error == EROFS) {
        fail("the folder " + folder + " is read-only (the new file is written beside the old one)");
      }
      fail(Reason("no new file can be made in " + folder, error));
    }
  }
  if (fd_ < 0) fail("no new file can be made in " + folder);
  temporary_ = folder + "/" + temporary_name_;
  leftover_ = RegisterLeftover(temporary_, fd_);
}

FileReplacement::~FileReplacement() {
  if (!committed_) Discard();
  if (fd_ >= 0) ::close(fd_);
  if (folder_ >= 0) ::close(folder_);
}

void FileReplacement::Fail(const std::string& reason) {
  Discard();
  throw WorkbookError(name_, failing_ + ": " + reason);
}

void FileReplacement::Discard() {
  if (fd_ >= 0 && folder_ >= 0 && SameInode(folder_, temporary_name_, fd_)) {
    ::unlinkat(folder_, temporary_name_.c_str(), 0);
  }
  UnregisterLeftover(leftover_);
  leftover_ = 0;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void FileReplacement::Prepare(std::uint32_t mode) {
  if (sync_.valid()) {
    if (const int error = sync_.get(); error != 0) {
      Fail(Reason("writing the new file failed", error));
    }
    return;
  }
  if (synced_) return;
  SetOwnerAndMode(mode);
  if (::fsync(fd_) != 0) Fail(Reason("writing the new file failed", errno));
}

void FileReplacement::StartSync(std::uint32_t mode) {
  try {
    SetOwnerAndMode(mode);
    BackgroundSyncs* syncs = BackgroundSyncs::Installed();
    const int copy = syncs ? ::fcntl(fd_, F_DUPFD_CLOEXEC, 0) : -1;
    if (copy >= 0) {
      auto result = std::make_shared<std::promise<int>>();
      sync_ = result->get_future();
      if (syncs->Sync(copy, false, [result](int error) { result->set_value(error); })) return;
      sync_ = {};
      ::close(copy);
    }
    if (::fsync(fd_) != 0) Fail(Reason("writing the new file failed", errno));
    synced_ = true;
  } catch (const WorkbookError&) {
    Discard();
    throw;
  } catch (const std::exception& error) {
    Fail(error.what());
  }
}

void FileReplacement::SyncMeanwhile() {
  StartSync(opened_.mode & 07777u);
}

void FileReplacement::SyncAsNew() {
  StartSync(opened_.mode & 0666u);
}

void FileReplacement::SetOwnerAndMode(std::uint32_t mode) {
  if (fd_ < 0 || committed_) Fail("the new file is gone");
  RunFileStepHook(FileStep::kWritten, temporary_);
  // The original's owner where this user may give it (root may; others keep at least the group
  // when they belong to it), then the mode: changing the owner clears set-id bits.
  const bool owner_kept = ::fchown(fd_, opened_.owner, opened_.group) == 0;
  if (!owner_kept && ::fchown(fd_, static_cast<uid_t>(-1), opened_.group) != 0) {
    // The new file keeps this user's group.
  }
  if (::fchmod(fd_, static_cast<mode_t>(mode & (owner_kept ? 07777u : 0777u))) != 0) {
    Fail(Reason("the new file's permissions cannot be set", errno));
  }
  RunFileStepHook(FileStep::kBeforeSync, temporary_);
}

std::string FileReplacement::PutInPlace(const std::function<std::string()>& rename) {
  std::string placed;
  try {
    placed = rename();
  } catch (const WorkbookError&) {
    Discard();
    throw;
  } catch (const std::exception& error) {
    Fail(error.what());
  } catch (...) {
    Discard();
    throw;
  }
  committed_ = true;
  UnregisterLeftover(leftover_);
  leftover_ = 0;
  try {
    RunFileStepHook(FileStep::kRenamed, placed);
  } catch (...) {
    // The new file is in place: nothing is undone.
  }
  return placed;
}

void FileReplacement::Commit() {
  PutInPlace([&] {
    Prepare(opened_.mode & 07777u);
    // Another program's save in the meantime (a new file renamed over, or the file rewritten)
    // would be lost: then nothing is written.
    struct stat now {};
    if (::fstatat(folder_, target_name_.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) {
        Fail(
            "the file was removed or renamed by another program while it was being converted; "
            "nothing was written");
      }
      Fail(Reason("the file cannot be found again", errno));
    }
    const FileIdentity current = IdentityOf(now);
    if (!current.SameContentAs(opened_)) {
      Fail(
          "another program changed or replaced the file while it was being converted; nothing "
          "was written (convert it again to include that program's changes)");
    }
    if (current.links > 1) Fail(HardLinkReason(current.links));
    RunFileStepHook(FileStep::kBeforeRename, temporary_);
    if (::renameat(folder_, temporary_name_.c_str(), folder_, target_name_.c_str()) != 0) {
      Fail(Reason("the new file cannot be put in place", errno));
    }
    return target_;
  });
  // Makes the rename last. A folder that cannot be synced still holds the new file, but the
  // workbook is not reported saved: the rename may not last.
  BackgroundSyncs* syncs = BackgroundSyncs::Installed();
  const auto synced = [target = target_, name = name_, syncs](int error) {
    try {
      RunFileStepHook(FileStep::kFolderSynced, target);
    } catch (...) {
      error = EIO;
    }
    if (error == 0) return;
    if (!syncs) throw FolderNotSynced(name, FolderNotSyncedReason(error));
    try {
      syncs->NoteUnsynced(name, FolderNotSyncedReason(error));
    } catch (...) {
    }
  };
  if (syncs && syncs->Sync(folder_, true, synced)) {
    folder_ = -1;
    return;
  }
  synced(::fsync(folder_) == 0 ? 0 : errno);
}

std::string FileReplacement::CommitAsNew(const std::function<std::string(int)>& names, int most) {
  SyncAsNew();
  return PlaceAsNew(names, most);
}

std::string FileReplacement::PlaceAsNew(const std::function<std::string(int)>& names, int most) {
  return PutInPlace([&] {
    std::string placed;
    if (fd_ < 0 || committed_) Fail("the new file is gone");
    if (!sync_.valid() && !synced_) Fail("the new file was not synced");
    Prepare(0);
    RunFileStepHook(FileStep::kBeforeRename, temporary_);
    for (int copy = 1; copy <= most && placed.empty(); ++copy) {
      const std::string candidate = names(copy);
      const std::string name = FileNameOf(candidate);
      // Never over an existing file: an atomic rename that refuses to replace, or on file
      // systems without it a hard link, which refuses too.
      int result =
          ::renameat2(folder_, temporary_name_.c_str(), folder_, name.c_str(), RENAME_NOREPLACE);
      if (result != 0 && (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP)) {
        result = ::linkat(folder_, temporary_name_.c_str(), folder_, name.c_str(), 0);
        if (result == 0) ::unlinkat(folder_, temporary_name_.c_str(), 0);
      }
      if (result == 0) {
        placed = candidate;
      } else if (errno != EEXIST) {
        Fail(Reason("it cannot be put in place as " + candidate, errno));
      }
    }
    if (placed.empty()) Fail("too many copies have that name already");
    return placed;
  });
}

int FileReplacement::ReleaseDescriptor() {
  if (!committed_) return -1;
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

int CopyFileContent(int from, int to) {
  for (;;) {
    const ssize_t copied = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
    if (copied == 0) return 0;
    if (copied > 0) continue;
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) break;
    return errno;
  }
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const ssize_t got = ::read(from, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (got == 0) return 0;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(to, buffer.data() + done, static_cast<std::size_t>(got - done));
      if (put < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      done += put;
    }
  }
}

int RegisterLeftover(const std::string& path, int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return 0;
  std::lock_guard lock(leftovers_mutex);
  const int token = ++last_leftover;
  Leftovers()[token] = {path, status.st_dev, status.st_ino};
  return token;
}

void UnregisterLeftover(int token) {
  if (token == 0) return;
  std::lock_guard lock(leftovers_mutex);
  Leftovers().erase(token);
}

void RemoveLeftovers() {
  std::lock_guard lock(leftovers_mutex);
  for (const auto& [token, leftover] : Leftovers()) {
    struct stat status {};
    if (::lstat(leftover.path.c_str(), &status) == 0 && status.st_dev == leftover.device &&
        status.st_ino == leftover.inode) {
      ::unlink(leftover.path.c_str());
    }
  }
  Leftovers().clear();
}

}  // namespace quillory::workbook
