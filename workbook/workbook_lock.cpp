// POSIX: openat, flock, getpwuid_r, gethostname.
#include "workbook/workbook_lock.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "workbook/file_names.h"
#include "workbook/file_replace.h"
#include "workbook/spreadsheet.h"

namespace quillory::workbook {
namespace {

// The fifth field of this program's lock files starts so, followed by the process id.
constexpr std::string_view kOwnMark = "quillory:";
constexpr int kMostAttempts = 5;

std::string Escaped(std::string_view field) {
  std::string escaped;
  for (const char c : field) {
    if (c == '\\' || c == ',' || c == ';') escaped += '\\';
    if (c != '\n' && c != '\r') escaped += c;
  }
  return escaped;
}

std::string UserName() {
  struct passwd entry {};
  struct passwd* found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found) {
    return found->pw_name;
  }
  return std::to_string(::geteuid());
}

std::string HostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "localhost";
  return name;
}

// "06.12.2026 15:31", as LibreOffice writes the time in its lock files.
std::string LockTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%d.%m.%Y %H:%M", &local);
  return text;
}

// "Quillory (ann),Quillory,desk,06.12.2026 15:31,quillory:4242;". The second field, the system
// user in LibreOffice's own lock files, names this program: a LibreOffice of the same user then
// says the workbook is locked for editing by "Quillory (ann)", not by the user on another machine.
std::string OwnLockLine() {
  return Escaped("Quillory (" + UserName() + ")") + ",Quillory," + Escaped(HostName()) + "," +
         LockTime() + "," + std::string(kOwnMark) + std::to_string(::getpid()) + ";";
}

// "ann" from "Quillory (ann)".
std::string HolderUser(const std::string& name) {
  constexpr std::string_view kStart = "Quillory (";
  if (!name.starts_with(kStart) || !name.ends_with(")")) return "";
  return name.substr(kStart.size(), name.size() - kStart.size() - 1);
}

std::string ReadSome(int fd) {
  char buffer[4096];
  const ssize_t got = ::pread(fd, buffer, sizeof buffer, 0);
  return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
}

std::string Field(const std::vector<std::string>& fields, std::size_t index) {
  return index < fields.size() ? fields[index] : std::string();
}

[[noreturn]] void OpenElsewhere(const std::string& path, const std::string& lock_name,
                                const std::vector<std::string>& fields) {
  std::string who = Field(fields, 0).empty() ? Field(fields, 1) : Field(fields, 0);
  if (!who.empty() && !Field(fields, 2).empty()) who += " on " + Field(fields, 2);
  if (!who.empty() && !Field(fields, 3).empty()) who += " since " + Field(fields, 3);
  throw WorkbookError(path, "it is open in another program (" + (who.empty() ? "" : who + ", ") +
                                "lock file " + lock_name +
                                "); close it there, or delete the lock file if that program is "
                                "no longer running");
}

[[noreturn]] void BeingConverted(const std::string& path, const std::string& lock_name,
                                 const std::vector<std::string>& fields, bool elsewhere) {
  std::string who;
  const std::string mark = Field(fields, 4);
  if (mark.starts_with(kOwnMark)) who = "process " + mark.substr(kOwnMark.size());
  if (const std::string user = HolderUser(Field(fields, 0)); !user.empty()) {
    who += (who.empty() ? "" : " ") + std::string("of ") + user;
  }
  if (!Field(fields, 2).empty()) who += " on " + fields[2];
  if (!Field(fields, 3).empty()) who += ", since " + fields[3];
  std::string reason = "it is being converted by another Quillory run" +
                       (who.empty() ? std::string() : " (" + who + ")") +
                       "; try again when that run has finished";
  if (elsewhere) {
    reason += ", or delete the lock file " + lock_name + " if no Quillory runs there any more";
  }
  throw WorkbookError(path, reason);
}

}  // namespace

std::vector<std::string> LockFileFields(const std::string& content) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < content.size(); ++i) {
    const char c = content[i];
    if (c == '\\' && i + 1 < content.size()) {
      fields.back() += content[++i];
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c == ';' || c == '\n') {
      break;
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

WorkbookLock::WorkbookLock(int folder, std::string lock_name, std::string lock_path, int fd)
    : folder_(folder),
      lock_name_(std::move(lock_name)),
      lock_path_(std::move(lock_path)),
      fd_(fd),
      leftover_(RegisterLeftover(lock_path_, fd)) {}

WorkbookLock::~WorkbookLock() {
  // Removed while still locked, so that no one takes over a file that is about to go.
  if (SameInode(folder_, lock_name_, fd_)) ::unlinkat(folder_, lock_name_.c_str(), 0);
  UnregisterLeftover(leftover_);
  ::close(fd_);
  ::close(folder_);
}

std::unique_ptr<WorkbookLock> WorkbookLock::Acquire(const std::string& path,
                                                    OtherLocks other_locks) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return nullptr;
  if (status.st_nlink > 1) throw WorkbookError(path, HardLinkReason(status.st_nlink));

  std::string real = path;
  if (char* resolved = ::realpath(path.c_str(), nullptr)) {
    real = resolved;
    std::free(resolved);
  }
  const std::string folder = FolderOf(real);
  const std::string name = FileNameOf(real);
  const int folder_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd < 0) {
    throw WorkbookError(path, "its folder " + folder + " cannot be used: " + std::strerror(errno));
  }
  struct FolderGuard {
    int fd;
    ~FolderGuard() {
      if (fd >= 0) ::close(fd);
    }
  } guard{folder_fd};

  // The owner file another office suite keeps beside a workbook it has open.
  const std::string owner_file = "~$" + name;
  struct stat other {};
  if (::fstatat(folder_fd, owner_file.c_str(), &other, AT_SYMLINK_NOFOLLOW) == 0) {
    if (other_locks == OtherLocks::kIgnore) return nullptr;
    OpenElsewhere(path, owner_file, {});
  }

  const std::string lock_name = ".~lock." + name + "#";
  const std::string lock_path = folder + "/" + lock_name;
  for (int attempt = 0; attempt < kMostAttempts; ++attempt) {
    int fd = ::openat(folder_fd, lock_name.c_str(),
                      O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
      if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // Taken over by another run between its making and locking: that run holds it.
        ::close(fd);
        continue;
      }
      const std::string line = OwnLockLine() + "\n";
      if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        const int error = errno;
        ::unlinkat(folder_fd, lock_name.c_str(), 0);
        ::close(fd);
        throw WorkbookError(path, "its lock file " + lock_path +
                                      " cannot be written: " + std::strerror(error ? error : EIO));
      }
      guard.fd = -1;
      return std::unique_ptr<WorkbookLock>(new WorkbookLock(folder_fd, lock_name, lock_path, fd));
    }
    if (errno == EACCES || errno == EPERM || errno == EROFS) {
      throw WorkbookError(path, "the folder " + folder +
                                    " is read-only: a lock file and the new file are written "
                                    "beside the workbook, so it was left unchanged");
    }
    if (errno != EEXIST) {
      throw WorkbookError(
          path, "its lock file " + lock_path + " cannot be made: " + std::strerror(errno));
    }

    // A lock file is there already: whose, and is its holder alive?
    fd = ::openat(folder_fd, lock_name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      if (errno == ENOENT) continue;  // just removed by its holder
      if (other_locks == OtherLocks::kIgnore) return nullptr;
      OpenElsewhere(path, lock_name, {});
    }
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    const std::string content = ReadSome(fd);
    const std::vector<std::string> fields = LockFileFields(content);
    const bool ours = Field(fields, 4).starts_with(kOwnMark);
    if (!ours && !content.empty()) {
      ::close(fd);
      if (other_locks == OtherLocks::kIgnore) return nullptr;
      OpenElsewhere(path, lock_name, fields);
    }
    // Only this program locks its lock files; an empty one is a run that is just writing it.
    if (!free) {
      ::close(fd);
      BeingConverted(path, lock_name, fields, false);
    }
    // A lock of this program on another machine is not told apart from a live one there.
    if (ours && Field(fields, 2) != HostName()) {
      ::close(fd);
      BeingConverted(path, lock_name, fields, true);
    }
    // Left by a run that ended without removing it (or an empty file no program writes): taken
    // over, removed while locked and made anew.
    if (SameInode(folder_fd, lock_name, fd)) ::unlinkat(folder_fd, lock_name.c_str(), 0);
    ::close(fd);
  }
  throw WorkbookError(path, "its lock file " + lock_path + " keeps changing; try again");
}

}  // namespace quillory::workbook
