#pragma once

#include <string>
#include <string_view>

namespace quillory::workbook {

// `text` on one line, control characters made visible: \\ \t \n \r, and \xHH (upper-case hex)
// for the others. How cell texts are shown in listings and in messages.
std::string EscapeText(std::string_view text);

}  // namespace quillory::workbook
