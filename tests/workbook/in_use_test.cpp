#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <fstream>

#include "workbook/in_use.h"

namespace quillory::workbook {
namespace {

namespace fs = std::filesystem;

TEST(SpreadsheetInUse, AnOwnerOrLockFileBesideAListedWorkbookCounts) {
  const fs::path folder = fs::path(::testing::TempDir()) / ("in_use." + std::to_string(::getpid()));
  fs::create_directories(folder);
  const std::string other = (folder / "other.xlsx").string();
  const std::string book = (folder / "My Book.xlsx").string();

  for (const char* lock : {"~$My Book.xlsx", ".~lock.My Book.xlsx#"}) {
    std::ofstream(folder / lock) << "someone";
    EXPECT_TRUE(SpreadsheetInUse({other, book})) << lock;
    fs::remove(folder / lock);
  }
  // The lock of a file that is not listed does not count (an office instance still might).
  std::ofstream(folder / ".~lock.unlisted.xlsx#") << "someone";
  if (!SpreadsheetInUse({})) {
    EXPECT_FALSE(SpreadsheetInUse({other, book}));
  }
  fs::remove_all(folder);
}

// Starts `program` sleeping; with `detached` its parent is gone, so it is no child of ours.
pid_t StartSleeper(const fs::path& program, bool detached) {
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    pid_t sleeper = ::getpid();
    if (detached && (sleeper = ::fork()) != 0) {
      ssize_t ignored = ::write(pipe_ends[1], &sleeper, sizeof sleeper);
      (void)ignored;
      ::_exit(0);
    }
    if (!detached) {
      ssize_t ignored = ::write(pipe_ends[1], &sleeper, sizeof sleeper);
      (void)ignored;
    }
    ::execl(program.c_str(), "soffice.bin", "30", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  pid_t sleeper = -1;
  if (::read(pipe_ends[0], &sleeper, sizeof sleeper) != sizeof sleeper) sleeper = -1;
  ::close(pipe_ends[0]);
  ::close(pipe_ends[1]);
  if (detached) ::waitpid(child, nullptr, 0);
  // Wait until the new program has replaced the forked copy.
  for (int i = 0; i < 200; ++i) {
    std::ifstream comm("/proc/" + std::to_string(sleeper) + "/comm");
    std::string name;
    if (std::getline(comm, name) && name == "soffice.bin") break;
    ::usleep(10000);
  }
  return sleeper;
}

TEST(SpreadsheetInUse, AnOfficeOfThisUserCountsUnlessThisProgramStartedIt) {
  const fs::path folder = fs::path(::testing::TempDir()) / ("office." + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path program = folder / "soffice.bin";
  fs::copy_file("/bin/sleep", program);
  // Other offices of this user may run beside the test; then only the detached case can be told.
  const bool before = SpreadsheetInUse({});

  const pid_t ours = StartSleeper(program, false);
  ASSERT_GT(ours, 0);
  if (!before) {
    EXPECT_FALSE(SpreadsheetInUse({}));
  }
  ::kill(ours, SIGKILL);
  ::waitpid(ours, nullptr, 0);

  const pid_t other = StartSleeper(program, true);
  ASSERT_GT(other, 0);
  EXPECT_TRUE(SpreadsheetInUse({}));
  ::kill(other, SIGKILL);
  fs::remove_all(folder);
}

}  // namespace
}  // namespace quillory::workbook
