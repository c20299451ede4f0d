#include "cli/commands.h"

namespace quillory::cli {

void AddLanguageCommands(CLI::App&, CommandContext&) {}

}  // namespace quillory::cli
