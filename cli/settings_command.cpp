#include "cli/commands.h"

namespace quillory::cli {

void AddSettingsCommands(CLI::App&, CommandContext&) {}

}  // namespace quillory::cli
