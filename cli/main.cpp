#include <unistd.h>

#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/backends.h"
#include "platform/qt/settings_store.h"
#include "platform/spellout/numbertext_speakers.h"
#include "workbook/in_use.h"

int main(int argc, char** argv) {
  // Backup names spell the weekday, month and AM/PM the way the user's locale does.
  std::setlocale(LC_TIME, "");
  quillory::QtSettingsStore store;
  quillory::spellout::NumbertextSpeakers speakers;
  quillory::CliEnvironment env{store, std::cin};
  env.speakers = &speakers;
  env.progress_to_terminal = isatty(STDERR_FILENO) != 0;
  env.applications = [](const std::string& name) -> quillory::workbook::ApplicationFactory {
    const auto backend = quillory::ParseBackend(name);
    if (!backend) return {};
    return quillory::MakeApplicationFactory(*backend);
  };
  env.spreadsheet_in_use = &quillory::workbook::SpreadsheetInUse;
  env.now = [] { return std::chrono::system_clock::now(); };
  return quillory::RunCli(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                          env);
}
