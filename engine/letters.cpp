#include "engine/letters.h"

#include <array>
#include <cmath>

#include "engine/number_text.h"
#include "engine/number_words.h"

namespace quillory {
namespace {

// Windows-1252 codes 0x80-0x9F; the five codes it leaves undefined keep their C1 control.
constexpr std::array<char32_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char32_t Windows1252ToUnicode(int code) {
  if (code >= 0x80 && code <= 0x9F) return kWindows1252High[code - 0x80];
  return static_cast<char32_t>(code);
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

bool DigitsToLetters(std::string_view text, std::int16_t base, std::string& out) {
  // Every step's code is checked, whether or not its digits occur.
  std::array<char32_t, 11> replacement{};
  for (int step = 1; step <= 10; ++step) {
    const int code = 65 + step - base;
    if (code < 0 || code > 255) {
      out.assign(text);
      return false;
    }
    replacement[step] = Windows1252ToUnicode(code);
  }

  // Steps 1-9 each replace one digit character, so a character's fate is the steps applied to it
  // in turn: a replacement that is itself a later step's digit is replaced again.
  std::string running;
  running.reserve(text.size() + text.size() / 2);
  for (char c : text) {
    if (c < '1' || c > '9') {
      running += c;
      continue;
    }
    char32_t current = static_cast<unsigned char>(c);
    for (int step = c - '0'; step <= 9; ++step) {
      if (current == static_cast<char32_t>('0' + step)) current = replacement[step];
    }
    AppendUtf8(running, current);
  }

  // Step 10 replaces "10" left to right, where earlier steps left a "1" before a "0".
  std::string result;
  result.reserve(running.size());
  for (std::size_t i = 0; i < running.size(); ++i) {
    if (running[i] == '1' && i + 1 < running.size() && running[i + 1] == '0') {
      AppendUtf8(result, replacement[10]);
      ++i;
    } else {
      result += running[i];
    }
  }
  out = std::move(result);
  return true;
}

std::optional<std::string> DigitsToLetters(std::string_view text, std::int16_t base) {
  std::string out;
  if (!DigitsToLetters(text, base, out)) return std::nullopt;
  return out;
}

bool IsNumericAnswer(std::string_view answer) {
  NumberText number;
  return ReadNumberText(answer, number) != NumberTextStatus::NotANumber;
}

std::optional<std::int16_t> LettersBaseFromAnswer(std::string_view answer) {
  // The default rounding mode takes a half to the even neighbour.
  const double rounded = std::nearbyint(LeadingNumberValue(answer));
  if (!(rounded >= -32768 && rounded <= 32767)) return std::nullopt;
  return static_cast<std::int16_t>(rounded);
}

}  // namespace quillory
