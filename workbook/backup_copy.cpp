#include "workbook/backup_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "workbook/file_replace.h"
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

 private:
  int fd_;
};

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

  // Never waits on a pipe or device put in the workbook's place.
  FileDescriptor source(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (source.get() < 0) throw WorkbookError(path, Reason("no backup copy could be made", errno));
  const std::optional<FileIdentity> original = IdentifyOpenFile(source.get());
  if (!original || !S_ISREG(original->mode)) {
    throw WorkbookError(path, "no backup copy could be made: not a regular file");
  }

  // Written under a temporary name and synced first: a copy under the backup's name is whole.
  const std::string first = BackupPath(path, local_time);
  FileReplacement copy(first, *original, path, "no backup copy could be made");
  if (const int error = CopyFileContent(source.get(), copy.fd()); error != 0) {
    throw WorkbookError(path, Reason("the backup copy " + first + " could not be made", error));
  }
  return copy.CommitAsNew([&](int number) { return BackupPath(path, local_time, number); },
                          kMostCopies);
}

}  // namespace quillory::workbook
