// POSIX: descriptors, openat/renameat, fchown/fchmod, fsync.
#include "workbook/file_replace.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <vector>

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

bool SameInode(int folder, const std::string& name, int fd) {
  struct stat named {
  }, opened{};
  return ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         ::fstat(fd, &opened) == 0 && named.st_dev == opened.st_dev &&
         named.st_ino == opened.st_ino;
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

}  // namespace

std::optional<FileIdentity> IdentifyOpenFile(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return std::nullopt;
  return IdentityOf(status);
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
  const std::size_t slash = target.find_last_of('/');
  const std::string folder =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  target_name_ = slash == std::string::npos ? target : target.substr(slash + 1);
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
  if (::fsync(fd_) != 0) Fail(Reason("writing the new file failed", errno));
}

void FileReplacement::Commit() {
  try {
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
    RunFileStepHook(FileStep::kRenamed, target_);
  } catch (...) {
    // The new file is in place: nothing is undone.
  }
  // Makes the rename last; a folder that cannot be synced still holds the new file.
  ::fsync(folder_);
}

std::string FileReplacement::CommitAsNew(const std::function<std::string(int)>& names, int most) {
  std::string placed;
  try {
    Prepare(opened_.mode & 0666u);
    RunFileStepHook(FileStep::kBeforeRename, temporary_);
    for (int copy = 1; copy <= most && placed.empty(); ++copy) {
      const std::string candidate = names(copy);
      const std::size_t slash = candidate.find_last_of('/');
      const std::string name = slash == std::string::npos ? candidate : candidate.substr(slash + 1);
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
  }
  return placed;
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
