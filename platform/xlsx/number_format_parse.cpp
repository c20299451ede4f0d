// Cutting a number-format code into sections and tokens, once per code.

#include <algorithm>
#include <charconv>

#include "engine/ascii.h"
#include "platform/xlsx/number_format_internal.h"

namespace quillory::xlsx::numfmt {
namespace {

bool IsPlaceholder(char c) {
  return c == '0' || c == '#' || c == '?';
}

bool StartsWithNoCase(std::string_view text, std::size_t at, std::string_view word) {
  if (text.size() - at < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k) {
    if (ascii::ToLower(text[at + k]) != ascii::ToLower(word[k])) return false;
  }
  return true;
}

// Length of the UTF-8 sequence starting at `at`, so escapes keep multi-byte characters whole.
std::size_t CharLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  std::size_t end = at + 1;
  while (end < text.size() && end < at + length &&
         (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
    ++end;
  }
  return end - at;
}

bool IsDateToken(Tok kind) {
  return kind >= Tok::kYear2;
}

// Splits at ';' outside quotes and escapes.
std::vector<std::string_view> SplitSections(std::string_view code) {
  std::vector<std::string_view> sections;
  std::size_t start = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < code.size(); ++i) {
    const char c = code[i];
    if (quoted) {
      quoted = c != '"';
    } else if (c == '"') {
      quoted = true;
    } else if (c == '\\' || c == '_' || c == '*') {
      if (i + 1 < code.size()) i += CharLength(code, i + 1);
    } else if (c == ';') {
      sections.push_back(code.substr(start, i - start));
      start = i + 1;
    }
  }
  sections.push_back(code.substr(start));
  return sections;
}

bool HasTextPlaceholder(std::string_view raw) {
  bool quoted = false;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (quoted) {
      quoted = c != '"';
    } else if (c == '"') {
      quoted = true;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;
    } else if (c == '@') {
      return true;
    }
  }
  return false;
}

class Tokenizer {
 public:
  explicit Tokenizer(Section& section) : s_(section) {}

  void Literal(std::string_view text) {
    if (text.empty()) return;
    if (!s_.tokens.empty() && s_.tokens.back().kind == Tok::kLiteral &&
        s_.tokens.back().offset + s_.tokens.back().length == s_.text.size()) {
      s_.tokens.back().length += static_cast<std::uint32_t>(text.size());
    } else {
      Token token{Tok::kLiteral};
      token.offset = static_cast<std::uint32_t>(s_.text.size());
      token.length = static_cast<std::uint32_t>(text.size());
      s_.tokens.push_back(token);
    }
    s_.text.append(text);
  }

  void Add(Tok kind, std::uint8_t arg = 0, Region region = Region::kNone) {
    Token token{kind, arg, region};
    s_.tokens.push_back(token);
  }

  // Brackets: currency and locale tags, conditions, elapsed time; colours and the rest are dropped.
  void Bracket(std::string_view content) {
    if (content.empty()) return;
    const char first = content[0];
    if (first == '$') {
      Literal(content.substr(1, content.find('-', 1) - 1));
      return;
    }
    if (first == '<' || first == '>' || first == '=') {
      ParseCondition(content);
      return;
    }
    const char letter = ascii::ToLower(first);
    if (letter != 'h' && letter != 'm' && letter != 's') return;
    for (char c : content) {
      if (ascii::ToLower(c) != letter) return;
    }
    const auto width = static_cast<std::uint8_t>(std::min<std::size_t>(content.size(), 9));
    Add(letter == 'h'   ? Tok::kElapsedHours
        : letter == 'm' ? Tok::kElapsedMinutes
                        : Tok::kElapsedSeconds,
        width);
  }

  void ParseCondition(std::string_view content) {
    using Op = Condition::Op;
    Op op;
    std::size_t skip = 1;
    if (content.starts_with("<=")) {
      op = Op::kLessEqual, skip = 2;
    } else if (content.starts_with(">=")) {
      op = Op::kGreaterEqual, skip = 2;
    } else if (content.starts_with("<>")) {
      op = Op::kNotEqual, skip = 2;
    } else {
      op = content[0] == '<' ? Op::kLess : content[0] == '>' ? Op::kGreater : Op::kEqual;
    }
    std::string_view number = content.substr(skip);
    while (!number.empty() && number.front() == ' ') number.remove_prefix(1);
    if (!number.empty() && number.front() == '+') number.remove_prefix(1);
    double operand = 0;
    std::from_chars(number.data(), number.data() + number.size(), operand);
    s_.condition.op = op;
    s_.condition.operand = operand;
  }

  void Number(std::string_view raw);
  void TextSection(std::string_view raw);

 private:
  bool LastIsDigit(Region region) const {
    return !s_.tokens.empty() && s_.tokens.back().kind == Tok::kDigit &&
           s_.tokens.back().region == region;
  }
  bool LastTimeIsSecond() const {
    for (auto it = s_.tokens.rbegin(); it != s_.tokens.rend(); ++it) {
      if (it->kind == Tok::kLiteral) continue;
      return it->kind == Tok::kSecond || it->kind == Tok::kSecond2 ||
             it->kind == Tok::kElapsedSeconds;
    }
    return false;
  }

  Section& s_;
};

void Tokenizer::Number(std::string_view raw) {
  Region region = Region::kInteger;
  bool seen_digit = false;
  const std::size_t n = raw.size();
  std::size_t i = 0;
  while (i < n) {
    const char c = raw[i];
    const char lower = ascii::ToLower(c);
    switch (c) {
      case '"': {
        const std::size_t close = raw.find('"', i + 1);
        const std::size_t end = close == std::string_view::npos ? n : close;
        Literal(raw.substr(i + 1, end - i - 1));
        i = end == n ? n : end + 1;
        continue;
      }
      case '\\':
      case '_':
      case '*': {
        std::size_t next = 0;
        if (i + 1 < n) next = CharLength(raw, i + 1);
        if (c == '\\') Literal(raw.substr(i + 1, next));
        if (c == '_' && next > 0) Literal(" ");
        i += 1 + next;
        continue;
      }
      case '[': {
        const std::size_t close = raw.find(']', i);
        if (close == std::string_view::npos) {
          Literal("[");
          ++i;
        } else {
          Bracket(raw.substr(i + 1, close - i - 1));
          i = close + 1;
        }
        continue;
      }
      case '@':
        Add(Tok::kTextAt);
        ++i;
        continue;
      case '0':
      case '#':
      case '?':
        Add(Tok::kDigit, static_cast<std::uint8_t>(c), region);
        seen_digit = true;
        ++i;
        continue;
      case '.': {
        std::size_t zeros = 0;
        while (i + 1 + zeros < n && raw[i + 1 + zeros] == '0') ++zeros;
        if (zeros > 0 && LastTimeIsSecond()) {
          Add(Tok::kSubSecond, static_cast<std::uint8_t>(std::min<std::size_t>(zeros, 9)));
          i += 1 + zeros;
        } else if (region == Region::kInteger) {
          Add(Tok::kPoint);
          region = Region::kFraction;
          ++i;
        } else {
          Literal(".");
          ++i;
        }
        continue;
      }
      case ',': {
        std::size_t run = 0;
        while (i + run < n && raw[i + run] == ',') ++run;
        const bool after_digit = !s_.tokens.empty() && s_.tokens.back().kind == Tok::kDigit;
        if (after_digit && region == Region::kInteger && i + run < n &&
            IsPlaceholder(raw[i + run])) {
          s_.grouping = true;
        } else if (after_digit) {
          s_.thousands_scale += static_cast<int>(run);
        } else {
          Literal(raw.substr(i, run));
        }
        i += run;
        continue;
      }
      case '%':
        ++s_.percent;
        Add(Tok::kPercent);
        ++i;
        continue;
      case '/':
        if (LastIsDigit(Region::kInteger)) {
          for (auto it = s_.tokens.rbegin();
               it != s_.tokens.rend() && it->kind == Tok::kDigit && it->region == Region::kInteger;
               ++it) {
            it->region = Region::kNumerator;
          }
          Add(Tok::kSlash);
          region = Region::kDenominator;
          ++i;
          if (i < n && raw[i] >= '1' && raw[i] <= '9') {
            std::uint32_t value = 0, digits = 0;
            while (i < n && raw[i] >= '0' && raw[i] <= '9') {
              if (digits < 9) value = value * 10 + static_cast<std::uint32_t>(raw[i] - '0');
              ++digits, ++i;
            }
            Token token{Tok::kFixedDenominator};
            token.offset = value;
            token.length = std::min<std::uint32_t>(digits, 9);
            s_.tokens.push_back(token);
          }
        } else {
          Literal("/");
          ++i;
        }
        continue;
      default:
        break;
    }
    if ((c == 'E' || c == 'e') && seen_digit && i + 1 < n &&
        (raw[i + 1] == '+' || raw[i + 1] == '-') && region != Region::kExponent) {
      Add(Tok::kExponent, raw[i + 1] == '+' ? 1 : 0);
      s_.tokens.back().offset = static_cast<std::uint32_t>(c);
      region = Region::kExponent;
      i += 2;
      continue;
    }
    if (lower == 'g' && StartsWithNoCase(raw, i, "General")) {
      Add(Tok::kGeneral);
      i += 7;
      continue;
    }
    if (lower == 'a') {
      if (StartsWithNoCase(raw, i, "AM/PM")) {
        Add(Tok::kAmPm, c == 'A' ? 0 : 1);
        i += 5;
        continue;
      }
      if (StartsWithNoCase(raw, i, "A/P")) {
        Add(Tok::kAmPm, c == 'A' ? 2 : 3);
        i += 3;
        continue;
      }
    }
    if (lower == 'y' || lower == 'm' || lower == 'd' || lower == 'h' || lower == 's') {
      std::size_t run = 0;
      while (i + run < n && ascii::ToLower(raw[i + run]) == lower) ++run;
      Tok kind;
      switch (lower) {
        case 'y':
          kind = run <= 2 ? Tok::kYear2 : Tok::kYear4;
          break;
        case 'm':
          kind = run == 1   ? Tok::kMonth
                 : run == 2 ? Tok::kMonth2
                 : run == 3 ? Tok::kMonthAbbr
                 : run == 5 ? Tok::kMonthLetter
                            : Tok::kMonthName;
          break;
        case 'd':
          kind = run == 1   ? Tok::kDay
                 : run == 2 ? Tok::kDay2
                 : run == 3 ? Tok::kDayAbbr
                            : Tok::kDayName;
          break;
        case 'h':
          kind = run == 1 ? Tok::kHour : Tok::kHour2;
          break;
        default:
          kind = run == 1 ? Tok::kSecond : Tok::kSecond2;
          break;
      }
      Add(kind);
      i += run;
      continue;
    }
    const std::size_t length = CharLength(raw, i);
    Literal(raw.substr(i, length));
    i += length;
  }
}

void Tokenizer::TextSection(std::string_view raw) {
  const std::size_t n = raw.size();
  std::size_t i = 0;
  while (i < n) {
    const char c = raw[i];
    if (c == '"') {
      const std::size_t close = raw.find('"', i + 1);
      const std::size_t end = close == std::string_view::npos ? n : close;
      Literal(raw.substr(i + 1, end - i - 1));
      i = end == n ? n : end + 1;
    } else if (c == '\\' || c == '_' || c == '*') {
      std::size_t next = 0;
      if (i + 1 < n) next = CharLength(raw, i + 1);
      if (c == '\\') Literal(raw.substr(i + 1, next));
      if (c == '_' && next > 0) Literal(" ");
      i += 1 + next;
    } else if (c == '[') {
      const std::size_t close = raw.find(']', i);
      if (close == std::string_view::npos) {
        Literal("[");
        ++i;
      } else {
        const std::string_view content = raw.substr(i + 1, close - i - 1);
        if (!content.empty() && content[0] == '$') {
          Literal(content.substr(1, content.find('-', 1) - 1));
        }
        i = close + 1;
      }
    } else if (c == '@') {
      Add(Tok::kTextAt);
      ++i;
    } else {
      const std::size_t length = CharLength(raw, i);
      Literal(raw.substr(i, length));
      i += length;
    }
  }
}

bool IsHourToken(Tok kind) {
  return kind == Tok::kHour || kind == Tok::kHour2 || kind == Tok::kElapsedHours;
}
bool IsSecondToken(Tok kind) {
  return kind == Tok::kSecond || kind == Tok::kSecond2 || kind == Tok::kElapsedSeconds;
}

// m and mm are minutes right after an hour or right before a second.
void ResolveMinutes(Section& s) {
  auto& tokens = s.tokens;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].kind != Tok::kMonth && tokens[i].kind != Tok::kMonth2) continue;
    bool minute = false;
    for (std::size_t j = i; j-- > 0;) {
      if (!IsDateToken(tokens[j].kind)) continue;
      minute = IsHourToken(tokens[j].kind);
      break;
    }
    for (std::size_t j = i + 1; !minute && j < tokens.size(); ++j) {
      if (!IsDateToken(tokens[j].kind)) continue;
      minute = IsSecondToken(tokens[j].kind);
      break;
    }
    if (minute) tokens[i].kind = tokens[i].kind == Tok::kMonth ? Tok::kMinute : Tok::kMinute2;
  }
}

void Summarize(Section& s) {
  bool integer_hash = false;
  std::uint32_t last_integer = 0, first_numerator = 0, last_denominator = 0;
  bool any_integer = false, any_numerator = false;
  for (std::uint32_t i = 0; i < s.tokens.size(); ++i) {
    const Token& t = s.tokens[i];
    if (IsDateToken(t.kind)) s.is_date = true;
    if (t.kind == Tok::kAmPm) s.twelve_hour = true;
    if (t.kind == Tok::kSubSecond) s.subsecond_digits = std::max<int>(s.subsecond_digits, t.arg);
    if (t.kind == Tok::kExponent) s.exponent = true;
    if (t.kind == Tok::kSlash) s.fraction = true;
    if (t.kind == Tok::kFixedDenominator) {
      s.fixed_denominator = static_cast<int>(t.offset);
      last_denominator = i;
    }
    if (t.kind != Tok::kDigit) continue;
    s.has_digits = true;
    switch (t.region) {
      case Region::kInteger:
        ++s.integer_digits;
        if (t.arg == '#') integer_hash = true;
        last_integer = i, any_integer = true;
        break;
      case Region::kFraction:
        ++s.fraction_digits;
        s.fraction_kinds.push_back(static_cast<char>(t.arg));
        break;
      case Region::kExponent:
        ++s.exponent_digits;
        break;
      case Region::kNumerator:
        if (!any_numerator) first_numerator = i;
        any_numerator = true;
        ++s.numerator_digits;
        break;
      case Region::kDenominator:
        ++s.denominator_digits;
        last_denominator = i;
        break;
      default:
        break;
    }
  }
  if (s.fraction) {
    s.blank_begin = any_integer ? last_integer + 1 : first_numerator;
    s.blank_end = last_denominator + 1;
  }
  s.engineering = s.exponent && integer_hash && s.integer_digits > 1;
  s.is_general = s.tokens.size() == 1 && s.tokens[0].kind == Tok::kGeneral;
  // Absurd codes must not blow the number up without bound.
  s.percent = std::min(s.percent, 8);
  s.thousands_scale = std::min(s.thousands_scale, 8);
}

}  // namespace

bool Condition::Matches(double value) const {
  switch (op) {
    case Op::kLess:
      return value < operand;
    case Op::kLessEqual:
      return value <= operand;
    case Op::kGreater:
      return value > operand;
    case Op::kGreaterEqual:
      return value >= operand;
    case Op::kEqual:
      return value == operand;
    case Op::kNotEqual:
      return value != operand;
    default:
      return true;
  }
}

void Parse(std::string_view code, ParsedFormat& parsed) {
  std::vector<std::string_view> raw = SplitSections(code);
  if (raw.size() > 4) raw.resize(4);
  int text_index = -1;
  if (raw.size() == 4) {
    text_index = 3;
  } else if (HasTextPlaceholder(raw.back())) {
    text_index = static_cast<int>(raw.size()) - 1;
  }
  parsed.sections.assign(raw.size(), Section{});
  for (std::size_t i = 0; i < raw.size(); ++i) {
    Section& section = parsed.sections[i];
    Tokenizer tokenizer(section);
    if (static_cast<int>(i) == text_index) {
      tokenizer.TextSection(raw[i]);
    } else {
      tokenizer.Number(raw[i]);
      ResolveMinutes(section);
      Summarize(section);
      if (section.condition.Present()) parsed.conditional = true;
    }
  }
  parsed.text_index = text_index;
  parsed.numeric_count = text_index >= 0 ? text_index : static_cast<int>(raw.size());
  parsed.general =
      parsed.numeric_count == 1 && parsed.sections[0].is_general && !parsed.conditional;
}

}  // namespace quillory::xlsx::numfmt
