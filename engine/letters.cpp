#include "engine/letters.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "engine/number_text.h"
#include "engine/number_words.h"
#include "engine/unicode.h"

namespace quillory {

std::optional<LetterTable> LetterTable::ForBase(std::int16_t base) {
  // Every step's code is checked, whether or not its digits occur.
  std::array<char32_t, 11> replacement{};
  for (int step = 1; step <= 10; ++step) {
    const int code = 65 + step - base;
    if (code < 0 || code > 255) return std::nullopt;
    replacement[step] = unicode::Windows1252ToUnicode(static_cast<unsigned char>(code));
  }
  auto letter = [](char32_t c) {
    std::string bytes;
    unicode::AppendUtf8(c, bytes);  // three bytes at most: Windows-1252 has nothing past U+FFFF
    Letter made{};
    std::memcpy(made.bytes, bytes.data(), bytes.size());
    made.size = static_cast<std::uint8_t>(bytes.size());
    return made;
  };

  // Steps 1-9 each replace one digit character, so a digit's fate is the steps applied to it in
  // turn: a replacement that is itself a later step's digit is replaced again. No step replaces
  // "0".
  LetterTable table;
  for (int digit = 0; digit <= 9; ++digit) {
    char32_t current = static_cast<char32_t>('0' + digit);
    for (int step = std::max(digit, 1); step <= 9; ++step) {
      if (current == static_cast<char32_t>('0' + step)) current = replacement[step];
    }
    table.digits_[digit] = letter(current);
    if (current == '1') table.ones_ |= static_cast<std::uint16_t>(1 << digit);
    if (current == '0') table.zeros_ |= static_cast<std::uint16_t>(1 << digit);
  }
  table.ten_ = letter(replacement[10]);
  return table;
}

char* LetterTable::Write(std::string_view text, char* at) const {
  auto put = [&at](const Letter& letter) {
    std::memcpy(at, &letter, sizeof letter);  // the bytes past its size are overwritten or cut
    at += letter.size;
  };
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned{'0'};
    if (digit > 9) {
      *at++ = text[i];
      continue;
    }
    // Step 10 replaces "10" left to right where steps 1-9 left a "1" before a "0"; other
    // characters are never "1" or "0", nor is any byte of a longer character.
    if ((ones_ >> digit) & 1 && i + 1 < n) {
      const unsigned next = static_cast<unsigned char>(text[i + 1]) - unsigned{'0'};
      if (next <= 9 && (zeros_ >> next) & 1) {
        put(ten_);
        ++i;
        continue;
      }
    }
    put(digits_[digit]);
  }
  return at;
}

void LetterTable::Append(std::string_view text, TextBuffer& out) const {
  const std::string_view held = out.view();
  if (!text.empty() && text.data() >= held.data() && text.data() < held.data() + held.size()) {
    const std::string copy(text);  // making room may move the text
    Append(copy, out);
    return;
  }
  char* const at = out.Room(3 * text.size() + 1);
  out.Commit(static_cast<std::size_t>(Write(text, at) - at));
}

void LetterTable::Assign(std::string_view text, std::string& out) const {
  if (!text.empty() && text.data() >= out.data() && text.data() < out.data() + out.size()) {
    const std::string copy(text);
    Assign(copy, out);
    return;
  }
  out.resize(3 * text.size() + 1);
  out.resize(static_cast<std::size_t>(Write(text, out.data()) - out.data()));
}

bool DigitsToLetters(std::string_view text, std::int16_t base, std::string& out) {
  const std::optional<LetterTable> table = LetterTable::ForBase(base);
  if (!table) {
    out.assign(text);
    return false;
  }
  table->Assign(text, out);
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
