#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/text_buffer.h"

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

// The letters of one base worked out once, so that a run over many texts looks each digit up
// instead of taking the ten steps again.
class LetterTable {
 public:
  // Nothing when the base maps a step outside codes 0-255.
  static std::optional<LetterTable> ForBase(std::int16_t base);

  // Adds `text` with its digits replaced, as DigitsToLetters replaces them, to the end of `out`.
  void Append(std::string_view text, TextBuffer& out) const;
  // Replaces `out` by `text` with its digits replaced.
  void Assign(std::string_view text, std::string& out) const;

 private:
  // A character as UTF-8, read and written as four bytes.
  struct Letter {
    char bytes[3];
    std::uint8_t size;
  };

  LetterTable() = default;
  // Writes the letters of `text` at `at`, where 3 * text.size() + 1 bytes may be written;
  // returns the end.
  char* Write(std::string_view text, char* at) const;

  std::array<Letter, 10> digits_{};  // what each digit has become after steps 1-9
  Letter ten_{};                     // what step 10 puts for "10"
  std::uint16_t ones_ = 0;           // bit d: digit d has become "1"
  std::uint16_t zeros_ = 0;          // bit d: digit d has become "0"
};

// True when an answer to the letters question reads as a number as a whole (grouping
// separators, "." and a currency sign accepted); an empty answer is not numeric.
bool IsNumericAnswer(std::string_view answer);

// The letters base of a numeric answer: its leading number value, rounded half to even;
// nothing when that lies outside the 16-bit range.
std::optional<std::int16_t> LettersBaseFromAnswer(std::string_view answer);

}  // namespace quillory
