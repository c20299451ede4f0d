#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <vector>

#include "platform/posix/backup_copy.h"
#include "tests/workbook/scratch_folder.h"
#include "workbook/backup_copy.h"
#include "workbook/file_replace.h"
#include "workbook/spreadsheet.h"

namespace quillory::workbook {
namespace {

namespace fs = std::filesystem;
using posix::MakeBackupCopy;
using posix::StartBackupCopy;

std::tm Saturday(int hour, int minute) {
  std::tm time{};
  time.tm_year = 2026 - 1900;
  time.tm_mon = 11;
  time.tm_mday = 5;
  time.tm_wday = 6;
  time.tm_hour = hour;
  time.tm_min = minute;
  return time;
}

struct NameRow {
  const char* path;
  int hour;
  int minute;
  int copy;
  const char* backup;
};

void PrintTo(const NameRow& row, std::ostream* out) {
  *out << '"' << row.backup << '"';
}

class BackupName : public ::testing::TestWithParam<NameRow> {};

TEST_P(BackupName, IsBuiltFromStemTimeDateAndExtension) {
  std::setlocale(LC_TIME, "C");
  const NameRow& row = GetParam();
  EXPECT_EQ(BackupPath(row.path, Saturday(row.hour, row.minute), row.copy), row.backup);
}

INSTANTIATE_TEST_SUITE_P(
    Names, BackupName,
    ::testing::Values(
        NameRow{"/data/Sales.xls", 15, 7, 1, "/data/Sales Backup 3 07 PM Saturday, Dec 5 2026.xls"},
        NameRow{"/data/Sales.xlsx", 0, 0, 1,
                "/data/Sales Backup 12 00 AM Saturday, Dec 5 2026.xlsx"},
        NameRow{"/data/Sales.xlsx", 12, 59, 1,
                "/data/Sales Backup 12 59 PM Saturday, Dec 5 2026.xlsx"},
        NameRow{"/a.b/book.old.xls", 9, 30, 1,
                "/a.b/book.old Backup 9 30 AM Saturday, Dec 5 2026.xls"},
        NameRow{"/a.b/book", 9, 30, 1, "/a.b/book Backup 9 30 AM Saturday, Dec 5 2026"},
        NameRow{"/data/.hidden", 9, 30, 1, "/data/.hidden Backup 9 30 AM Saturday, Dec 5 2026"},
        NameRow{"Sales.xlsx", 23, 1, 2, "Sales Backup 11 01 PM Saturday, Dec 5 2026 (2).xlsx"},
        NameRow{"/d/x", 23, 1, 3, "/d/x Backup 11 01 PM Saturday, Dec 5 2026 (3)"}));

class BackupCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    std::setlocale(LC_TIME, "C");
    folder_ = fs::path(::testing::TempDir()) / ("backup_test." + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "dots.in.folder");
  }
  void TearDown() override {
    fs::permissions(folder_ / "dots.in.folder", fs::perms::owner_all);
    fs::remove_all(folder_);
  }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  fs::path folder_;
};

TEST_F(BackupCopy, IsByteExactAndNeverReplacesAnEarlierBackup) {
  std::string bytes;
  for (int i = 0; i < 200000; ++i) bytes += static_cast<char>(i * 7 % 256);
  const fs::path book = folder_ / "dots.in.folder" / "book";
  Write(book, bytes);
  const auto now = std::chrono::system_clock::now();

  const std::string first = MakeBackupCopy(book, now);
  const std::string second = MakeBackupCopy(book, now);
  const std::string third = MakeBackupCopy(book, now);
  EXPECT_EQ(fs::path(first).parent_path(), book.parent_path());
  EXPECT_EQ(fs::path(first).filename().string().rfind("book Backup ", 0), 0u);
  EXPECT_EQ(fs::path(first).extension(), "");
  EXPECT_EQ(second, first + " (2)");
  EXPECT_EQ(third, first + " (3)");
  EXPECT_EQ(Read(first), bytes);
  EXPECT_EQ(Read(third), bytes);
}

TEST_F(BackupCopy, StartedItIsSyncedMeanwhileAndTakesItsNameOnlyWhenFinished) {
  const fs::path book = folder_ / "dots.in.folder" / "book.xlsx";
  Write(book, "workbook bytes");
  const auto now = std::chrono::system_clock::now();
  std::vector<std::string> names;
  const auto names_now = [&] {
    names.clear();
    for (const auto& entry : fs::directory_iterator(book.parent_path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  };
  std::string backup;
  {
    BackgroundSyncs syncs;
    std::unique_ptr<StartedBackup> started = StartBackupCopy(book, now);
    // Only a hidden temporary file so far: nothing under a backup's name is ever partial.
    ASSERT_EQ(names_now().size(), 2u);
    EXPECT_EQ(names[0].rfind(".~book Backup ", 0), 0u) << names[0];
    backup = started->Finish();
    EXPECT_EQ(Read(backup), "workbook bytes");
    EXPECT_EQ(names_now(), (std::vector<std::string>{fs::path(backup).filename(), "book.xlsx"}));
    // One dropped unfinished leaves nothing behind.
    StartBackupCopy(book, now).reset();
    syncs.Finish();
    EXPECT_EQ(names_now().size(), 2u);
  }
  // Without a sync thread it is synced before StartBackupCopy() returns.
  const std::string second = StartBackupCopy(book, now)->Finish();
  EXPECT_EQ(second, backup.substr(0, backup.size() - 5) + " (2).xlsx");
  EXPECT_EQ(Read(second), "workbook bytes");
}

TEST_F(BackupCopy, FailsWithTheReasonAndLeavesNothingBehind) {
  const fs::path missing = folder_ / "missing.xlsx";
  try {
    MakeBackupCopy(missing, std::chrono::system_clock::now());
    FAIL() << "a missing file was copied";
  } catch (const WorkbookError& error) {
    EXPECT_EQ(error.file(), missing.string());
    EXPECT_NE(error.reason().find("No such file"), std::string::npos) << error.reason();
  }

  const fs::path book = folder_ / "dots.in.folder" / "book.xlsx";
  Write(book, "PK");
  fs::permissions(folder_, fs::perms::all);
  fs::permissions(book.parent_path(), fs::perms::owner_read | fs::perms::owner_exec |
                                          fs::perms::others_read | fs::perms::others_exec);
  // Root writes into read-only folders, so the copy is tried as nobody in a child process.
  const pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      ::_exit(3);
    }
    try {
      MakeBackupCopy(book, std::chrono::system_clock::now());
    } catch (const WorkbookError& error) {
      ::_exit(error.reason().find("no backup copy could be made: the folder " +
                                  book.parent_path().string() + " is read-only") == 0
                  ? 0
                  : 2);
    }
    ::_exit(1);
  }
  int status = -1;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(std::distance(fs::directory_iterator(book.parent_path()), fs::directory_iterator()), 1);
}

TEST_F(BackupCopy, KeepsTheOwnerAndTheModeWithoutExecuteBits) {
  const fs::path book = folder_ / "book.xlsx";
  Write(book, "PK");
  ::chmod(book.c_str(), 0754);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(book.c_str(), 65534, 65534), 0);
  }
  const std::string backup = MakeBackupCopy(book, std::chrono::system_clock::now());
  struct stat status {};
  ASSERT_EQ(::stat(backup.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0644u);
  if (root) {
    EXPECT_EQ(status.st_uid, 65534u);
  }
}

TEST_F(BackupCopy, APipeInTheWorkbooksPlaceIsRefusedAtOnce) {
  const fs::path pipe = folder_ / "book.xlsx";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  try {
    MakeBackupCopy(pipe, std::chrono::system_clock::now());
    FAIL() << "a pipe was copied";
  } catch (const WorkbookError& error) {
    EXPECT_EQ(error.reason(), "no backup copy could be made: not a regular file");
  }
}

// A failure or a kill at any step leaves either no backup or a whole one under its name.
class BackupInterrupted : public BackupCopy, public ::testing::WithParamInterface<FileStep> {
 protected:
  void TearDown() override {
    SetFileStepHook(nullptr);
    BackupCopy::TearDown();
  }
  std::vector<fs::path> Backups() const {
    std::vector<fs::path> backups;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("book Backup ", 0) == 0) backups.push_back(entry.path());
    }
    return backups;
  }
};

TEST_P(BackupInterrupted, LeavesNoPartialCopyUnderTheBackupsName) {
  const FileStep step = GetParam();
  const fs::path book = folder_ / "book.xlsx";
  const std::string bytes(300000, 'q');
  Write(book, bytes);

  const int status = testing::InChild([&] {
    SetFileStepHook([step](FileStep now, const std::string&) {
      if (now == step) ::raise(SIGKILL);
    });
    MakeBackupCopy(book, std::chrono::system_clock::now());
  });
  EXPECT_TRUE(testing::KilledBySignal(status, SIGKILL)) << status;
  const std::vector<fs::path> killed = Backups();
  EXPECT_EQ(killed.size(), step == FileStep::kRenamed ? 1u : 0u);
  for (const fs::path& backup : killed) EXPECT_EQ(Read(backup), bytes);

  if (step == FileStep::kRenamed) return;
  SetFileStepHook([step](FileStep now, const std::string&) {
    if (now == step) throw std::runtime_error("the disk is full");
  });
  try {
    MakeBackupCopy(book, std::chrono::system_clock::now());
    FAIL() << "copied";
  } catch (const WorkbookError& error) {
    EXPECT_EQ(error.reason(), "no backup copy could be made: the disk is full");
  }
  EXPECT_TRUE(Backups().empty());
}

INSTANTIATE_TEST_SUITE_P(Steps, BackupInterrupted,
                         ::testing::Values(FileStep::kWritten, FileStep::kBeforeSync,
                                           FileStep::kBeforeRename, FileStep::kRenamed));

}  // namespace
}  // namespace quillory::workbook
