#pragma once

#include <optional>
#include <string>

#include "cli/commands.h"

namespace quillory {
class WordSource;
}

namespace quillory::cli {

// Makes `language` current in `words` (the stored default when absent) and, for a built-in
// language, `unit` the currency of its amounts. `option` names the command's language option in
// messages. Throws CLI::ValidationError when --unit is given for English or a stored language,
// or names a currency the language has no words for, and, with `known_only`, when `language`
// names no language at all.
void ChooseLanguage(CommandContext& context, WordSource& words,
                    const std::optional<std::string>& language,
                    const std::optional<std::string>& unit, bool known_only);

}  // namespace quillory::cli
