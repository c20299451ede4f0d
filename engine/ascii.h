#pragma once

#include <algorithm>
#include <string>
#include <string_view>

// Case folding of ASCII letters only, whatever the locale: file extensions, part names and
// format codes compare this way. Header only, so that the LibreOffice plugin uses it too.
namespace quillory::ascii {

constexpr bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

constexpr bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

constexpr char ToLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string ToLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = ToLower(c);
  return lower;
}

inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return ToLower(x) == ToLower(y);
         });
}

}  // namespace quillory::ascii
