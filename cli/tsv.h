#pragma once

#include <string>
#include <string_view>

namespace quillory::cli {

// `text` as one TSV field that stays on one line: \\ \t \n \r, and \xHH (upper-case hex) for
// the other control characters.
std::string EscapeField(std::string_view text);

}  // namespace quillory::cli
