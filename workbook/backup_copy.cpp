#include "workbook/backup_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "workbook/spreadsheet.h"

namespace quillory::workbook {
namespace {

// Collisions beyond this many copies in one minute are not worth another try.
constexpr int kMostCopies = 9999;

std::string Strftime(const char* format, const std::tm& time) {
  char buffer[256];
  const std::size_t length = std::strftime(buffer, sizeof buffer, format, &time);
  return std::string(buffer, length);
}

std::string Reason(std::string_view what, int error) {
  return std::string(what) + ": " + std::strerror(error);
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // Closes now, so that a failure to close is seen; returns errno or 0.
  int Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

// Copies every byte; returns 0 or the errno of the failure.
int CopyBytes(int from, int to) {
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const ssize_t got = ::read(from, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (got == 0) return ::fsync(to) == 0 ? 0 : errno;
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

}  // namespace

std::string BackupStamp(const std::tm& local_time) {
  const int hour = local_time.tm_hour % 12 == 0 ? 12 : local_time.tm_hour % 12;
  return std::to_string(hour) + Strftime(" %M %p %A, %b ", local_time) +
         std::to_string(local_time.tm_mday) + Strftime(" %Y", local_time);
}

std::string BackupPath(const std::string& path, const std::tm& local_time, int copy) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  std::size_t dot = path.find_last_of('.');
  // A dot in a folder name, or one that only starts a hidden file's name, is no extension.
  if (dot == std::string::npos || dot <= name_start) dot = path.size();
  std::string backup = path.substr(0, dot) + " Backup " + BackupStamp(local_time);
  if (copy > 1) backup += " (" + std::to_string(copy) + ")";
  return backup + path.substr(dot);
}

std::string MakeBackupCopy(const std::string& path, std::chrono::system_clock::time_point now) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local_time{};
  localtime_r(&seconds, &local_time);

  // Not blocking: a named pipe put in the workbook's place is refused below, not waited on.
  FileDescriptor source(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (source.get() < 0) throw WorkbookError(path, Reason("no backup copy could be made", errno));
  struct stat status {};
  if (::fstat(source.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    throw WorkbookError(path, "no backup copy could be made: not a regular file");
  }

  for (int copy = 1; copy <= kMostCopies; ++copy) {
    const std::string backup = BackupPath(path, local_time, copy);
    FileDescriptor target(
        ::open(backup.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, status.st_mode & 0666));
    if (target.get() < 0) {
      if (errno == EEXIST) continue;
      throw WorkbookError(path, Reason("the backup copy " + backup + " could not be made", errno));
    }
    int error = CopyBytes(source.get(), target.get());
    const int close_error = target.Close();
    if (error == 0) error = close_error;
    if (error != 0) {
      ::unlink(backup.c_str());
      throw WorkbookError(path, Reason("the backup copy " + backup + " could not be made", error));
    }
    return backup;
  }
  throw WorkbookError(path, "no backup copy could be made: too many backups made this minute");
}

}  // namespace quillory::workbook
