#include "platform/posix/in_use.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

namespace quillory::posix {
namespace {

namespace fs = std::filesystem;

class InUse : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::path(::testing::TempDir()) / ("in_use." + std::to_string(::getpid()));
    fs::create_directories(folder_);
    book_ = (folder_ / "My Book.xlsx").string();
    other_ = (folder_ / "other.xlsx").string();
    std::ofstream(book_) << "workbook";
    std::ofstream(other_) << "workbook";
  }
  void TearDown() override {
    for (pid_t pid : started_) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);  // only our own children; the others have gone to init
    }
    fs::remove_all(folder_);
  }

  // Starts `sleep` with `held` open (when given). With `detached` its parent is gone at once, so
  // it is no process of ours, as a spreadsheet program the user started would not be.
  pid_t StartHolder(const std::string& held, bool detached) {
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
      if (detached && ::fork() != 0) ::_exit(0);
      const pid_t me = ::getpid();
      ssize_t ignored = ::write(pipe_ends[1], &me, sizeof me);
      (void)ignored;
      ::close(pipe_ends[0]);
      ::close(pipe_ends[1]);
      if (!held.empty() && ::open(held.c_str(), O_RDONLY) < 0) ::_exit(126);
      ::execl("/bin/sleep", "soffice.bin", "30", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(pipe_ends[1]);
    pid_t holder = -1;
    if (::read(pipe_ends[0], &holder, sizeof holder) != sizeof holder) holder = -1;
    ::close(pipe_ends[0]);
    if (detached) ::waitpid(child, nullptr, 0);
    started_.push_back(holder);
    // Wait until the program runs with the file open.
    for (int i = 0; i < 300; ++i) {
      std::ifstream comm("/proc/" + std::to_string(holder) + "/comm");
      std::string name;
      if (std::getline(comm, name) && name == "sleep") break;
      ::usleep(10000);
    }
    return holder;
  }

  fs::path folder_;
  std::string book_;
  std::string other_;
  std::vector<pid_t> started_;
};

TEST_F(InUse, AnOwnerOrLockFileBesideAListedWorkbookCounts) {
  EXPECT_TRUE(WorkbooksInUse({other_, book_}).empty());
  for (const char* lock : {"~$My Book.xlsx", ".~lock.My Book.xlsx#"}) {
    std::ofstream(folder_ / lock) << "someone";
    EXPECT_EQ(WorkbooksInUse({other_, book_}), std::vector<std::string>{book_}) << lock;
    EXPECT_TRUE(SpreadsheetInUse({book_}));
    fs::remove(folder_ / lock);
  }
  // The lock of a file that is not listed does not count.
  std::ofstream(folder_ / ".~lock.unlisted.xlsx#") << "someone";
  EXPECT_FALSE(SpreadsheetInUse({other_, book_}));
  EXPECT_FALSE(SpreadsheetInUse({(folder_ / "missing.xlsx").string()}));
  EXPECT_FALSE(SpreadsheetInUse({}));
}

TEST_F(InUse, AnotherProgramHoldingAListedWorkbookOpenCounts) {
  ASSERT_GT(StartHolder(book_, true), 0);
  EXPECT_EQ(WorkbooksInUse({other_, book_}), std::vector<std::string>{book_});
  // Found by the file, not by the name it was listed under.
  fs::create_hard_link(book_, folder_ / "same file.xlsx");
  EXPECT_TRUE(SpreadsheetInUse({(folder_ / "same file.xlsx").string()}));
  EXPECT_TRUE(SpreadsheetInUse({(folder_ / "." / "My Book.xlsx").string()}));
}

TEST_F(InUse, ASpreadsheetProgramWithOtherFilesOpenDoesNotCount) {
  ASSERT_GT(StartHolder(other_, true), 0);
  ASSERT_GT(StartHolder("", true), 0);
  EXPECT_FALSE(SpreadsheetInUse({book_}));
}

TEST_F(InUse, ProcessesThisProgramStartedDoNotCount) {
  ASSERT_GT(StartHolder(book_, false), 0);
  EXPECT_FALSE(SpreadsheetInUse({book_}));
}

}  // namespace
}  // namespace quillory::posix
