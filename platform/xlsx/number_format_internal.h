#pragma once

// Pieces of the number-format renderer shared by its source files; not part of the engine's API.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillory::xlsx {

namespace numfmt {

// A non-negative decimal as the application keeps a number: at most 15 significant digits.
// value = 0.d1 d2 ... dn x 10^point; no trailing zeros; count == 0 means zero.
struct Decimal {
  char digits[24];
  int count = 0;
  int point = 0;

  bool IsZero() const { return count == 0; }
  // The digit at `index` of the digit string, '0' outside it.
  char At(int index) const { return index >= 0 && index < count ? digits[index] : '0'; }
  // Digits before the decimal point (0 for values below one).
  int IntegerDigits() const { return count == 0 || point < 0 ? 0 : point; }
};

// `magnitude` (finite, >= 0) rounded to 15 significant digits.
Decimal ToDecimal(double magnitude);
// Rounds half away from zero, keeping `decimals` places after the point (negative: tens...).
void RoundAt(Decimal& value, int decimals);
// General in a field of `width` characters; `negative` adds a minus sign, which takes no room.
void AppendGeneral(std::string& out, const Decimal& magnitude, bool negative, int width);

enum class Tok : std::uint8_t {
  kLiteral,           // text[offset, offset + length)
  kDigit,             // arg: '0', '#' or '?'; region says which part of the number
  kPoint,             // the decimal point
  kPercent,           // '%' (the scaling is in Section::percent)
  kExponent,          // offset holds 'E' or 'e'; arg 1 when the sign is always shown (E+)
  kGeneral,           // the General keyword inside a section
  kTextAt,            // '@'
  kSlash,             // fraction bar
  kFixedDenominator,  // offset holds the denominator, length its digit count
  kYear2,             // date and time parts from here on
  kYear4,
  kMonth,
  kMonth2,
  kMonthAbbr,
  kMonthName,
  kMonthLetter,
  kDay,
  kDay2,
  kDayAbbr,
  kDayName,
  kHour,
  kHour2,
  kMinute,
  kMinute2,
  kSecond,
  kSecond2,
  kSubSecond,  // arg: digit count
  kAmPm,       // arg: 0 "AM/PM", 1 "am/pm", 2 "A/P", 3 "a/p"
  kElapsedHours,
  kElapsedMinutes,
  kElapsedSeconds,  // arg: minimum width
};

enum class Region : std::uint8_t {
  kNone,
  kInteger,
  kFraction,
  kExponent,
  kNumerator,
  kDenominator
};

struct Token {
  Tok kind;
  std::uint8_t arg = 0;
  Region region = Region::kNone;
  std::uint32_t offset = 0;
  std::uint32_t length = 0;
};

struct Condition {
  enum class Op : std::uint8_t {
    kNone,
    kLess,
    kLessEqual,
    kGreater,
    kGreaterEqual,
    kEqual,
    kNotEqual
  };
  Op op = Op::kNone;
  double operand = 0;

  bool Present() const { return op != Op::kNone; }
  bool Matches(double value) const;
};

struct Section {
  std::vector<Token> tokens;
  std::string text;  // the literal characters the tokens point into
  Condition condition;
  bool is_date = false;
  bool is_general = false;  // the section is exactly General
  bool has_digits = false;  // any digit placeholder
  bool grouping = false;    // thousands separators
  bool exponent = false;
  bool fraction = false;
  bool engineering = false;  // exponent kept a multiple of the integer placeholders
  bool twelve_hour = false;
  int percent = 0;          // each '%' multiplies by 100
  int thousands_scale = 0;  // each trailing ',' divides by 1000
  int integer_digits = 0;   // placeholders before the point (or before the numerator)
  int fraction_digits = 0;  // placeholders after the point
  int exponent_digits = 0;
  int numerator_digits = 0;
  int denominator_digits = 0;
  int fixed_denominator = 0;
  int subsecond_digits = 0;
  std::string fraction_kinds;  // '0', '#' or '?' for each placeholder after the point
  // Tokens [blank_begin, blank_end) turn into spaces when a fraction shows no fraction part.
  std::uint32_t blank_begin = 0;
  std::uint32_t blank_end = 0;
};

}  // namespace numfmt

struct ParsedFormat {
  std::vector<numfmt::Section> sections;  // numeric sections first, then the text section
  int numeric_count = 0;
  int text_index = -1;       // the section shown for text cells, -1 when text shows as is
  bool conditional = false;  // any numeric section carries a condition
  bool general = false;      // the whole code is General
};

namespace numfmt {

// Cuts `code` into sections and tokens.
void Parse(std::string_view code, ParsedFormat& parsed);
std::string Render(const ParsedFormat& format, double value, bool date1904);
std::string RenderText(const ParsedFormat& format, std::string_view text);

// One numeric section applied to a magnitude; `minus` asks for a leading minus sign when the
// shown value is not zero.
void RenderNumberSection(const Section& section, double magnitude, bool minus, std::string& out);
// Returns false when the value lies outside the date range of the system.
bool RenderDateSection(const Section& section, double value, bool date1904, std::string& out);

}  // namespace numfmt
}  // namespace quillory::xlsx
