#include "workbook/workbook_lock.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "tests/workbook/scratch_folder.h"
#include "workbook/spreadsheet.h"

namespace quillory::workbook {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::ScratchFolder;
using testing::WriteBytes;

std::string Host() {
  char name[256] = {};
  ::gethostname(name, sizeof name - 1);
  return name;
}

std::string Reason(const std::string& path, OtherLocks other_locks = OtherLocks::kRefuse) {
  try {
    WorkbookLock::Acquire(path, other_locks);
  } catch (const WorkbookError& error) {
    EXPECT_EQ(error.file(), path);
    return error.reason();
  }
  return "";
}

class Lock : public ::testing::Test {
 protected:
  void SetUp() override {
    book_ = folder_ / "book.xlsx";
    lock_file_ = folder_ / ".~lock.book.xlsx#";
    WriteBytes(book_, "PK");
  }
  ScratchFolder folder_;
  std::string book_;
  std::string lock_file_;
};

TEST_F(Lock, WritesALockFileInLibreOfficesLayoutAndRemovesItWhenReleased) {
  {
    const auto lock = WorkbookLock::Acquire(book_, OtherLocks::kRefuse);
    ASSERT_TRUE(lock);
    EXPECT_EQ(lock->LockFile(), lock_file_);
    const std::string content = ReadBytes(lock_file_);
    EXPECT_EQ(content.substr(content.size() - 2), ";\n");
    const std::vector<std::string> fields = LockFileFields(content);
    ASSERT_EQ(fields.size(), 5u) << content;
    const passwd* user = ::getpwuid(::geteuid());
    ASSERT_TRUE(user);
    EXPECT_EQ(fields[0], std::string("Quillory (") + user->pw_name + ")");
    EXPECT_EQ(fields[1], "Quillory");
    EXPECT_EQ(fields[2], Host());
    EXPECT_TRUE(std::regex_match(fields[3], std::regex(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d)")))
        << fields[3];
    EXPECT_EQ(fields[4], "quillory:" + std::to_string(::getpid()));
  }
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{"book.xlsx"});
}

TEST_F(Lock, ASecondProcessIsRefusedUntilTheFirstHasFinished) {
  int ready[2], done[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(done), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    {
      const auto lock = WorkbookLock::Acquire(book_, OtherLocks::kRefuse);
      char byte = lock ? 'y' : 'n';
      if (::write(ready[1], &byte, 1) != 1 || ::read(done[0], &byte, 1) != 1) ::_exit(2);
    }
    ::_exit(0);
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 'y');
  const std::string reason = Reason(book_, OtherLocks::kIgnore);
  EXPECT_EQ(reason.rfind("it is being converted by another Quillory run (process " +
                             std::to_string(child) + " of ",
                         0),
            0u)
      << reason;
  EXPECT_NE(reason.find(" on " + Host() + ", since "), std::string::npos) << reason;
  EXPECT_NE(reason.find("; try again when that run has finished"), std::string::npos) << reason;
  ASSERT_EQ(::write(done[1], "x", 1), 1);
  int status = -1;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(WorkbookLock::Acquire(book_, OtherLocks::kRefuse));
  for (int fd : {ready[0], ready[1], done[0], done[1]}) ::close(fd);
}

TEST_F(Lock, TheLockOfARunThatWasKilledIsTakenOver) {
  const int status = testing::InChild([&] {
    const auto lock = WorkbookLock::Acquire(book_, OtherLocks::kRefuse);
    ::raise(SIGKILL);
  });
  ASSERT_TRUE(testing::KilledBySignal(status, SIGKILL));
  ASSERT_TRUE(fs::exists(lock_file_));
  const auto lock = WorkbookLock::Acquire(book_, OtherLocks::kRefuse);
  ASSERT_TRUE(lock);
  EXPECT_EQ(LockFileFields(ReadBytes(lock_file_))[4], "quillory:" + std::to_string(::getpid()));
}

// A lock or owner file already beside the workbook: refused with the reason, or taken over.
struct Existing {
  const char* name;
  const char* file;
  std::string content;  // "{host}" stands for this machine's name
  const char* refused;  // the reason, or nullptr when the lock is taken over
};

class ExistingLock : public Lock, public ::testing::WithParamInterface<Existing> {
 protected:
  std::string Content() const {
    std::string content = GetParam().content;
    if (const auto at = content.find("{host}"); at != std::string::npos) {
      content.replace(at, 6, Host());
    }
    return content;
  }
};

TEST_P(ExistingLock, IsHonouredOrTakenOver) {
  const Existing& existing = GetParam();
  const std::string file = folder_ / existing.file;
  WriteBytes(file, Content());
  if (existing.refused) {
    EXPECT_EQ(Reason(book_), existing.refused);
    EXPECT_EQ(ReadBytes(file), Content());
    EXPECT_EQ(folder_.Names().size(), 2u);
    // Unless the user chose to go on: then without a lock of ours, another program's left alone.
    if (std::string(existing.refused).find("another program") != std::string::npos) {
      EXPECT_FALSE(WorkbookLock::Acquire(book_, OtherLocks::kIgnore));
      EXPECT_EQ(ReadBytes(file), Content());
    }
  } else {
    const auto lock = WorkbookLock::Acquire(book_, OtherLocks::kRefuse);
    ASSERT_TRUE(lock);
    EXPECT_EQ(LockFileFields(ReadBytes(file))[4], "quillory:" + std::to_string(::getpid()));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, ExistingLock,
    ::testing::Values(
        Existing{"LibreOffice", ".~lock.book.xlsx#",
                 "Ann Smith,ann,desk,06.12.2026 08:00,file:///home/ann/.config/libreoffice/4;\n",
                 "it is open in another program (Ann Smith on desk since 06.12.2026 08:00, lock "
                 "file .~lock.book.xlsx#); close it there, or delete the lock file if that program "
                 "is no longer running"},
        Existing{"LibreOfficeWithoutAName", ".~lock.book.xlsx#",
                 ",ann,desk,06.12.2026 08:00,file:///home/ann/.config/libreoffice/4;",
                 "it is open in another program (ann on desk since 06.12.2026 08:00, lock file "
                 ".~lock.book.xlsx#); close it there, or delete the lock file if that program is "
                 "no longer running"},
        Existing{"OtherSuitesOwnerFile", "~$book.xlsx",
                 "\x03"
                 "ann",
                 "it is open in another program (lock file ~$book.xlsx); close it there, or "
                 "delete the lock file if that program is no longer running"},
        Existing{"QuilloryOnAnotherMachine", ".~lock.book.xlsx#",
                 "Quillory (ann),Quillory,elsewhere,06.12.2026 08:00,quillory:42;\n",
                 "it is being converted by another Quillory run (process 42 of ann on elsewhere, "
                 "since 06.12.2026 08:00); try again when that run has finished, or delete the "
                 "lock file .~lock.book.xlsx# if no Quillory runs there any more"},
        Existing{"QuilloryHereThatEnded", ".~lock.book.xlsx#",
                 "Quillory (ann),Quillory,{host},06.12.2026 08:00,quillory:42;\n", nullptr},
        Existing{"EmptyFile", ".~lock.book.xlsx#", "", nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Lock, AWorkbookWithSeveralNamesIsRefused) {
  fs::create_hard_link(book_, folder_ / "other name.xlsx");
  EXPECT_EQ(Reason(book_, OtherLocks::kIgnore),
            "it has 2 names (hard links): saving writes a new file, so the other names would keep "
            "the old content; it was left unchanged (convert a copy, or remove the other names "
            "first)");
  EXPECT_EQ(folder_.Names().size(), 2u);
}

TEST_F(Lock, ALinkedWorkbookIsLockedBesideTheFileItself) {
  fs::create_directories(folder_ / "links");
  fs::create_symlink(book_, folder_ / "links/link.xlsx");
  const auto lock = WorkbookLock::Acquire(folder_ / "links/link.xlsx", OtherLocks::kRefuse);
  ASSERT_TRUE(lock);
  EXPECT_EQ(lock->LockFile(), lock_file_);
  EXPECT_TRUE(fs::exists(lock_file_));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_ / "links"), fs::directory_iterator()), 1);
}

TEST_F(Lock, NothingIsLockedForAFileThatIsNotThere) {
  EXPECT_FALSE(WorkbookLock::Acquire(folder_ / "missing.xlsx", OtherLocks::kRefuse));
  EXPECT_FALSE(WorkbookLock::Acquire(folder_.path(), OtherLocks::kRefuse));
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{"book.xlsx"});
}

TEST_F(Lock, AReadOnlyFolderIsSaidSo) {
  fs::permissions(folder_.path(), fs::perms::owner_read | fs::perms::owner_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
  // Root writes into read-only folders, so the lock is tried as nobody in a child process.
  const int status = testing::InChild([&] {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      ::_exit(3);
    }
    const std::string reason = Reason(book_);
    ::_exit(reason.find("the folder " + folder_.path() + " is read-only") == 0 ? 0 : 1);
  });
  EXPECT_EQ(status, 0);
}

TEST(LockFileFields, UndoEscapesAndStopAtTheEntrysEnd) {
  EXPECT_EQ(LockFileFields("a\\,b,c\\;d,\\\\e;rest,more"),
            (std::vector<std::string>{"a,b", "c;d", "\\e"}));
  EXPECT_EQ(LockFileFields(""), std::vector<std::string>{""});
}

}  // namespace
}  // namespace quillory::workbook
