#include "engine/number_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace quillory {
namespace {

constexpr bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
constexpr bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Dollar, euro, pound, yen, rupee, as UTF-8.
constexpr std::array<std::string_view, 5> kCurrencySymbols = {"$", "\u20AC", "\u00A3", "\u00A5",
                                                              "\u20B9"};

// Most texts have no symbol: their first or last byte already says so.
constexpr bool MayStartSymbol(unsigned char c) {
  return c == '$' || c == 0xC2 || c == 0xE2;
}
constexpr bool MayEndSymbol(unsigned char c) {
  return c == '$' || c == 0xAC || c == 0xA3 || c == 0xA5 || c == 0xB9;
}

constexpr std::array<CurrencySymbol, 5> kSymbolKinds = {CurrencySymbol::Dollar,
                                                        CurrencySymbol::Euro, CurrencySymbol::Pound,
                                                        CurrencySymbol::Yen, CurrencySymbol::Rupee};

std::size_t SymbolAtStart(std::string_view s, CurrencySymbol& kind) {
  if (s.empty() || !MayStartSymbol(static_cast<unsigned char>(s.front()))) return 0;
  for (std::size_t i = 0; i < kCurrencySymbols.size(); ++i) {
    const std::string_view symbol = kCurrencySymbols[i];
    if (s.substr(0, symbol.size()) == symbol) {
      kind = kSymbolKinds[i];
      return symbol.size();
    }
  }
  return 0;
}

std::size_t SymbolAtEnd(std::string_view s, CurrencySymbol& kind) {
  if (s.empty() || !MayEndSymbol(static_cast<unsigned char>(s.back()))) return 0;
  for (std::size_t i = 0; i < kCurrencySymbols.size(); ++i) {
    const std::string_view symbol = kCurrencySymbols[i];
    if (s.size() >= symbol.size() && s.substr(s.size() - symbol.size()) == symbol) {
      kind = kSymbolKinds[i];
      return symbol.size();
    }
  }
  return 0;
}

// Keeps the digits after the point up to the last that is not zero.
template <typename Digit>
void KeepFraction(std::size_t count, Digit&& digit, NumberText& number) {
  std::size_t last = count;
  while (last > 0 && digit(last - 1) == '0') --last;
  number.fraction_cut = last > kMaxFractionDigits;
  number.fraction_size = static_cast<std::uint8_t>(std::min(last, kMaxFractionDigits));
  for (std::size_t i = 0; i < number.fraction_size; ++i) number.fraction[i] = digit(i);
}

// The digits of a numeral, found by Split.
struct Numeral {
  std::string_view whole;     // digits before the point, "," between groups possibly
  std::string_view fraction;  // digits after the point
  bool grouped = false;
  bool has_exponent = false;
  long long exponent = 0;
  // Read on the way, for the common case without exponent.
  std::uint64_t integer = 0;  // kIntegerLimit when it reaches that
  int hundredths = 0;
  bool has_fraction = false;
};

// Reads the eight bytes at `p` as a number when all are digits.
bool ReadEightDigits(const char* p, std::uint64_t& value) {
  if constexpr (std::endian::native != std::endian::little) return false;
  std::uint64_t bytes;
  std::memcpy(&bytes, p, 8);
  // Every byte is 0x30-0x39 exactly when its high half is 3 and adding 6 does not carry into it.
  constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0;
  if (((bytes & kHigh) | (((bytes + 0x0606060606060606) & kHigh) >> 4)) != 0x3333333333333333) {
    return false;
  }
  // Pairs, then fours, then all eight digits, the first byte the most significant digit.
  bytes -= 0x3030303030303030;
  bytes = bytes * 10 + (bytes >> 8);
  bytes = (((bytes & 0x000000FF000000FF) * 0x000F424000000064) +
           (((bytes >> 16) & 0x000000FF000000FF) * 0x0000271000000001)) >>
          32;
  value = static_cast<std::uint32_t>(bytes);
  return true;
}

// Splits `s` when it is exactly a numeral: digits (grouped by "," in threes), an optional "."
// with digits, an optional exponent. At least one digit must stand before the exponent.
bool Split(std::string_view s, Numeral& numeral) {
  std::size_t i = 0;
  const std::size_t n = s.size();
  std::size_t group_start = 0;  // where the digits since the last "," start
  std::uint64_t integer = 0;
  for (; i < n; ++i) {
    std::uint64_t eight;
    while (i + 8 <= n && ReadEightDigits(s.data() + i, eight)) {
      integer = integer >= kIntegerLimit / 100'000'000
                    ? kIntegerLimit
                    : std::min(integer * 100'000'000 + eight, kIntegerLimit);
      i += 8;
    }
    if (i == n) break;
    const unsigned digit = static_cast<unsigned char>(s[i]) - unsigned{'0'};
    if (digit <= 9) {
      // Held at the limit once reached, so ten times it never overflows.
      integer = std::min(integer * 10 + digit, kIntegerLimit);
      continue;
    }
    if (s[i] != ',') break;
    // The first group has one to three digits, every later one exactly three. A grouped number
    // never starts with 0: "0,125" is a decimal comma.
    const std::size_t group = i - group_start;
    if (group == 0 || group > 3 || (numeral.grouped && group != 3) || s[0] == '0') return false;
    numeral.grouped = true;
    group_start = i + 1;
  }
  if (numeral.grouped && i - group_start != 3) return false;
  numeral.integer = integer;
  // Every group holds a digit, so the whole part has digits exactly when it is not empty.
  const bool whole_digits = i > 0;
  numeral.whole = s.substr(0, i);

  std::size_t fraction_digits = 0;
  if (i < n && s[i] == '.') {
    const std::size_t begin = ++i;
    for (; i < n && IsDigit(s[i]); ++i) {
      if (s[i] != '0') numeral.has_fraction = true;
      if (i - begin < 2) numeral.hundredths += (s[i] - '0') * (i == begin ? 10 : 1);
    }
    fraction_digits = i - begin;
    numeral.fraction = s.substr(begin, fraction_digits);
  }
  if (!whole_digits && fraction_digits == 0) return false;

  if (i < n && (s[i] == 'E' || s[i] == 'e')) {
    if (numeral.grouped) return false;
    ++i;
    bool negative = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i == n || !IsDigit(s[i])) return false;
    long long exponent = 0;
    for (; i < n && IsDigit(s[i]); ++i) {
      // Any exponent past this moves every digit out of reach; keep counting safely.
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (s[i] - '0');
    }
    numeral.has_exponent = true;
    numeral.exponent = negative ? -exponent : exponent;
  }
  return i == n;
}

NumberTextStatus ReadPlain(const Numeral& numeral, NumberText& number) {
  if (numeral.integer >= kIntegerLimit) return NumberTextStatus::TooLarge;
  number.integer = numeral.integer;
  number.hundredths = static_cast<std::uint8_t>(numeral.hundredths);
  number.has_fraction = numeral.has_fraction;
  const std::string_view fraction = numeral.fraction;
  KeepFraction(
      fraction.size(), [&](std::size_t i) { return fraction[i]; }, number);
  return NumberTextStatus::Number;
}

// The exponent moves the point over the digits as written, so nothing is rounded.
NumberTextStatus ReadScaled(const Numeral& numeral, NumberText& number) {
  const std::string_view whole = numeral.whole;
  const std::string_view fraction = numeral.fraction;
  const long long total = static_cast<long long>(whole.size() + fraction.size());
  auto digit = [&](long long k) -> char {
    if (k < 0 || k >= total) return '0';
    const auto index = static_cast<std::size_t>(k);
    return index < whole.size() ? whole[index] : fraction[index - whole.size()];
  };
  long long first = 0;
  while (first < total && digit(first) == '0') ++first;
  if (first == total) return NumberTextStatus::Number;  // zero, whatever the exponent
  long long last = total - 1;
  while (digit(last) == '0') --last;

  const long long point = static_cast<long long>(whole.size()) + numeral.exponent;
  if (first < point) {
    if (point - first > static_cast<long long>(kMaxIntegerDigits)) {
      return NumberTextStatus::TooLarge;
    }
    for (long long k = first; k < point; ++k) {
      number.integer = number.integer * 10 + static_cast<unsigned>(digit(k) - '0');
    }
  }
  number.hundredths =
      static_cast<std::uint8_t>((digit(point) - '0') * 10 + (digit(point + 1) - '0'));
  number.has_fraction = last >= point;
  if (number.has_fraction) {
    KeepFraction(
        static_cast<std::size_t>(last - point + 1),
        [&](std::size_t i) { return digit(point + static_cast<long long>(i)); }, number);
  }
  return NumberTextStatus::Number;
}

}  // namespace

NumberTextStatus ReadNumberText(std::string_view text, NumberText& number) {
  number = NumberText{};
  // Most texts start and end with a digit, and then nothing surrounds the numeral.
  if (!text.empty() && IsDigit(text.front()) && IsDigit(text.back())) {
    Numeral numeral;
    if (!Split(text, numeral)) return NumberTextStatus::NotANumber;
    const NumberTextStatus status =
        numeral.has_exponent ? ReadScaled(numeral, number) : ReadPlain(numeral, number);
    if (status != NumberTextStatus::Number) number = NumberText{};
    return status;
  }
  std::string_view s = TrimBlanks(text);

  bool parenthesised = false;
  auto take_parentheses = [&] {
    if (!parenthesised && s.size() >= 2 && s.front() == '(' && s.back() == ')') {
      parenthesised = true;
      s = TrimBlanks(s.substr(1, s.size() - 2));
    }
  };
  take_parentheses();

  char sign = 0;
  auto take_sign = [&] {
    if (sign == 0 && !s.empty() && (s.front() == '-' || s.front() == '+')) {
      sign = s.front();
      s.remove_prefix(1);
    }
  };
  take_sign();
  CurrencySymbol symbol = CurrencySymbol::None;
  if (const std::size_t length = SymbolAtStart(s, symbol)) {
    s = TrimBlanks(s.substr(length));
    take_sign();
  } else if (const std::size_t length = SymbolAtEnd(s, symbol)) {
    s = TrimBlanks(s.substr(0, s.size() - length));
  }
  // Accounting formats show negatives with the symbol outside: "$(1.00)".
  if (sign == 0) take_parentheses();
  if (parenthesised && sign != 0) return NumberTextStatus::NotANumber;

  Numeral numeral;
  if (!Split(s, numeral)) return NumberTextStatus::NotANumber;
  number.negative = parenthesised || sign == '-';
  const NumberTextStatus status =
      numeral.has_exponent ? ReadScaled(numeral, number) : ReadPlain(numeral, number);
  if (status != NumberTextStatus::Number) {
    number = NumberText{};
  } else {
    number.symbol = symbol;
  }
  return status;
}

}  // namespace quillory
