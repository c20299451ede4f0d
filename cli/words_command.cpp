#include "cli/commands.h"

namespace quillory::cli {

void AddWordsCommands(CLI::App&, CommandContext&) {}

}  // namespace quillory::cli
