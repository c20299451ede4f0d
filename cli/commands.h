#pragma once

#include <iosfwd>

#include <CLI/CLI.hpp>

#include "cli/cli.h"

namespace quillory::cli {

// Shared by the subcommands of one invocation; a subcommand's callback sets `exit_code`.
struct CommandContext {
  CliEnvironment& env;
  std::ostream& out;
  std::ostream& err;
  int exit_code = 0;
};

// 0, or 1 with a message on standard error when a write did not reach the store (the value
// would be gone next run).
int WriteResult(CommandContext& context);

// Each adds its subcommands to `app`; the callbacks capture `context`.
void AddWordsCommands(CLI::App& app, CommandContext& context);     // words, letters
void AddSettingsCommands(CLI::App& app, CommandContext& context);  // settings get|set
void AddCellsCommand(CLI::App& app, CommandContext& context);      // cells
void AddConvertCommand(CLI::App& app, CommandContext& context);    // convert
void AddLanguageCommands(CLI::App& app, CommandContext& context);  // language ...

}  // namespace quillory::cli
