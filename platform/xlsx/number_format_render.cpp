// Rendering numbers and texts through parsed number formats.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/xlsx/number_format_internal.h"
#include "platform/xlsx/serial_dates.h"

namespace quillory::xlsx::numfmt {
namespace {

constexpr const char* kMonthNames[] = {"January",   "February", "March",    "April",
                                       "May",       "June",     "July",     "August",
                                       "September", "October",  "November", "December"};
constexpr const char* kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};

// Largest serial day shown as a date: 9999-12-31.
constexpr long long kLastDay1900 = 2958465;
constexpr long long kLastDay1904 = 2957003;

void AppendUnsigned(std::string& out, std::uint64_t value, int min_width = 1) {
  char buffer[24];
  int n = 0;
  do {
    buffer[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0 && n < 24);
  for (int k = n; k < min_width; ++k) out.push_back('0');
  while (n > 0) out.push_back(buffer[--n]);
}

void AppendDecimalInteger(std::string& out, const Decimal& d) {
  const int length = d.IntegerDigits();
  if (length == 0) out.push_back('0');
  for (int k = 0; k < length; ++k) out.push_back(d.At(k));
}

int FloorDiv(int a, int b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Counts characters, not bytes, so a blanked literal keeps its visible width.
std::size_t VisibleLength(std::string_view text) {
  std::size_t n = 0;
  for (char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

// The fraction p/q closest to x (0 <= x < 1) with q <= max_denominator; ties keep the smaller q.
void BestFraction(double x, long long max_denominator, double& numerator, long long& denominator) {
  long long p0 = 0, q0 = 1, p1 = 1, q1 = 0;
  double y = x;
  for (int step = 0; step < 64; ++step) {
    const double a_real = std::floor(y);
    if (!(a_real >= 0 && a_real <= 1e18)) break;
    const auto a = static_cast<long long>(a_real);
    if (q1 != 0 && a > (max_denominator - q0) / q1) {
      const long long k = (max_denominator - q0) / q1;
      const long long pk = k * p1 + p0, qk = k * q1 + q0;
      const double error_k = std::fabs(x - static_cast<double>(pk) / static_cast<double>(qk));
      const double error_1 = std::fabs(x - static_cast<double>(p1) / static_cast<double>(q1));
      if (k > 0 && error_k < error_1) p1 = pk, q1 = qk;
      break;
    }
    const long long p2 = a * p1 + p0, q2 = a * q1 + q0;
    p0 = p1, q0 = q1, p1 = p2, q1 = q2;
    const double rest = y - a_real;
    if (rest < 1e-12) break;
    y = 1 / rest;
  }
  if (q1 == 0) p1 = 0, q1 = 1;
  numerator = static_cast<double>(p1);
  denominator = q1;
}

void AppendTwoDigits(std::string& out, long long value) {
  AppendUnsigned(out, static_cast<std::uint64_t>(value), 2);
}

void AppendExponent(std::string& out, const Token& token, int exponent, int digits) {
  out.push_back(static_cast<char>(token.offset));
  if (exponent < 0) {
    out.push_back('-');
  } else if (token.arg == 1) {
    out.push_back('+');
  }
  AppendUnsigned(out, static_cast<std::uint64_t>(std::abs(exponent)), std::max(digits, 1));
}

void AppendLiteral(std::string& out, const Section& s, const Token& t) {
  out.append(s.text, t.offset, t.length);
}

void RenderFraction(const Section& s, double magnitude, bool minus, std::string& out) {
  double x = magnitude * std::pow(100.0, s.percent) / std::pow(1000.0, s.thousands_scale);
  if (!std::isfinite(x)) x = std::numeric_limits<double>::max();
  const bool has_integer = s.integer_digits > 0;
  double whole = std::floor(x);
  double part = x - whole;
  double numerator = 0;
  long long denominator = 1;
  if (s.fixed_denominator > 0) {
    denominator = s.fixed_denominator;
    numerator = std::floor(part * static_cast<double>(denominator) + 0.5);
  } else {
    const int digits = std::clamp(s.denominator_digits, 1, 9);
    long long max_denominator = 1;
    for (int k = 0; k < digits; ++k) max_denominator *= 10;
    BestFraction(part, max_denominator - 1, numerator, denominator);
  }
  if (has_integer && numerator >= static_cast<double>(denominator)) {
    whole += 1;
    numerator = 0;
  }
  if (!has_integer) {
    numerator = std::min(numerator + whole * static_cast<double>(denominator),
                         std::numeric_limits<double>::max());
    whole = 0;
  }
  const bool blank = has_integer && numerator == 0;
  if (minus && (whole != 0 || numerator != 0)) out.push_back('-');

  const Decimal int_part = ToDecimal(whole);
  const int int_length = int_part.IntegerDigits();
  const Decimal num_part = ToDecimal(numerator);
  const int num_length = num_part.IntegerDigits();
  char den_text[24];
  const auto den_end = std::to_chars(den_text, den_text + sizeof den_text, denominator).ptr;
  const int den_length = static_cast<int>(den_end - den_text);

  int int_seen = 0, num_seen = 0, den_seen = 0;
  for (std::uint32_t i = 0; i < s.tokens.size(); ++i) {
    const Token& t = s.tokens[i];
    if (blank && i >= s.blank_begin && i < s.blank_end) {
      if (t.kind == Tok::kLiteral) {
        out.append(VisibleLength(std::string_view(s.text).substr(t.offset, t.length)), ' ');
      } else if (t.kind == Tok::kFixedDenominator) {
        out.append(t.length, ' ');
      } else if (t.kind == Tok::kDigit || t.kind == Tok::kSlash) {
        out.push_back(' ');
      }
      continue;
    }
    switch (t.kind) {
      case Tok::kLiteral:
        AppendLiteral(out, s, t);
        break;
      case Tok::kPercent:
        out.push_back('%');
        break;
      case Tok::kSlash:
        out.push_back('/');
        break;
      case Tok::kFixedDenominator:
        out.append(den_text, den_end);
        break;
      case Tok::kDigit:
        if (t.region == Region::kInteger) {
          if (int_seen == 0) {
            for (int r = int_length - 1; r >= s.integer_digits; --r) {
              out.push_back(int_part.At(int_length - 1 - r));
              if (s.grouping && r > 0 && r % 3 == 0) out.push_back(',');
            }
          }
          const int r = s.integer_digits - 1 - int_seen++;
          if (r < int_length) {
            out.push_back(int_part.At(int_length - 1 - r));
            if (s.grouping && r > 0 && r % 3 == 0) out.push_back(',');
          } else if (t.arg == '0' || (r == 0 && blank)) {
            out.push_back('0');
          } else if (t.arg == '?') {
            out.push_back(' ');
          }
        } else if (t.region == Region::kNumerator) {
          if (num_seen == 0) {
            for (int r = num_length - 1; r >= s.numerator_digits; --r) {
              out.push_back(num_part.At(num_length - 1 - r));
            }
          }
          const int r = s.numerator_digits - 1 - num_seen++;
          if (r < num_length) {
            out.push_back(num_part.At(num_length - 1 - r));
          } else if (t.arg == '0' || (r == 0 && num_length == 0)) {
            out.push_back('0');
          } else if (t.arg == '?') {
            out.push_back(' ');
          }
        } else if (t.region == Region::kDenominator) {
          const int k = den_seen++;
          if (k < den_length) {
            out.push_back(den_text[k]);
            if (k == s.denominator_digits - 1) out.append(den_text + k + 1, den_end);
          } else if (t.arg == '?') {
            out.push_back(' ');
          } else if (t.arg == '0') {
            out.push_back('0');
          }
        }
        break;
      default:
        break;
    }
  }
}

}  // namespace

namespace {

constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// Digits of value x 10^-scale.
Decimal FromScaled(std::uint64_t value, int scale) {
  Decimal d;
  char reversed[24];
  int n = 0;
  while (value != 0) {
    reversed[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  int skip = 0;
  while (skip < n && reversed[skip] == '0') ++skip;
  d.point = n - scale;
  d.count = n - skip;
  for (int k = 0; k < d.count; ++k) d.digits[k] = reversed[n - 1 - k];
  return d;
}

}  // namespace

Decimal ToDecimal(double magnitude) {
  Decimal d;
  if (!(magnitude > 0) || !std::isfinite(magnitude)) return d;
  if (magnitude < 1e15) {
    // Most stored numbers are short decimals: find m / 10^k == magnitude exactly with m below
    // 10^15; that m is the 15-digit rounding, without the cost of a general conversion.
    for (int k = 0; k < 16; ++k) {
      const double scaled_exact = magnitude * kPowersOfTen[k];
      if (scaled_exact >= 1e15) break;
      const auto m = static_cast<std::uint64_t>(scaled_exact + 0.5);
      const double scaled = static_cast<double>(m);
      // The cheap closeness test spares the division for values with many digits.
      if (std::fabs(scaled_exact - scaled) <= scaled_exact * 1e-15 &&
          scaled / kPowersOfTen[k] == magnitude) {
        return FromScaled(m, k);
      }
    }
  }
  char buffer[40];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, 14);
  const char* p = buffer;
  int n = 0;
  d.digits[n++] = *p++;
  if (*p == '.') {
    ++p;
    while (p < result.ptr && *p != 'e' && n < 15) d.digits[n++] = *p++;
  }
  while (p < result.ptr && *p != 'e') ++p;
  int exponent = 0;
  if (p < result.ptr) {
    ++p;
    if (p < result.ptr && *p == '+') ++p;
    std::from_chars(p, result.ptr, exponent);
  }
  while (n > 0 && d.digits[n - 1] == '0') --n;
  d.count = n;
  d.point = exponent + 1;
  return d;
}

void RoundAt(Decimal& d, int decimals) {
  if (d.count == 0) return;
  const long long keep_wide = static_cast<long long>(d.point) + decimals;
  if (keep_wide >= d.count) return;
  if (keep_wide < 0) {
    d.count = 0;
    d.point = 0;
    return;
  }
  const int keep = static_cast<int>(keep_wide);
  const bool up = d.digits[keep] >= '5';
  d.count = keep;
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[i] == '9') --i;
    if (i < 0) {
      d.digits[0] = '1';
      d.count = 1;
      ++d.point;
    } else {
      ++d.digits[i];
      d.count = i + 1;
    }
  } else {
    while (d.count > 0 && d.digits[d.count - 1] == '0') --d.count;
  }
  if (d.count == 0) d.point = 0;
}

void AppendGeneral(std::string& out, const Decimal& d, bool negative, int width) {
  if (d.IsZero()) {
    out.push_back('0');
    return;
  }
  // The minus sign takes no room: only the digits, the point and the exponent count.
  const int room = width;
  const int e = d.point - 1;
  // Plain digits while they fit and keep as many significant digits as the exponent form.
  if (e >= 0 ? e < room : e > 1 - room) {
    Decimal fixed = d;
    RoundAt(fixed, std::max(e >= 0 ? room - e - 2 : room - 2, 0));
    bool use = !fixed.IsZero() && fixed.IntegerDigits() <= room;
    if (use && e < 0) {
      // The exponent form wins when it keeps more significant digits.
      const int fixed_digits = room - 1 + e;
      const int exponent_form_digits = room - 5;
      if (d.count > fixed_digits && std::min(d.count, exponent_form_digits) > fixed_digits) {
        use = false;
      }
    }
    if (use) {
      if (negative) out.push_back('-');
      AppendDecimalInteger(out, fixed);
      const int fraction = fixed.count - fixed.point;
      if (fraction > 0) {
        out.push_back('.');
        for (int j = 0; j < fraction; ++j) out.push_back(fixed.At(fixed.point + j));
      }
      return;
    }
  }
  int exponent = e;
  const int exponent_length = std::abs(exponent) >= 100 ? 3 : 2;
  Decimal mantissa = d;
  mantissa.point = 1;
  RoundAt(mantissa, std::max(room - 4 - exponent_length, 0));
  if (mantissa.point == 2) {
    ++exponent;
    mantissa.point = 1;
  }
  if (negative) out.push_back('-');
  out.push_back(mantissa.At(0));
  if (mantissa.count > 1) {
    out.push_back('.');
    out.append(mantissa.digits + 1, mantissa.digits + mantissa.count);
  }
  out.push_back('E');
  out.push_back(exponent < 0 ? '-' : '+');
  AppendUnsigned(out, static_cast<std::uint64_t>(std::abs(exponent)), 2);
}

void RenderNumberSection(const Section& s, double magnitude, bool minus, std::string& out) {
  if (s.fraction) {
    RenderFraction(s, magnitude, minus, out);
    return;
  }
  Decimal d = ToDecimal(magnitude);
  if (!d.IsZero()) d.point += 2 * s.percent - 3 * s.thousands_scale;
  int exponent = 0;
  if (s.exponent) {
    const int width = std::max(s.integer_digits, 1);
    for (int attempt = 0; attempt < 2 && !d.IsZero(); ++attempt) {
      const int e = d.point - 1;
      exponent = s.engineering ? FloorDiv(e, width) * width : e - (width - 1);
      Decimal mantissa = d;
      mantissa.point -= exponent;
      RoundAt(mantissa, s.fraction_digits);
      const int rounded_e = mantissa.point - 1 + exponent;
      const int again =
          s.engineering ? FloorDiv(rounded_e, width) * width : rounded_e - (width - 1);
      if (mantissa.IsZero() || again == exponent) {
        d = mantissa;
        break;
      }
      d = mantissa;
      d.point += exponent;  // carried into a new exponent: place it again
    }
  } else {
    RoundAt(d, s.fraction_digits);
  }
  const bool general_only = !s.has_digits;
  if (minus && (general_only ? magnitude != 0 : !d.IsZero())) out.push_back('-');

  const int int_length = d.IntegerDigits();
  int last_kept = s.fraction_digits - 1;
  while (last_kept >= 0 && s.fraction_kinds[last_kept] != '0' && d.At(d.point + last_kept) == '0') {
    --last_kept;
  }
  int int_seen = 0, fraction_seen = 0;
  bool integer_written = false;
  auto write_leading = [&] {
    integer_written = true;
    for (int r = int_length - 1; r >= s.integer_digits; --r) {
      out.push_back(d.At(int_length - 1 - r));
      if (s.grouping && r > 0 && r % 3 == 0) out.push_back(',');
    }
  };
  for (const Token& t : s.tokens) {
    switch (t.kind) {
      case Tok::kLiteral:
        AppendLiteral(out, s, t);
        break;
      case Tok::kPercent:
        out.push_back('%');
        break;
      case Tok::kPoint:
        if (!integer_written) write_leading();
        out.push_back('.');
        break;
      case Tok::kExponent:
        AppendExponent(out, t, exponent, s.exponent_digits);
        break;
      case Tok::kGeneral:
        AppendGeneral(out, ToDecimal(magnitude), false, 11);
        break;
      case Tok::kDigit:
        if (t.region == Region::kInteger) {
          if (int_seen == 0) write_leading();
          const int r = s.integer_digits - 1 - int_seen++;
          if (r < int_length || t.arg == '0') {
            out.push_back(r < int_length ? d.At(int_length - 1 - r) : '0');
            if (s.grouping && r > 0 && r % 3 == 0) out.push_back(',');
          } else if (t.arg == '?') {
            out.push_back(' ');
          }
        } else if (t.region == Region::kFraction) {
          const int j = fraction_seen++;
          if (j <= last_kept) {
            out.push_back(d.At(d.point + j));
          } else if (t.arg == '?') {
            out.push_back(' ');
          }
        }
        break;
      default:
        break;
    }
  }
}

bool RenderDateSection(const Section& s, double value, bool date1904, std::string& out) {
  const long long last_day = date1904 ? kLastDay1904 : kLastDay1900;
  if (!(value >= 0 && value < static_cast<double>(last_day + 1))) return false;
  long long unit = 1;
  for (int k = 0; k < s.subsecond_digits; ++k) unit *= 10;
  const long long day_ticks = 86400 * unit;
  const double whole = std::floor(value);
  long long days = static_cast<long long>(whole);
  long long ticks = std::llround((value - whole) * static_cast<double>(day_ticks));
  if (ticks >= day_ticks) {
    ++days;
    ticks -= day_ticks;
  }
  if (days > last_day) return false;
  const long long seconds_of_day = ticks / unit;
  const long long subsecond = ticks % unit;
  const long long hour = seconds_of_day / 3600;
  const long long minute = seconds_of_day / 60 % 60;
  const long long second = seconds_of_day % 60;
  const long long total_hours = days * 24 + hour;
  const long long total_minutes = total_hours * 60 + minute;
  const long long total_seconds = total_minutes * 60 + second;
  const SerialDate date = DateOfSerial(days, date1904);

  for (const Token& t : s.tokens) {
    switch (t.kind) {
      case Tok::kLiteral:
        AppendLiteral(out, s, t);
        break;
      case Tok::kDigit:
        out.push_back(static_cast<char>(t.arg));
        break;
      case Tok::kPoint:
        out.push_back('.');
        break;
      case Tok::kPercent:
        out.push_back('%');
        break;
      case Tok::kSlash:
        out.push_back('/');
        break;
      case Tok::kYear2:
        AppendTwoDigits(out, date.year % 100);
        break;
      case Tok::kYear4:
        AppendUnsigned(out, static_cast<std::uint64_t>(date.year), 4);
        break;
      case Tok::kMonth:
        AppendUnsigned(out, static_cast<std::uint64_t>(date.month));
        break;
      case Tok::kMonth2:
        AppendTwoDigits(out, date.month);
        break;
      case Tok::kMonthAbbr:
        out.append(kMonthNames[date.month - 1], 3);
        break;
      case Tok::kMonthName:
        out.append(kMonthNames[date.month - 1]);
        break;
      case Tok::kMonthLetter:
        out.push_back(kMonthNames[date.month - 1][0]);
        break;
      case Tok::kDay:
        AppendUnsigned(out, static_cast<std::uint64_t>(date.day));
        break;
      case Tok::kDay2:
        AppendTwoDigits(out, date.day);
        break;
      case Tok::kDayAbbr:
        out.append(kDayNames[date.weekday], 3);
        break;
      case Tok::kDayName:
        out.append(kDayNames[date.weekday]);
        break;
      case Tok::kHour:
      case Tok::kHour2: {
        long long shown = hour;
        if (s.twelve_hour) shown = hour % 12 == 0 ? 12 : hour % 12;
        AppendUnsigned(out, static_cast<std::uint64_t>(shown), t.kind == Tok::kHour2 ? 2 : 1);
        break;
      }
      case Tok::kMinute:
      case Tok::kMinute2:
        AppendUnsigned(out, static_cast<std::uint64_t>(minute), t.kind == Tok::kMinute2 ? 2 : 1);
        break;
      case Tok::kSecond:
      case Tok::kSecond2:
        AppendUnsigned(out, static_cast<std::uint64_t>(second), t.kind == Tok::kSecond2 ? 2 : 1);
        break;
      case Tok::kSubSecond: {
        long long shown = subsecond;
        for (int k = t.arg; k < s.subsecond_digits; ++k) shown /= 10;
        out.push_back('.');
        AppendUnsigned(out, static_cast<std::uint64_t>(shown), t.arg);
        break;
      }
      case Tok::kAmPm: {
        const bool pm = hour >= 12;
        switch (t.arg) {
          case 0:
            out.append(pm ? "PM" : "AM");
            break;
          case 1:
            out.append(pm ? "pm" : "am");
            break;
          case 2:
            out.push_back(pm ? 'P' : 'A');
            break;
          default:
            out.push_back(pm ? 'p' : 'a');
            break;
        }
        break;
      }
      case Tok::kElapsedHours:
        AppendUnsigned(out, static_cast<std::uint64_t>(total_hours), t.arg);
        break;
      case Tok::kElapsedMinutes:
        AppendUnsigned(out, static_cast<std::uint64_t>(total_minutes), t.arg);
        break;
      case Tok::kElapsedSeconds:
        AppendUnsigned(out, static_cast<std::uint64_t>(total_seconds), t.arg);
        break;
      case Tok::kGeneral:
        AppendGeneral(out, ToDecimal(value), false, 11);
        break;
      case Tok::kExponent:
        out.push_back(static_cast<char>(t.offset));
        out.push_back(t.arg == 1 ? '+' : '-');
        break;
      default:
        break;
    }
  }
  return true;
}

namespace {

std::string General(double value) {
  std::string out;
  AppendGeneral(out, ToDecimal(std::fabs(value)), value < 0, 11);
  return out;
}

// The numeric section for `value`, -1 when none applies.
int SelectSection(const ParsedFormat& f, double value) {
  const int n = f.numeric_count;
  if (!f.conditional) {
    if (n == 1) return 0;
    if (n == 2) return value < 0 ? 1 : 0;
    return value > 0 ? 0 : value < 0 ? 1 : 2;
  }
  const Condition& first = f.sections[0].condition;
  if (first.Present() ? first.Matches(value) : (n == 1 || value > 0 || (n == 2 && value == 0))) {
    return 0;
  }
  if (n == 1) return -1;
  const Condition& second = f.sections[1].condition;
  if (second.Present() ? second.Matches(value) : (n == 2 || value < 0)) return 1;
  if (n >= 3) return 2;
  return first.Present() ? -1 : 0;
}

}  // namespace

std::string Render(const ParsedFormat& f, double value, bool date1904) {
  if (!std::isfinite(value)) return "#NUM!";
  if (f.general || f.numeric_count == 0) return General(value);
  const int index = SelectSection(f, value);
  if (index < 0) return General(value);
  const Section& s = f.sections[index];
  const double magnitude = std::fabs(value);
  const bool minus = value < 0 && index == 0;
  std::string out;
  if (s.is_date) {
    if (!minus) {
      if (RenderDateSection(s, magnitude, date1904, out)) return out;
    } else if (date1904) {
      // The 1904 system shows negative dates and times with a minus sign.
      out.push_back('-');
      if (RenderDateSection(s, magnitude, date1904, out)) return out;
    }
    return General(value);  // no date to show, and never "####"
  }
  RenderNumberSection(s, magnitude, minus, out);
  return out;
}

std::string RenderText(const ParsedFormat& f, std::string_view text) {
  if (f.text_index < 0) return std::string(text);
  const Section& s = f.sections[f.text_index];
  std::string out;
  for (const Token& t : s.tokens) {
    if (t.kind == Tok::kLiteral) {
      AppendLiteral(out, s, t);
    } else if (t.kind == Tok::kTextAt) {
      out.append(text);
    }
  }
  return out;
}

}  // namespace quillory::xlsx::numfmt
