#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillory {

// The words reach the trillions: at most 15 digits before the point.
inline constexpr std::size_t kMaxIntegerDigits = 15;
inline constexpr std::uint64_t kIntegerLimit = 1'000'000'000'000'000;  // 10^15
// The most digits after the point that are kept as shown (for languages that say them all).
inline constexpr std::size_t kMaxFractionDigits = 15;

// The currency symbol shown with a number.
enum class CurrencySymbol : std::uint8_t { None, Dollar, Euro, Pound, Yen, Rupee };

// A displayed number read exactly from its characters, never through a double, so
// "1.23457E+11" keeps every digit it shows.
struct NumberText {
  bool negative = false;
  // The whole part, below 10^15.
  std::uint64_t integer = 0;
  // The first two digits after the point as one number, 0-99 ("5" is 50, "05" is 5); cut,
  // never rounded.
  std::uint8_t hundredths = 0;
  // True when some digit after the point is not zero: the value is not whole.
  bool has_fraction = false;
  // The digits after the point as shown, up to the last one that is not zero; `fraction_cut`
  // when more than kMaxFractionDigits of them were left out.
  char fraction[kMaxFractionDigits] = {};
  std::uint8_t fraction_size = 0;
  bool fraction_cut = false;
  CurrencySymbol symbol = CurrencySymbol::None;

  std::string_view Fraction() const { return {fraction, fraction_size}; }
  bool IntegerIsZero() const { return integer == 0; }
  bool IntegerIsOne() const { return integer == 1; }
  bool IsZero() const { return IntegerIsZero() && !has_fraction; }
};

enum class NumberTextStatus { Number, NotANumber, TooLarge };

// Reads a displayed number: blanks around it; a sign before or after a currency symbol
// ($ € £ ¥ ₹, before or after the number, optionally spaced from it) or accounting parentheses,
// inside or outside the symbol; digits with "," only between groups of three of a whole part
// that does not start with 0; an optional "." and fraction; an optional exponent (without
// grouping). Anything else, percentages and dates included, is not a number. More than 15 digits
// before the point is too large.
NumberTextStatus ReadNumberText(std::string_view text, NumberText& number);

}  // namespace quillory
