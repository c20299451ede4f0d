#include "cli/commands.h"

namespace quillory::cli {

void AddCellsCommand(CLI::App&, CommandContext&) {}

}  // namespace quillory::cli
