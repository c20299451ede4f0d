#include "engine/number_words.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#include "engine/builtin_languages.h"
#include "engine/number_text.h"

namespace quillory {
namespace {

constexpr Stem DigitStem(int digit) {
  return static_cast<Stem>(Index(Stem::One) + digit - 1);
}
constexpr Stem TeenStem(int value) {
  return static_cast<Stem>(Index(Stem::Ten) + value - 10);
}
constexpr Stem TensStem(int tens) {
  return static_cast<Stem>(Index(Stem::Twenty) + tens - 2);
}

// Calls say(stem) for every word of a group of three digits, 1 to 999, in reading order (the
// stored words follow the same order in Speaker::SayGroup).
template <typename Say>
constexpr void ForEachGroupStem(int group, Say&& say) {
  const int hundreds = group / 100;
  const int rest = group % 100;
  if (hundreds != 0) {
    say(DigitStem(hundreds));
    say(Stem::Hundred);
  }
  if (rest >= 10 && rest < 20) {
    say(TeenStem(rest));
    return;
  }
  if (rest >= 20) say(TensStem(rest / 10));
  if (rest % 10 != 0) say(DigitStem(rest % 10));
}

// The built-in English words, each in a slot of 16 bytes so that it is copied with one fixed
// move.
struct EnglishSlot {
  char text[16];
  std::uint8_t size;
};

constexpr std::array<EnglishSlot, kStemCount> MakeEnglishSlots() {
  std::array<EnglishSlot, kStemCount> slots{};
  for (std::size_t i = 0; i < kStemCount; ++i) {
    for (std::size_t j = 0; j < kEnglishWords[i].size(); ++j)
      slots[i].text[j] = kEnglishWords[i][j];
    slots[i].size = static_cast<std::uint8_t>(kEnglishWords[i].size());
  }
  return slots;
}

constexpr std::array<EnglishSlot, kStemCount> kEnglishSlots = MakeEnglishSlots();

constexpr std::size_t EnglishGroupLength(int group) {
  std::size_t length = 0;
  ForEachGroupStem(group, [&](Stem stem) {
    length += (length == 0 ? 0 : 1) + kEnglishWords[Index(stem)].size();
  });
  return length;
}

constexpr std::size_t EnglishGroupTotal() {
  std::size_t total = 0;
  for (int group = 0; group < 1000; ++group) total += EnglishGroupLength(group);
  return total;
}

// The English words of every group, 0 to 999, computed at compile time, so that an English
// group costs one fixed move of 32 bytes (the longest group has 27; the text ends in slack).
struct EnglishGroups {
  static constexpr std::size_t kMove = 32;
  std::array<char, EnglishGroupTotal() + kMove> text{};
  std::array<std::uint16_t, 1001> start{};

  constexpr EnglishGroups() {
    std::size_t at = 0;
    for (int group = 0; group < 1000; ++group) {
      start[group] = static_cast<std::uint16_t>(at);
      bool first = true;
      ForEachGroupStem(group, [&](Stem stem) {
        if (!first) text[at++] = ' ';
        first = false;
        for (char c : kEnglishWords[Index(stem)]) text[at++] = c;
      });
    }
    start[1000] = static_cast<std::uint16_t>(at);
  }

  constexpr std::string_view Group(int group) const {
    return {text.data() + start[group], static_cast<std::size_t>(start[group + 1] - start[group])};
  }
};

constexpr EnglishGroups kEnglishGroups;
static_assert(kEnglishGroups.Group(777) == "Seven Hundred Seventy Seven");
static_assert(kEnglishGroups.Group(15) == "Fifteen");
static_assert(kEnglishGroups.Group(0).empty());
static_assert([] {
  for (int group = 0; group < 1000; ++group) {
    if (kEnglishGroups.Group(group).size() > EnglishGroups::kMove) return false;
  }
  return true;
}());

constexpr std::array<Stem, 4> kScaleStems = {Stem::Thousand, Stem::Million, Stem::Billion,
                                             Stem::Trillion};

// Builds words separated by single spaces in a buffer on the stack, so that a number costs no
// allocation once `out` has grown; longer texts (long stored words) spill into `out`.
class WordWriter {
 public:
  explicit WordWriter(std::string& out) : out_(out) {}
  WordWriter(const WordWriter&) = delete;
  WordWriter& operator=(const WordWriter&) = delete;

  void Word(std::string_view word) {
    Separate();
    Put(word);
  }

  // A word of `size` bytes at `text`, where `Move` bytes may be read: copied with one fixed move
  // (the bytes past `size` are overwritten by what follows or cut off).
  template <std::size_t Move>
  [[gnu::always_inline]] void WordFrom(const char* text, std::size_t size) {
    if (kSize - length_ < Move + 1) [[unlikely]] {
      Word({text, size});
      return;
    }
    if (any_) buffer_[length_++] = ' ';
    any_ = true;
    std::memcpy(buffer_ + length_, text, Move);
    length_ += size;
  }

  // Appended to the word before, as the plural "s".
  void Glue(std::string_view text) { Put(text); }

  void Finish() {
    if (spilled_) {
      out_.append(buffer_, length_);
    } else {
      out_.assign(buffer_, length_);
    }
  }

 private:
  void Separate() {
    if (any_) Put(" ");
    any_ = true;
  }

  void Put(std::string_view text) {
    if (text.size() > kSize - length_) {
      if (!spilled_) out_.clear();
      spilled_ = true;
      out_.append(buffer_, length_);
      length_ = 0;
      if (text.size() > kSize) {
        out_.append(text);
        return;
      }
    }
    std::memcpy(buffer_ + length_, text.data(), text.size());
    length_ += text.size();
  }

  static constexpr std::size_t kSize = 480;
  std::string& out_;
  char buffer_[kSize];
  std::size_t length_ = 0;
  bool spilled_ = false;
  bool any_ = false;
};

// A stored word that is empty or only spaces would silently drop a part of the amount.
inline bool IsBlankWord(std::string_view word) {
  if (!word.empty() && word.front() != ' ') return false;
  return word.find_first_not_of(' ') == std::string_view::npos;
}

// Says the words of a number, remembering the first word the stored language lacks.
class Speaker {
 public:
  Speaker(const WordSet& words, WordWriter& writer) : words_(words), writer_(writer) {}

  [[gnu::always_inline]] void Say(Stem stem) {
    if (words_.english) {
      const EnglishSlot& slot = kEnglishSlots[Index(stem)];
      writer_.WordFrom<sizeof slot.text>(slot.text, slot.size);
      return;
    }
    const std::string& word = words_.stored[Index(stem)];
    if (IsBlankWord(word)) {
      if (!missing_) missing_ = stem;
      return;
    }
    SayTyped(word);
  }

  // A word as typed by the user.
  [[gnu::always_inline]] void SayTyped(const std::string& word) {
    // A string whose capacity is 15 or more owns at least 16 bytes from data() on.
    if (word.size() < 16 && word.capacity() >= 15) {
      writer_.WordFrom<16>(word.data(), word.size());
    } else {
      writer_.Word(word);
    }
  }

  void SayGroup(int group) {
    if (words_.english) {
      const std::string_view text = kEnglishGroups.Group(group);
      writer_.WordFrom<EnglishGroups::kMove>(text.data(), text.size());
      return;
    }
    const int hundreds = group / 100;
    const int rest = group % 100;
    if (hundreds != 0) {
      Say(DigitStem(hundreds));
      Say(Stem::Hundred);
    }
    if (rest >= 10 && rest < 20) {
      Say(TeenStem(rest));
    } else {
      if (rest >= 20) Say(TensStem(rest / 10));
      if (rest % 10 != 0) Say(DigitStem(rest % 10));
    }
  }

  // The words of a whole part below 10^15: groups of three digits with their scale words.
  void SayInteger(std::uint64_t integer) {
    int groups[5];
    int count = 0;
    for (; integer != 0; integer /= 1000) groups[count++] = static_cast<int>(integer % 1000);
    while (count-- > 0) {
      if (groups[count] == 0) continue;
      SayGroup(groups[count]);
      if (count > 0) Say(kScaleStems[count - 1]);
    }
  }

  // The unit word; for a plural the stored plural, or the word followed by "s".
  void SayUnit(const std::string& unit, const std::optional<std::string>& plural_word,
               bool plural) {
    if (plural && plural_word) {
      SayTyped(*plural_word);
      return;
    }
    SayTyped(unit);
    if (plural) writer_.Glue("s");
  }

  const std::optional<Stem>& Missing() const { return missing_; }

 private:
  const WordSet& words_;
  WordWriter& writer_;
  std::optional<Stem> missing_;
};

// True when `text` holds two spaces in a row; eight bytes at a time, as it runs on every
// currency amount.
bool HasDoubleSpace(std::string_view text) {
  constexpr std::uint64_t kOnes = 0x0101010101010101;
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;
  std::size_t i = 0;
  // Overlapping loads, seven bytes apart, so a pair across two loads is seen by one of them.
  for (; i + 8 <= text.size(); i += 7) {
    std::uint64_t chunk;
    std::memcpy(&chunk, text.data() + i, 8);
    const std::uint64_t x = chunk ^ (kOnes * ' ');
    // High bit set exactly in the bytes that were spaces.
    const std::uint64_t spaces = ~(((x & kLow7) + kLow7) | x | kLow7);
    if (spaces & (spaces >> 8)) return true;
  }
  for (; i + 1 < text.size(); ++i) {
    if (text[i] == ' ' && text[i + 1] == ' ') return true;
  }
  return false;
}

// Two spaces become one in a single left-to-right pass (stored and unit words keep the spaces
// they were typed with), then spaces at either end go.
void TidySpaces(std::string& text) {
  if (text.empty()) return;
  if (!HasDoubleSpace(text)) {
    if (text.front() == ' ' || text.back() == ' ') {
      const std::size_t last = text.find_last_not_of(' ');
      text.erase(last == std::string::npos ? 0 : last + 1);
      text.erase(0, std::min(text.find_first_not_of(' '), text.size()));
    }
    return;
  }
  std::size_t kept = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == ' ' && i + 1 < text.size() && text[i + 1] == ' ') {
      text[kept++] = ' ';
      i += 2;
    } else {
      text[kept++] = text[i++];
    }
  }
  text.resize(kept);
  const std::size_t last = text.find_last_not_of(' ');
  text.erase(last == std::string::npos ? 0 : last + 1);
  text.erase(0, std::min(text.find_first_not_of(' '), text.size()));
}

// An empty unit word leaves two spaces in a row, and so may its own spaces.
bool MayNeedTidying(std::string_view unit) {
  return unit.empty() || unit.front() == ' ' || unit.back() == ' ' || HasDoubleSpace(unit);
}
bool PluralMayNeedTidying(const std::optional<std::string>& plural) {
  return plural && MayNeedTidying(*plural);
}

bool Overlaps(std::string_view text, const std::string& out) {
  return !text.empty() && text.data() >= out.data() && text.data() < out.data() + out.size();
}

enum class Kind { Number, Currency };

// A symbol that names one currency only; "$" and "¥" are shared by several.
std::string_view SymbolCurrency(CurrencySymbol symbol, std::string_view chosen) {
  switch (symbol) {
    case CurrencySymbol::Euro:
      return "EUR";
    case CurrencySymbol::Pound:
      return "GBP";
    case CurrencySymbol::Rupee:
      return "INR";
    default:
      return chosen;
  }
}

WordsOutcome SayBuiltIn(Kind kind, std::string_view text, const NumberText& number,
                        const WordSet& words, std::string& out) {
  const BuiltInSpeaker::Said said =
      kind == Kind::Number
          ? words.speaker->SayNumber(number, out)
          : words.speaker->SayAmount(number, SymbolCurrency(number.symbol, words.currency), out);
  if (!said.said) {
    out.assign(text);
    return {WordsStatus::NotSaid, Stem::One, said.why};
  }
  return {};
}

WordsOutcome Convert(Kind kind, std::string_view text, const WordSet& words, std::string& out) {
  if (Overlaps(text, out)) {
    const std::string copy(text);
    return Convert(kind, copy, words, out);
  }
  NumberText number;
  switch (ReadNumberText(text, number)) {
    case NumberTextStatus::Number:
      break;
    case NumberTextStatus::NotANumber:
      out.assign(text);
      return {WordsStatus::NotANumber};
    case NumberTextStatus::TooLarge:
      out.assign(text);
      return {WordsStatus::TooLarge};
  }
  if (words.speaker) return SayBuiltIn(kind, text, number, words, out);

  WordWriter writer(out);
  Speaker speaker(words, writer);
  if (kind == Kind::Number) {
    if (number.negative && !number.IsZero()) speaker.Say(Stem::Minus);
    if (number.IntegerIsZero()) {
      speaker.Say(Stem::Zero);
    } else {
      speaker.SayInteger(number.integer);
    }
    if (number.has_fraction) {
      speaker.Say(Stem::Point);
      // A fraction like .001 still says that there is one.
      if (number.hundredths == 0) {
        speaker.Say(Stem::Zero);
      } else {
        speaker.SayGroup(number.hundredths);
      }
    }
  } else {
    // Only an amount that is spoken as more than nothing takes the minus word.
    if (number.negative && !(number.IntegerIsZero() && number.hundredths == 0)) {
      speaker.Say(Stem::Minus);
    }
    if (number.IntegerIsZero()) {
      speaker.Say(Stem::No);
      speaker.SayUnit(words.unit, words.unit_plural, true);
    } else if (number.IntegerIsOne()) {
      speaker.Say(Stem::One);
      speaker.SayUnit(words.unit, words.unit_plural, false);
    } else {
      speaker.SayInteger(number.integer);
      speaker.SayUnit(words.unit, words.unit_plural, true);
    }
    speaker.Say(Stem::And);
    if (number.hundredths == 0) {
      speaker.Say(Stem::No);
      speaker.SayUnit(words.subunit, words.subunit_plural, true);
    } else if (number.hundredths == 1) {
      speaker.Say(Stem::One);
      speaker.SayUnit(words.subunit, words.subunit_plural, false);
    } else {
      speaker.SayGroup(number.hundredths);
      speaker.SayUnit(words.subunit, words.subunit_plural, true);
    }
  }

  if (const auto& missing = speaker.Missing()) {
    out.assign(text);
    return {WordsStatus::NoWord, *missing};
  }
  writer.Finish();
  // The English words hold no spaces; typed words may.
  if (!words.english ||
      (kind == Kind::Currency &&
       (MayNeedTidying(words.unit) || MayNeedTidying(words.subunit) ||
        PluralMayNeedTidying(words.unit_plural) || PluralMayNeedTidying(words.subunit_plural)))) {
    TidySpaces(out);
  }
  return {};
}

bool IsWhole(double value, double low, double high) {
  return value >= low && value <= high && value == std::floor(value);
}

}  // namespace

WordsOutcome NumberToWords(std::string_view text, const WordSet& words, std::string& out) {
  return Convert(Kind::Number, text, words, out);
}

WordsOutcome CurrencyToWords(std::string_view text, const WordSet& words, std::string& out) {
  return Convert(Kind::Currency, text, words, out);
}

std::string NumberToWords(std::string_view text, const WordSet& words) {
  std::string out;
  NumberToWords(text, words, out);
  return out;
}

std::string CurrencyToWords(std::string_view text, const WordSet& words) {
  std::string out;
  CurrencyToWords(text, words, out);
  return out;
}

std::string DescribeReason(const WordsOutcome& outcome, std::string_view language) {
  std::string reason;
  switch (outcome.status) {
    case WordsStatus::Converted:
      break;
    case WordsStatus::NotANumber:
      reason = "does not appear to be a number";
      break;
    case WordsStatus::TooLarge:
      reason = "is too large to write in words: the words reach 999 trillion (15 digits)";
      break;
    case WordsStatus::NoWord:
      reason = "was left unchanged: the word \"";
      reason += StemName(outcome.missing);
      reason += "\" of ";
      if (language.empty()) {
        reason += "the current language";
      } else {
        reason += "the language \"";
        reason += language;
        reason += "\"";
      }
      reason += " is empty";
      break;
    case WordsStatus::NotSaid:
      reason = "was left unchanged: ";
      reason += outcome.why;
      break;
  }
  return reason;
}

std::string DescribeOutcome(std::string_view text, const WordsOutcome& outcome,
                            std::string_view language) {
  if (outcome.converted()) return {};
  std::string message(text);
  message += ' ';
  message += DescribeReason(outcome, language);
  return message;
}

std::string DigitToWord(std::string_view text, const WordSet& words) {
  const double value = LeadingNumberValue(text);
  if (!IsWhole(value, 1, 9)) return {};
  return std::string(words.Word(DigitStem(static_cast<int>(value))));
}

std::string TensToWords(std::string_view text, const WordSet& words) {
  const double tens = LeadingNumberValue(text.substr(0, 1));
  if (tens == 1) {
    const double value = LeadingNumberValue(text);
    if (!IsWhole(value, 10, 19)) return {};
    return std::string(words.Word(TeenStem(static_cast<int>(value))));
  }
  std::string result;
  if (IsWhole(tens, 2, 9)) {
    result = words.Word(TensStem(static_cast<int>(tens)));
    result += ' ';
  }
  if (!text.empty()) result += DigitToWord(text.substr(text.size() - 1), words);
  return result;
}

std::string HundredsToWords(std::string_view text, const WordSet& words) {
  if (LeadingNumberValue(text) == 0) return {};
  std::string padded = "000";
  padded += text;
  const std::string_view last3 = std::string_view(padded).substr(padded.size() - 3);
  std::string result;
  if (last3[0] != '0') {
    result = DigitToWord(last3.substr(0, 1), words);
    result += ' ';
    result += words.Word(Stem::Hundred);
    result += ' ';
  }
  if (last3[1] != '0') {
    result += TensToWords(last3.substr(1), words);
  } else {
    result += DigitToWord(last3.substr(2), words);
  }
  return result;
}

double LeadingNumberValue(std::string_view text) {
  // Blanks count nowhere, not even inside the number.
  std::string packed;
  packed.reserve(text.size());
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') packed += c;
  }
  std::size_t i = 0;
  const std::size_t n = packed.size();
  bool negative = false;
  if (i < n && (packed[i] == '+' || packed[i] == '-')) negative = packed[i++] == '-';
  const std::size_t begin = i;
  std::size_t digits = 0;
  bool point = false;
  for (; i < n; ++i) {
    if (packed[i] >= '0' && packed[i] <= '9') {
      ++digits;
    } else if (packed[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return 0;
  bool small = false;
  if (i < n && (packed[i] == 'E' || packed[i] == 'e')) {
    std::size_t j = i + 1;
    if (j < n && (packed[j] == '+' || packed[j] == '-')) small = packed[j++] == '-';
    if (j < n && packed[j] >= '0' && packed[j] <= '9') {
      for (i = j; i < n && packed[i] >= '0' && packed[i] <= '9';) ++i;
    } else {
      small = false;
    }
  }
  double value = 0;
  const auto [end, error] = std::from_chars(packed.data() + begin, packed.data() + i, value);
  (void)end;
  if (error == std::errc::result_out_of_range) {
    value = small ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return negative ? -value : value;
}

}  // namespace quillory
