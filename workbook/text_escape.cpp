#include "workbook/text_escape.h"

namespace quillory::workbook {

std::string EscapeText(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '\\':
        escaped += "\\\\";
        break;
      case '\t':
        escaped += "\\t";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\r':
        escaped += "\\r";
        break;
      default:
        if (u < 0x20 || u == 0x7F) {
          escaped += "\\x";
          escaped.push_back(kHex[u >> 4]);
          escaped.push_back(kHex[u & 0xF]);
        } else {
          escaped.push_back(c);
        }
    }
  }
  return escaped;
}

}  // namespace quillory::workbook
