// quillory-cli converting a legacy workbook through LibreOffice, ended every way it can end: it
// leaves no LibreOffice process, no temporary folder (the instance's profile with LibreOffice's
// lu*.tmp inside), no pipe socket, and beside the workbook no lock or unfinished new file.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/libreoffice/fixtures.h"

extern char** environ;

namespace quillory::libreoffice {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testing::ReadFile;
using testing::TempFolder;

bool WaitFor(const std::function<bool()>& done, std::chrono::seconds limit) {
  const auto deadline = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Runs quillory-cli with its temporary files in `tmp` and its settings in `config`.
pid_t StartCli(const std::vector<std::string>& args, const std::string& tmp,
               const std::string& config, const std::string& log) {
  std::vector<std::string> env = {"TMPDIR=" + tmp, "XDG_CONFIG_HOME=" + config};
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view variable(*entry);
    if (!variable.starts_with("TMPDIR=") && !variable.starts_with("XDG_CONFIG_HOME=")) {
      env.emplace_back(*entry);
    }
  }
  std::vector<std::string> argv_strings = {QUILLORY_CLI};
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<char*> argv, envp;
  for (auto& a : argv_strings) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    dup2(out, 1);
    dup2(out, 2);
    execve(QUILLORY_CLI, argv.data(), envp.data());
    _exit(127);
  }
  return pid;
}

// A LibreOffice process started for `tmp`'s program: its profile lies inside `tmp`.
bool OfficeRunsFor(const std::string& tmp) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    std::ifstream in(entry.path() / "cmdline", std::ios::binary);
    const std::string cmdline((std::istreambuf_iterator<char>(in)), {});
    if (cmdline.find("soffice.bin") != std::string::npos &&
        cmdline.find(tmp) != std::string::npos) {
      return true;
    }
  }
  return false;
}

bool PipeSocketLeft(pid_t cli) {
  const std::string prefix =
      "OSL_PIPE_" + std::to_string(getuid()) + "_quillory_" + std::to_string(cli) + "_";
  for (const char* folder : {"/tmp", "/var/tmp"}) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
      if (entry.path().filename().string().rfind(prefix, 0) == 0) return true;
    }
  }
  return false;
}

struct Ending {
  const char* name;
  int signal;  // 0: the run is left to finish
};

class CliEnds : public ::testing::TestWithParam<Ending> {
 protected:
  void SetUp() override {
    fs::create_directories(tmp_);
    fs::create_directories(folder_ / "config");
    testing::WriteSourceWorkbook(folder_ / "book.xlsx");
    testing::ConvertWithLibreOffice({{folder_ / "book.xlsx", book_, "MS Excel 97", "-"}});
    fs::remove(folder_ / "book.xlsx");
  }
  // Runs a conversion to its end; its exit status.
  int Convert() {
    const pid_t cli = StartCli({"convert", book_, "--no-backup", "--yes"}, tmp_, folder_ / "config",
                               folder_ / "cli.log");
    int status = -1;
    waitpid(cli, &status, 0);
    return status;
  }
  std::string Log() { return ReadFile(folder_ / "cli.log"); }
  // Names beside the workbook.
  std::vector<std::string> Beside() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_.Path())) {
      const std::string name = entry.path().filename().string();
      if (name != "tmp" && name != "config" && name != "cli.log") names.push_back(name);
    }
    return names;
  }

  TempFolder folder_;
  std::string tmp_ = folder_ / "tmp";
  std::string book_ = folder_ / "book.xls";
};

TEST_P(CliEnds, LeavesNothingBehind) {
  const Ending& ending = GetParam();
  const std::string original = ReadFile(book_);
  const pid_t cli = StartCli({"convert", book_, "--no-backup", "--yes"}, tmp_, folder_ / "config",
                             folder_ / "cli.log");
  if (ending.signal != 0) {
    // Once LibreOffice is up (its own temporary folder exists inside the profile).
    const bool started = WaitFor(
        [&] {
          std::error_code error;
          for (const auto& profile : fs::directory_iterator(tmp_, error)) {
            if (!fs::is_empty(profile.path() / "tmp", error) && !error) return true;
          }
          return false;
        },
        std::chrono::seconds(60));
    EXPECT_TRUE(started) << Log();
    kill(cli, ending.signal);
  }
  int status = -1;
  waitpid(cli, &status, 0);
  if (ending.signal == 0) {
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << " " << Log();
    EXPECT_NE(ReadFile(book_), original);
  } else {
    // Ended by the signal, as a shell expects (unless it had just finished).
    EXPECT_TRUE((WIFSIGNALED(status) && WTERMSIG(status) == ending.signal) ||
                (WIFEXITED(status) && WEXITSTATUS(status) == 0))
        << status << " " << Log();
  }
  // A killed program cleans nothing itself: its helper does, at once.
  const auto limit = std::chrono::seconds(ending.signal == SIGKILL ? 20 : 1);
  EXPECT_TRUE(WaitFor([&] { return fs::is_empty(tmp_); }, limit))
      << "left in the temporary folder: " << fs::directory_iterator(tmp_)->path();
  EXPECT_TRUE(WaitFor([&] { return !OfficeRunsFor(tmp_); }, limit));
  EXPECT_TRUE(WaitFor([&] { return !PipeSocketLeft(cli); }, limit));

  if (ending.signal == SIGKILL) {
    // A lock left by the killed run is taken over by the next one.
    EXPECT_EQ(Convert(), 0) << Log();
    EXPECT_TRUE(fs::is_empty(tmp_));
  }
  EXPECT_EQ(Beside(), std::vector<std::string>{"book.xls"});
}

INSTANTIATE_TEST_SUITE_P(Endings, CliEnds,
                         ::testing::Values(Ending{"Finished", 0}, Ending{"Interrupted", SIGINT},
                                           Ending{"Terminated", SIGTERM},
                                           Ending{"Killed", SIGKILL}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillory::libreoffice
