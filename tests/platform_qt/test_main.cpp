// Every test runs against a store in a fresh temporary folder: XDG_CONFIG_HOME is pointed there
// before the first QSettings is made, so the user's own settings are never read or written.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string_view>

#include "engine/languages.h"
#include "platform/qt/settings_store.h"
#include "tests/platform_qt/temp_store.h"

extern char** environ;

namespace quillory::test {
namespace {

constexpr std::string_view kReadMode = "--read-settings";
constexpr std::string_view kWriteMode = "--write-setting";
constexpr std::string_view kLanguageMode = "--language-rounds";
std::string config_home;

// The other process's side: for each key "-" when absent, else "+LENGTH\n" and the value.
int PrintSettings(int count, char** keys) {
  QtSettingsStore store;
  for (int i = 0; i < count; ++i) {
    if (!store.HasSetting(keys[i])) {
      std::cout << "-\n";
      continue;
    }
    const std::string value = store.ReadSetting(keys[i], "");
    std::cout << '+' << value.size() << '\n' << value;
  }
  return 0;
}

int WriteSetting(char* key, char* value) {
  QtSettingsStore store;
  store.WriteSetting(key, value);
  std::cout << store.WriteError();
  return 0;
}

// One store for the whole process, as the window keeps one: what other processes write must be
// read again before each change.
int LanguageRounds(const std::string& prefix, int rounds) {
  QtSettingsStore store;
  for (int i = 1; i <= rounds; ++i) {
    if (AddLanguage(store, prefix + std::to_string(i)) != AddLanguageResult::Added) return 1;
    if (i % 2 == 0 && !DeleteLanguage(store, prefix + std::to_string(i - 1))) return 1;
  }
  return store.WriteError().empty() ? 0 : 1;
}

std::vector<std::string> EnvironmentFor(const std::string& config_home) {
  std::vector<std::string> env_texts = {"XDG_CONFIG_HOME=" + config_home};
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::string_view(*entry).rfind("XDG_CONFIG_HOME=", 0) != 0) env_texts.emplace_back(*entry);
  }
  return env_texts;
}

// Starts this program again with `args`; its standard output goes to `output_fd` when given.
pid_t SpawnSelf(std::vector<std::string> args, const std::string& config_home, int output_fd,
                int close_fd) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (output_fd >= 0) posix_spawn_file_actions_adddup2(&actions, output_fd, STDOUT_FILENO);
  if (close_fd >= 0) posix_spawn_file_actions_addclose(&actions, close_fd);
  args.insert(args.begin(), "/proc/self/exe");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_texts = EnvironmentFor(config_home);
  std::vector<char*> envp;
  for (std::string& entry : env_texts) envp.push_back(entry.data());
  envp.push_back(nullptr);
  pid_t child = 0;
  const int spawned =
      posix_spawn(&child, "/proc/self/exe", &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return spawned == 0 ? child : -1;
}

// Runs this program again with `args` and returns what it printed.
std::string RunSelf(std::vector<std::string> args, const std::string& config_home) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) throw std::runtime_error("pipe failed");
  const pid_t child = SpawnSelf(std::move(args), config_home, pipe_ends[1], pipe_ends[0]);
  close(pipe_ends[1]);
  std::string output;
  char buffer[4096];
  for (ssize_t n; (n = read(pipe_ends[0], buffer, sizeof buffer)) > 0;) output.append(buffer, n);
  close(pipe_ends[0]);
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || status != 0) {
    throw std::runtime_error("the other process failed");
  }
  return output;
}

}  // namespace

std::string WriteInOtherProcess(const std::string& config_home, const std::string& key,
                                const std::string& value) {
  return RunSelf({std::string(kWriteMode), key, value}, config_home);
}

const std::string& TempConfigHome() {
  return config_home;
}

QtSettingsStore& TempStore() {
  static QtSettingsStore store;
  return store;
}

std::vector<std::optional<std::string>> ReadInOtherProcess(const std::vector<std::string>& keys) {
  std::vector<std::string> args = {std::string(kReadMode)};
  args.insert(args.end(), keys.begin(), keys.end());
  const std::string output = RunSelf(args, config_home);

  std::vector<std::optional<std::string>> values;
  std::size_t at = 0;
  while (at < output.size()) {
    if (output[at] == '-') {
      values.emplace_back(std::nullopt);
      at += 2;
      continue;
    }
    const std::size_t newline = output.find('\n', at);
    const std::size_t length = std::stoul(output.substr(at + 1, newline - at - 1));
    values.emplace_back(output.substr(newline + 1, length));
    at = newline + 1 + length;
  }
  return values;
}

void LanguageRoundsInOtherProcesses(const std::vector<std::string>& prefixes, int rounds) {
  std::vector<pid_t> children;
  for (const std::string& prefix : prefixes) {
    children.push_back(SpawnSelf({std::string(kLanguageMode), prefix, std::to_string(rounds)},
                                 config_home, -1, -1));
  }
  bool failed = false;
  for (const pid_t child : children) {
    int status = 0;
    failed |= child < 0 || waitpid(child, &status, 0) != child || status != 0;
  }
  if (failed) throw std::runtime_error("a language round failed");
}

}  // namespace quillory::test

int main(int argc, char** argv) {
  using namespace quillory::test;
  if (argc >= 2 && argv[1] == kReadMode) return PrintSettings(argc - 2, argv + 2);
  if (argc == 4 && argv[1] == kLanguageMode) return LanguageRounds(argv[2], std::atoi(argv[3]));
  if (argc == 4 && argv[1] == kWriteMode) return WriteSetting(argv[2], argv[3]);

  std::string pattern = (std::filesystem::temp_directory_path() / "quillory-store-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  config_home = pattern;
  setenv("XDG_CONFIG_HOME", config_home.c_str(), 1);

  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::filesystem::remove_all(config_home);
  return result;
}
