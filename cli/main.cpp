#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <iostream>
#include <streambuf>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/backends.h"
#include "platform/posix/backup_copy.h"
#include "platform/posix/in_use.h"
#include "platform/qt/settings_store.h"
#include "platform/spellout/numbertext_speakers.h"

namespace {

// Standard input in large blocks: each refill is one read() of whatever is there, so a file
// comes in a megabyte at a time and a terminal a line at a time.
class StandardInputBuffer : public std::streambuf {
 public:
  StandardInputBuffer() : block_(1 << 20) {}

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    ssize_t got;
    do {
      got = ::read(STDIN_FILENO, block_.data(), block_.size());
    } while (got < 0 && errno == EINTR);
    if (got <= 0) return traits_type::eof();
    setg(block_.data(), block_.data(), block_.data() + got);
    return traits_type::to_int_type(*gptr());
  }

 private:
  std::vector<char> block_;
};

}  // namespace

int main(int argc, char** argv) {
  quillory::CleanUpOnEndingSignals();
  // Backup names spell the weekday, month and AM/PM the way the user's locale does.
  std::setlocale(LC_TIME, "");
  // Standard output is buffered by the streams alone; nothing here writes through stdio.
  std::ios::sync_with_stdio(false);
  StandardInputBuffer input_buffer;
  std::istream input(&input_buffer);
  input.tie(&std::cout);  // a prompt is out before an answer is waited for, as with std::cin

  quillory::QtSettingsStore store;
  quillory::spellout::NumbertextSpeakers speakers;
  quillory::CliEnvironment env{store, input};
  env.speakers = &speakers;
  env.progress_to_terminal = isatty(STDERR_FILENO) != 0;
  env.applications = [](const std::string& name) -> quillory::workbook::ApplicationFactory {
    const auto backend = quillory::ParseBackend(name);
    if (!backend) return {};
    return quillory::MakeApplicationFactory(*backend);
  };
  env.spreadsheet_in_use = &quillory::posix::SpreadsheetInUse;
  env.start_backup = &quillory::posix::StartBackupCopy;
  env.now = [] { return std::chrono::system_clock::now(); };
  const int code =
      quillory::RunCli(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr, env);
  // Output that never arrived (a full disk, a closed pipe) is a failure, not a success.
  if (!std::cout.flush()) {
    std::cerr << "quillory-cli: standard output could not be written\n";
    return code == 0 ? 1 : code;
  }
  return code;
}
