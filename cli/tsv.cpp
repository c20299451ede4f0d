#include "cli/tsv.h"

namespace quillory::cli {

std::string EscapeField(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string field;
  field.reserve(text.size());
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '\\':
        field += "\\\\";
        break;
      case '\t':
        field += "\\t";
        break;
      case '\n':
        field += "\\n";
        break;
      case '\r':
        field += "\\r";
        break;
      default:
        if (u < 0x20 || u == 0x7F) {
          field += "\\x";
          field.push_back(kHex[u >> 4]);
          field.push_back(kHex[u & 0xF]);
        } else {
          field.push_back(c);
        }
    }
  }
  return field;
}

}  // namespace quillory::cli
