#include "cli/commands.h"

namespace quillory::cli {

void AddConvertCommand(CLI::App&, CommandContext&) {}

}  // namespace quillory::cli
