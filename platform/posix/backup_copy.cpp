#include "platform/posix/backup_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <optional>

#include "workbook/file_replace.h"
#include "workbook/spreadsheet.h"

namespace quillory::posix {
namespace {

using workbook::FileReplacement;
using workbook::WorkbookError;

// Collisions beyond this many copies in one minute are not worth another try.
constexpr int kMostCopies = 9999;

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

class FileBackup final : public workbook::StartedBackup {
 public:
  FileBackup(std::unique_ptr<FileReplacement> copy, std::string path, const std::tm& local_time)
      : copy_(std::move(copy)), path_(std::move(path)), local_time_(local_time) {}

  std::string Finish() override {
    if (!copy_) throw WorkbookError(path_, "no backup copy could be made: it was finished already");
    const std::unique_ptr<FileReplacement> copy = std::move(copy_);
    return copy->PlaceAsNew(
        [&](int number) { return workbook::BackupPath(path_, local_time_, number); }, kMostCopies);
  }

 private:
  std::unique_ptr<FileReplacement> copy_;
  std::string path_;
  std::tm local_time_;
};

}  // namespace

std::unique_ptr<workbook::StartedBackup> StartBackupCopy(
    const std::string& path, std::chrono::system_clock::time_point now) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local_time{};
  localtime_r(&seconds, &local_time);

  // Never waits on a pipe or device put in the workbook's place.
  FileDescriptor source(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (source.get() < 0) throw WorkbookError(path, Reason("no backup copy could be made", errno));
  const std::optional<workbook::FileIdentity> original = workbook::IdentifyOpenFile(source.get());
  if (!original || !S_ISREG(original->mode)) {
    throw WorkbookError(path, "no backup copy could be made: not a regular file");
  }

  // Written under a temporary name and synced first: a copy under the backup's name is whole.
  const std::string first = workbook::BackupPath(path, local_time);
  auto copy =
      std::make_unique<FileReplacement>(first, *original, path, "no backup copy could be made");
  if (const int error = workbook::CopyFileContent(source.get(), copy->fd()); error != 0) {
    throw WorkbookError(path, Reason("the backup copy " + first + " could not be made", error));
  }
  copy->SyncAsNew();
  return std::make_unique<FileBackup>(std::move(copy), path, local_time);
}

std::string MakeBackupCopy(const std::string& path, std::chrono::system_clock::time_point now) {
  return StartBackupCopy(path, now)->Finish();
}

}  // namespace quillory::posix
