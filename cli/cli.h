#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "workbook/backup_copy.h"
#include "workbook/spreadsheet.h"

namespace quillory {

class SettingsStore;
class BuiltInSpeakers;

// What the command line needs from outside; the real program and the tests supply their own.
struct CliEnvironment {
  SettingsStore& store;
  std::istream& in;
  // The words of the built-in languages; without them those names are stored languages.
  BuiltInSpeakers* speakers = nullptr;
  bool progress_to_terminal = false;  // standard error is a terminal
  // Makes the application for a workbook under the chosen backend ("auto", "embedded",
  // "libreoffice"); nothing when the name is unknown.
  std::function<workbook::ApplicationFactory(const std::string& backend)> applications = {};
  // True when another program may have one of the workbooks open.
  std::function<bool(const std::vector<std::string>& paths)> spreadsheet_in_use = {};
  std::function<std::chrono::system_clock::time_point()> now = {};
  workbook::BackupMaker start_backup = {};  // how backups are made
};

// Runs one command line (without the program name). Returns the exit code: 0 done, 1 failed,
// 2 bad usage.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           CliEnvironment& env);

}  // namespace quillory
