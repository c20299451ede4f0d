#pragma once

#include <string>
#include <string_view>

namespace quillory::xlsx::xml {

// Workbook strings carry the characters XML cannot as _xHHHH_ (UTF-16 code units in hex).
// Decoding joins surrogate pairs and turns a lone surrogate into U+FFFD. Encoding escapes control
// characters other than tab and line feed (a carriage return too: a raw one would read back as a
// line feed), U+FFFE and U+FFFF, and the underscore of a literal "_xHHHH_" so that it reads back
// as written; bytes that are not UTF-8 become U+FFFD.
std::string DecodeCellEscapes(std::string_view text);
std::string EncodeCellEscapes(std::string_view text);

}  // namespace quillory::xlsx::xml
