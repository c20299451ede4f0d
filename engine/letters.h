#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillory {

// The bases for which every digit maps to a character code within 0-255.
inline constexpr int kLowestLettersBase = -180;
inline constexpr int kHighestLettersBase = 66;
inline constexpr bool LettersBaseFits(int base) {
  return base >= kLowestLettersBase && base <= kHighestLettersBase;
}

// Replaces the digits of `text` by letters counted from `base` (base 1: 1 -> A, 2 -> B, ...),
// in ten steps "1" ... "10", each applied to the text the step before left. Characters come from
// the Windows-1252 code page, written as UTF-8. Returns false, leaving `out` holding `text`,
// when the base maps a step outside codes 0-255.
bool DigitsToLetters(std::string_view text, std::int16_t base, std::string& out);
std::optional<std::string> DigitsToLetters(std::string_view text, std::int16_t base);

// True when an answer to the letters question reads as a number as a whole (grouping
// separators, "." and a currency sign accepted); an empty answer is not numeric.
bool IsNumericAnswer(std::string_view answer);

// The letters base of a numeric answer: its leading number value, rounded half to even;
// nothing when that lies outside the 16-bit range.
std::optional<std::int16_t> LettersBaseFromAnswer(std::string_view answer);

}  // namespace quillory
