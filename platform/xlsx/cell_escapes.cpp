#include "platform/xlsx/cell_escapes.h"

#include <charconv>
#include <cstdint>

#include "engine/unicode.h"

namespace quillory::xlsx::xml {
namespace {

// Reads "_xHHHH_" at `pos`; returns the code unit or -1.
int ReadEscape(std::string_view text, std::size_t pos) {
  if (pos + 7 > text.size() || text[pos] != '_' || text[pos + 1] != 'x' || text[pos + 6] != '_') {
    return -1;
  }
  unsigned value = 0;  // unsigned: no sign is read
  const char* digits = text.data() + pos + 2;
  const auto [end, error] = std::from_chars(digits, digits + 4, value, 16);
  return error == std::errc() && end == digits + 4 ? static_cast<int>(value) : -1;
}

void AppendEscapeCode(std::uint32_t code, std::string* out) {
  static const char kHex[] = "0123456789ABCDEF";
  out->append("_x");
  for (int shift = 12; shift >= 0; shift -= 4) out->push_back(kHex[(code >> shift) & 0xF]);
  out->push_back('_');
}

}  // namespace

std::string DecodeCellEscapes(std::string_view text) {
  if (text.find("_x") == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const int unit = ReadEscape(text, pos);
    if (unit < 0) {
      out.push_back(text[pos++]);
      continue;
    }
    pos += 7;
    char32_t cp = static_cast<char32_t>(unit);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      const int low = ReadEscape(text, pos);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
             (static_cast<char32_t>(low) - 0xDC00);
        pos += 7;
      } else {
        cp = 0xFFFD;
      }
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      cp = 0xFFFD;
    }
    unicode::AppendUtf8(cp, out);
  }
  return out;
}

std::string EncodeCellEscapes(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      if ((u < 0x20 && c != '\t' && c != '\n') || u == 0x7F) {
        AppendEscapeCode(u, &out);  // CR too: a raw one would read back as LF
      } else if (c == '_' && ReadEscape(text, pos) >= 0) {
        AppendEscapeCode('_', &out);  // keeps a literal "_x0041_" from being decoded
      } else {
        out.push_back(c);
      }
      ++pos;
      continue;
    }
    char32_t cp = 0;
    const std::size_t length = unicode::Utf8SequenceAt(text, pos, cp);
    if (length == 0) {
      unicode::AppendUtf8(0xFFFD, out);
      ++pos;
    } else if (cp == 0xFFFE || cp == 0xFFFF) {
      AppendEscapeCode(static_cast<std::uint32_t>(cp), &out);
      pos += length;
    } else {
      out.append(text.substr(pos, length));
      pos += length;
    }
  }
  return out;
}

}  // namespace quillory::xlsx::xml
