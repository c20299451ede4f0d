#include "workbook/file_replace.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "tests/workbook/scratch_folder.h"
#include "workbook/spreadsheet.h"

namespace quillory::workbook {
namespace {

namespace fs = std::filesystem;
using testing::InChild;
using testing::KilledBySignal;
using testing::ReadBytes;
using testing::ScratchFolder;
using testing::WriteBytes;

struct stat StatusOf(const std::string& path) {
  struct stat status {};
  ::lstat(path.c_str(), &status);
  return status;
}

FileIdentity Identify(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  const std::optional<FileIdentity> identity = IdentifyOpenFile(fd);
  ::close(fd);
  return identity.value();
}

void Write(FileReplacement& replacement, const std::string& bytes) {
  ASSERT_EQ(::write(replacement.fd(), bytes.data(), bytes.size()),
            static_cast<ssize_t>(bytes.size()));
}

const char* StepName(FileStep step) {
  switch (step) {
    case FileStep::kStored:
      return "Stored";
    case FileStep::kWritten:
      return "Written";
    case FileStep::kBeforeSync:
      return "BeforeSync";
    case FileStep::kBeforeRename:
      return "BeforeRename";
    case FileStep::kRenamed:
      return "Renamed";
  }
  return "?";
}

class Replace : public ::testing::Test {
 protected:
  void SetUp() override {
    target_ = folder_ / "book.xlsx";
    WriteBytes(target_, "old content");
  }
  void TearDown() override { SetFileStepHook(nullptr); }
  // Replaces the target with "new content", as opened now.
  void ReplaceNow() {
    FileReplacement replacement(target_, Identify(target_), "book.xlsx");
    Write(replacement, "new content");
    replacement.Commit();
  }

  ScratchFolder folder_;
  std::string target_;
};

TEST_F(Replace, PutsTheNewFileInPlaceWithTheOriginalsOwnerAndModeAndLeavesNothingElse) {
  ::chmod(target_.c_str(), 02640);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(target_.c_str(), 65534, 65534), 0);
  }
  const FileIdentity before = Identify(target_);
  {
    FileReplacement replacement(target_, before, "book.xlsx");
    // Private to this process until it is complete.
    EXPECT_EQ(StatusOf(replacement.path()).st_mode & 07777, 0600u);
    EXPECT_EQ(fs::path(replacement.path()).parent_path(), fs::path(folder_.path()));
    Write(replacement, "new content");
    replacement.Commit();
    const int fd = replacement.ReleaseDescriptor();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Identify(target_).inode, IdentifyOpenFile(fd)->inode);
    ::close(fd);
  }
  EXPECT_EQ(ReadBytes(target_), "new content");
  const struct stat after = StatusOf(target_);
  EXPECT_NE(after.st_ino, before.inode);
  EXPECT_EQ(after.st_mode & 07777, 02640u);
  if (root) {
    EXPECT_EQ(after.st_uid, 65534u);
    EXPECT_EQ(after.st_gid, 65534u);
  }
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{"book.xlsx"});
}

TEST_F(Replace, NeverTouchesThePathAfterTheRename) {
  // Whoever may write the folder can swap a link in at that moment: a file of the user running
  // the program must keep its mode, owner and content.
  const std::string victim = folder_ / "victim";
  WriteBytes(victim, "secret");
  ::chmod(victim.c_str(), 0600);
  ::chmod(target_.c_str(), 0666);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(target_.c_str(), 65534, 65534), 0);
  }
  SetFileStepHook([&](FileStep step, const std::string&) {
    if (step != FileStep::kRenamed) return;
    fs::remove(target_);
    fs::create_symlink(victim, target_);
  });
  ReplaceNow();
  const struct stat status = StatusOf(victim);
  EXPECT_EQ(status.st_mode & 07777, 0600u);
  EXPECT_EQ(status.st_uid, ::geteuid());
  EXPECT_EQ(ReadBytes(victim), "secret");
}

// What another program does to the workbook while it is being converted, and what the save says.
struct Meanwhile {
  const char* name;
  std::function<void(const std::string& target)> act;
  const char* reason;
  const char* left;  // the target's content afterwards; nullptr when it is gone
};

class ChangedMeanwhile : public Replace, public ::testing::WithParamInterface<Meanwhile> {};

TEST_P(ChangedMeanwhile, WritesNothingAndSaysWhy) {
  const Meanwhile& meanwhile = GetParam();
  const FileIdentity opened = Identify(target_);
  meanwhile.act(target_);
  FileReplacement replacement(target_, opened, "book.xlsx");
  Write(replacement, "new content");
  try {
    replacement.Commit();
    FAIL() << "saved over the other program's change";
  } catch (const WorkbookError& error) {
    EXPECT_EQ(error.file(), "book.xlsx");
    EXPECT_NE(error.reason().find(meanwhile.reason), std::string::npos) << error.reason();
  }
  if (meanwhile.left) {
    EXPECT_EQ(ReadBytes(target_), meanwhile.left);
  } else {
    EXPECT_FALSE(fs::exists(target_));
  }
  for (const std::string& name : folder_.Names()) {
    EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    OtherPrograms, ChangedMeanwhile,
    ::testing::Values(
        Meanwhile{"NewFileRenamedOver",
                  [](const std::string& target) {
                    WriteBytes(target + ".new", "their version");
                    fs::rename(target + ".new", target);
                  },
                  "another program changed or replaced the file", "their version"},
        Meanwhile{"RewrittenInPlace",
                  [](const std::string& target) { WriteBytes(target, "their longer version"); },
                  "another program changed or replaced the file", "their longer version"},
        Meanwhile{"Removed", [](const std::string& target) { fs::remove(target); },
                  "removed or renamed by another program", nullptr},
        Meanwhile{"GivenASecondName",
                  [](const std::string& target) { fs::create_hard_link(target, target + ".2"); },
                  "it has 2 names (hard links)", "old content"}),
    [](const auto& info) { return std::string(info.param.name); });

class StepFails : public Replace, public ::testing::WithParamInterface<FileStep> {};

TEST_P(StepFails, LeavesTheOriginalAndNoNewFile) {
  const FileStep failing = GetParam();
  SetFileStepHook([failing](FileStep step, const std::string&) {
    if (step == failing) throw std::runtime_error("the disk is on fire");
  });
  try {
    ReplaceNow();
    FAIL() << "saved";
  } catch (const WorkbookError& error) {
    EXPECT_EQ(error.file(), "book.xlsx");
    EXPECT_EQ(error.reason(), "cannot save: the disk is on fire");
  }
  EXPECT_EQ(ReadBytes(target_), "old content");
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{"book.xlsx"});
}

INSTANTIATE_TEST_SUITE_P(Steps, StepFails,
                         ::testing::Values(FileStep::kWritten, FileStep::kBeforeSync,
                                           FileStep::kBeforeRename),
                         [](const auto& info) { return std::string(StepName(info.param)); });

class KilledAt : public Replace, public ::testing::WithParamInterface<FileStep> {};

TEST_P(KilledAt, LeavesTheWholeOldOrTheWholeNewFile) {
  const FileStep fatal = GetParam();
  const int status = InChild([&] {
    SetFileStepHook([fatal](FileStep step, const std::string&) {
      if (step == fatal) ::raise(SIGKILL);
    });
    ReplaceNow();
  });
  EXPECT_TRUE(KilledBySignal(status, SIGKILL)) << status;
  EXPECT_EQ(ReadBytes(target_), GetParam() == FileStep::kRenamed ? "new content" : "old content");
}

INSTANTIATE_TEST_SUITE_P(Steps, KilledAt,
                         ::testing::Values(FileStep::kWritten, FileStep::kBeforeSync,
                                           FileStep::kBeforeRename, FileStep::kRenamed),
                         [](const auto& info) { return std::string(StepName(info.param)); });

TEST_F(Replace, ANewFileReplacesNothingAndTakesTheFirstFreeName) {
  WriteBytes(folder_ / "copy 1", "earlier copy");
  ::chmod(target_.c_str(), 0751);
  FileReplacement copy(folder_ / "copy 1", Identify(target_), "book.xlsx");
  Write(copy, "new copy");
  const std::string placed =
      copy.CommitAsNew([&](int number) { return folder_ / ("copy " + std::to_string(number)); }, 5);
  EXPECT_EQ(placed, folder_ / "copy 2");
  EXPECT_EQ(ReadBytes(folder_ / "copy 1"), "earlier copy");
  EXPECT_EQ(ReadBytes(placed), "new copy");
  EXPECT_EQ(StatusOf(placed).st_mode & 07777, 0640u);  // no execute bits
  EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"book.xlsx", "copy 1", "copy 2"}));
}

TEST_F(Replace, LeftoversOfAnUnfinishedSaveAreRemovedOnRequest) {
  FileReplacement replacement(target_, Identify(target_), "book.xlsx");
  Write(replacement, "half");
  EXPECT_TRUE(fs::exists(replacement.path()));
  // Another file now under a registered name is not removed.
  const std::string other = folder_ / "other";
  WriteBytes(other, "x");
  const int fd = ::open(other.c_str(), O_RDONLY | O_CLOEXEC);
  RegisterLeftover(other, fd);
  ::close(fd);
  WriteBytes(other + ".new", "someone else's");
  fs::rename(other + ".new", other);
  RemoveLeftovers();
  EXPECT_FALSE(fs::exists(replacement.path()));
  EXPECT_EQ(ReadBytes(other), "someone else's");
  EXPECT_EQ(ReadBytes(target_), "old content");
}

}  // namespace
}  // namespace quillory::workbook
