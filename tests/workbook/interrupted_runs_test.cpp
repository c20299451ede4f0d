// Runs that meet each other or end half-way: two runs on one workbook, and quillory-cli killed at
// random moments while it converts and backs up workbooks. Whatever the moment, every workbook is
// either as it was or wholly converted, and every file under a backup's name is a whole copy.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <chrono>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <thread>

#include "cli/cli.h"
#include "engine/settings.h"
#include "platform/backends.h"
#include "platform/posix/backup_copy.h"
#include "workbook/file_replace.h"

extern char** environ;

namespace quillory {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void MakeSmallBook(const fs::path& path, double value) {
  lxw_workbook* book = workbook_new(path.c_str());
  worksheet_write_number(workbook_add_worksheet(book, "Sheet1"), 0, 0, value, nullptr);
  ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);
}

// Sheet1!A1 as the embedded engine reads it; "" when the file does not open.
std::string A1(const fs::path& path) {
  try {
    auto application = MakeApplicationFactory(Backend::Embedded)(path.string());
    return application->Open(path.string())->Worksheets().at(0)->Text(1, 1);
  } catch (const std::exception&) {
    return "";
  }
}

class InterruptedRuns : public ::testing::Test {
 protected:
  void SetUp() override {
    std::setlocale(LC_TIME, "C");
    std::string pattern = (fs::temp_directory_path() / "quillory-runs-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
    env_.applications = [](const std::string& name) -> workbook::ApplicationFactory {
      const auto backend = ParseBackend(name);
      return backend ? MakeApplicationFactory(*backend) : workbook::ApplicationFactory{};
    };
    env_.spreadsheet_in_use = [](const auto&) { return false; };
    env_.start_backup = &posix::StartBackupCopy;
    env_.now = [] { return std::chrono::system_clock::now(); };
  }
  void TearDown() override {
    workbook::SetFileStepHook(nullptr);
    fs::remove_all(folder_);
  }
  int Cli(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    args.insert(args.begin(), "convert");
    return RunCli(args, out_, err_, env_);
  }

  fs::path folder_;
  MemorySettings store_;
  std::istringstream in_;
  CliEnvironment env_{store_, in_};
  std::ostringstream out_, err_;
};

TEST_F(InterruptedRuns, ASecondRunOnAWorkbookBeingConvertedFailsItNamingTheFirst) {
  const fs::path book = folder_ / "book.xlsx";
  MakeSmallBook(book, 5);
  int at_save[2], go_on[2];
  ASSERT_EQ(::pipe(at_save), 0);
  ASSERT_EQ(::pipe(go_on), 0);
  const pid_t first = ::fork();
  if (first == 0) {
    // The first run stops just before its new file is put in place.
    workbook::SetFileStepHook([&](workbook::FileStep step, const std::string&) {
      if (step != workbook::FileStep::kWritten) return;
      char byte = 0;
      if (::write(at_save[1], "s", 1) != 1 || ::read(go_on[0], &byte, 1) != 1) ::_exit(3);
    });
    ::_exit(Cli({book.string(), "--no-backup"}));
  }
  char byte = 0;
  ASSERT_EQ(::read(at_save[0], &byte, 1), 1);

  EXPECT_EQ(Cli({book.string(), "--no-backup"}), 1);
  EXPECT_NE(err_.str().find(book.string() +
                            " was not converted: it is being converted by another Quillory run "
                            "(process " +
                            std::to_string(first) + " of "),
            std::string::npos)
      << err_.str();

  ASSERT_EQ(::write(go_on[1], "g", 1), 1);
  int status = -1;
  ::waitpid(first, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(A1(book), "Five");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
  for (const int fd : {at_save[0], at_save[1], go_on[0], go_on[1]}) ::close(fd);
}

// quillory-cli converting `books` with backups, its settings kept in `config`. With `yes` the
// in-use question is answered beforehand, so office programs of other tests cannot stop the run.
pid_t StartCli(const std::vector<fs::path>& books, const fs::path& config, bool yes = true) {
  std::vector<std::string> args = {QUILLORY_CLI, "convert"};
  if (yes) args.push_back("--yes");
  for (const fs::path& book : books) args.push_back(book.string());
  std::vector<std::string> env = {"XDG_CONFIG_HOME=" + config.string()};
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (!std::string_view(*entry).starts_with("XDG_CONFIG_HOME=")) env.emplace_back(*entry);
  }
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execve(QUILLORY_CLI, argv.data(), envp.data());
    ::_exit(127);
  }
  return pid;
}

TEST_F(InterruptedRuns, AKillAtAnyMomentLeavesWholeWorkbooksAndWholeBackups) {
  const char* const words[] = {"One", "Two", "Three", "Four", "Five", "Six"};
  const fs::path originals = folder_ / "originals";
  fs::create_directories(originals);
  std::vector<std::string> bytes;
  for (int i = 0; i < 6; ++i) {
    MakeSmallBook(originals / ("book" + std::to_string(i) + ".xlsx"), i + 1);
    bytes.push_back(ReadFile(originals / ("book" + std::to_string(i) + ".xlsx")));
  }
  const auto trial_books = [&](const fs::path& trial) {
    fs::create_directories(trial);
    std::vector<fs::path> books;
    for (int i = 0; i < 6; ++i) {
      books.push_back(trial / ("book" + std::to_string(i) + ".xlsx"));
      fs::copy_file(originals / books.back().filename(), books.back());
    }
    return books;
  };

  // How long a whole run takes here, so the kills fall within one.
  const auto start = std::chrono::steady_clock::now();
  int status = -1;
  ::waitpid(StartCli(trial_books(folder_ / "timing"), folder_ / "config"), &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - start);

  std::mt19937 random(20261206);
  std::uniform_int_distribution<long> moment(0, whole.count());
  int converted = 0, untouched = 0, backups = 0;
  for (int trial = 0; trial < 25; ++trial) {
    const fs::path folder = folder_ / ("trial" + std::to_string(trial));
    const std::vector<fs::path> books = trial_books(folder);
    const pid_t cli = StartCli(books, folder_ / "config");
    std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
    ::kill(cli, SIGKILL);
    ::waitpid(cli, &status, 0);

    for (int i = 0; i < 6; ++i) {
      const std::string now = ReadFile(books[static_cast<std::size_t>(i)]);
      if (now == bytes[static_cast<std::size_t>(i)]) {
        ++untouched;
      } else {
        EXPECT_EQ(A1(books[static_cast<std::size_t>(i)]), words[i])
            << "trial " << trial << ": " << books[static_cast<std::size_t>(i)];
        ++converted;
      }
    }
    for (const auto& entry : fs::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      const auto at = name.find(" Backup ");
      if (at == std::string::npos || name.starts_with(".~")) continue;
      ++backups;
      const int i = name[4] - '0';
      EXPECT_EQ(ReadFile(entry.path()), bytes[static_cast<std::size_t>(i)])
          << "trial " << trial << ": " << name;
    }
  }
  // The kills fell throughout the runs.
  EXPECT_GT(converted, 0);
  EXPECT_GT(untouched, 0);
  EXPECT_GT(backups, 0);

  // Locks of the killed runs do not stop the next (the lock files ask the in-use question first).
  const fs::path last = folder_ / "trial24";
  std::vector<fs::path> again;
  for (int i = 0; i < 6; ++i) again.push_back(last / ("book" + std::to_string(i) + ".xlsx"));
  ::waitpid(StartCli(again, folder_ / "config"), &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  for (const auto& entry : fs::directory_iterator(last)) {
    EXPECT_FALSE(entry.path().filename().string().starts_with(".~lock."))
        << entry.path() << " was left";
  }
}

}  // namespace
}  // namespace quillory
