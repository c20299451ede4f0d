#pragma once

#include <charconv>
#include <cstdint>
#include <string_view>

#include "platform/xlsx/xml_scan.h"

// What the files of the worksheet part share: its index and scan (worksheet_part.cpp), the
// displayed values (worksheet_values.cpp), the shared-formula hand-off (worksheet_formulas.cpp)
// and the writer (worksheet_writer.cpp).
namespace quillory::xlsx::worksheet {

using xml::Token;
using xml::TokenKind;

// A whole attribute value as an unsigned number ("12"); false for anything else.
inline bool ParseUnsigned(std::string_view text, std::uint32_t* value) {
  if (text.empty()) return false;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), *value);
  return result.ec == std::errc{} && result.ptr == text.data() + text.size();
}

}  // namespace quillory::xlsx::worksheet
