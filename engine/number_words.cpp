#include "engine/number_words.h"

#include <algorithm>
#include <array>
#include <charconv>
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

// The English words of a group of three digits in two pieces, its hundreds ("Seven Hundred")
// and the rest ("Seventy Seven"), each in a slot of 16 bytes. The 110 slots, about 2 KB, stay in
// the processor's nearest cache, where the words of all thousand groups whole would not.
struct EnglishGroupPieces {
  std::array<EnglishSlot, 10> hundreds{};
  std::array<EnglishSlot, 100> rest{};

  constexpr EnglishGroupPieces() {
    auto fill = [](EnglishSlot& slot, int group) {
      std::size_t at = 0;
      ForEachGroupStem(group, [&](Stem stem) {
        if (at != 0) slot.text[at++] = ' ';
        for (char c : kEnglishWords[Index(stem)]) slot.text[at++] = c;
      });
      slot.size = static_cast<std::uint8_t>(at);
    };
    for (int hundreds_digit = 0; hundreds_digit < 10; ++hundreds_digit) {
      fill(hundreds[hundreds_digit], hundreds_digit * 100);
    }
    for (int below_hundred = 0; below_hundred < 100; ++below_hundred) {
      fill(rest[below_hundred], below_hundred);
    }
  }
};

constexpr EnglishGroupPieces kEnglishGroupPieces;

// How many bytes from its start PutEnglishGroup may write: a hundreds piece shorter than its
// slot, a space and a whole slot.
constexpr std::size_t kEnglishGroupMove = 2 * sizeof EnglishSlot::text;

// Writes the English words of a group, 0-999, at `at` with two fixed moves; returns their end.
[[gnu::always_inline]] inline char* PutEnglishGroup(char* at, int group) {
  const EnglishSlot& hundreds = kEnglishGroupPieces.hundreds[group / 100];
  const EnglishSlot& rest = kEnglishGroupPieces.rest[group % 100];
  std::memcpy(at, hundreds.text, sizeof hundreds.text);
  at += hundreds.size;
  *at = ' ';  // kept only between two pieces, else overwritten or cut
  at += (hundreds.size != 0) & (rest.size != 0);
  std::memcpy(at, rest.text, sizeof rest.text);
  return at + rest.size;
}

constexpr std::array<Stem, 4> kScaleStems = {Stem::Thousand, Stem::Million, Stem::Billion,
                                             Stem::Trillion};
static_assert([] {
  for (Stem scale : kScaleStems) {
    if (kEnglishWords[Index(scale)].size() > 8) return false;
  }
  for (const EnglishSlot& slot : kEnglishGroupPieces.hundreds) {
    if (slot.size > 13) return false;
  }
  for (const EnglishSlot& slot : kEnglishGroupPieces.rest) {
    if (slot.size > 13) return false;
  }
  return true;
}());

// Copies `size` bytes, below 16, with two moves of a fixed size that may overlap, reading nothing
// past the end of `from`.
[[gnu::always_inline]] inline void CopyShort(char* to, const char* from, std::size_t size) {
  if (size >= 8) {
    std::uint64_t head;
    std::uint64_t tail;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + size - 8, 8);
    std::memcpy(to, &head, 8);
    std::memcpy(to + size - 8, &tail, 8);
  } else if (size >= 4) {
    std::uint32_t head;
    std::uint32_t tail;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + size - 4, 4);
    std::memcpy(to, &head, 4);
    std::memcpy(to + size - 4, &tail, 4);
  } else if (size > 0) {
    to[0] = from[0];
    to[size / 2] = from[size / 2];
    to[size - 1] = from[size - 1];
  }
}

// Builds words separated by single spaces, each word copied with moves of a fixed size where
// there is room. Appending to a TextBuffer, the words go straight into it. Replacing a string, they
// are built in a buffer on the stack, so that a number costs no allocation once `out` has grown,
// and copied at the end; longer texts (long stored words) spill into `out`.
class WordWriter {
 public:
  explicit WordWriter(std::string& out)
      : out_(&out), begin_(stack_), at_(stack_), limit_(stack_ + kRoom) {}
  explicit WordWriter(TextBuffer& out) : buffer_(&out) {
    begin_ = at_ = out.Room(kRoom);
    limit_ = at_ + kRoom;
  }
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
    if (static_cast<std::size_t>(limit_ - at_) < Move + 1) [[unlikely]] {
      Word({text, size});
      return;
    }
    if (any_) *at_++ = ' ';
    any_ = true;
    std::memcpy(at_, text, Move);
    at_ += size;
  }

  // A word of any length; one shorter than 16 bytes is copied inline, reading none of the bytes
  // past its end.
  [[gnu::always_inline]] void TypedWord(std::string_view word) {
    const std::size_t size = word.size();
    if (size >= 16 || static_cast<std::size_t>(limit_ - at_) <= size) [[unlikely]] {
      Word(word);
      return;
    }
    if (any_) *at_++ = ' ';
    any_ = true;
    CopyShort(at_, word.data(), size);
    at_ += size;
  }

  // Appended to the word before, as the plural "s".
  void Glue(char c) {
    if (at_ == limit_) [[unlikely]] {
      Put({&c, 1});
      return;
    }
    *at_++ = c;
  }

  // The English words of a group of three digits, 1-999.
  void EnglishGroup(int group) {
    if (static_cast<std::size_t>(limit_ - at_) < kEnglishGroupMove + 1) [[unlikely]] {
      char words[kEnglishGroupMove];
      Word({words, static_cast<std::size_t>(PutEnglishGroup(words, group) - words)});
      return;
    }
    if (any_) *at_++ = ' ';
    any_ = true;
    at_ = PutEnglishGroup(at_, group);
  }

  // The English words of a whole part given as its groups of three digits, lowest first: each
  // group and its scale word with fixed moves, the position held in a register throughout.
  void EnglishInteger(const int* groups, int count) {
    if (static_cast<std::size_t>(limit_ - at_) < kEnglishIntegerRoom) [[unlikely]] {
      while (count-- > 0) {
        if (groups[count] == 0) continue;
        EnglishGroup(groups[count]);
        if (count > 0) {
          const EnglishSlot& scale = kEnglishSlots[Index(kScaleStems[count - 1])];
          WordFrom<sizeof scale.text>(scale.text, scale.size);
        }
      }
      return;
    }
    char* at = at_;
    bool any = any_;
    while (count-- > 0) {
      if (groups[count] == 0) continue;
      *at = ' ';  // kept only after an earlier word, else overwritten
      at += any;
      any = true;
      at = PutEnglishGroup(at, groups[count]);
      if (count > 0) {
        const EnglishSlot& scale = kEnglishSlots[Index(kScaleStems[count - 1])];
        *at++ = ' ';
        std::memcpy(at, scale.text, sizeof scale.text);
        at += scale.size;
      }
    }
    at_ = at;
    any_ = any;
  }

  // Puts the words in `out`: after what it held when appending, in its place when replacing.
  void Finish() {
    if (buffer_) {
      buffer_->Commit(Written());
    } else if (spilled_) {
      out_->append(stack_, Written());
    } else {
      out_->assign(stack_, Written());
    }
  }

 private:
  static constexpr std::size_t kRoom = 480;
  // Five groups of at most 27 bytes, four scale words of at most 8, their spaces and the slack
  // of the last move.
  static constexpr std::size_t kEnglishIntegerRoom = 1 + 5 * 28 + 4 * 9 + kEnglishGroupMove;

  std::size_t Written() const { return static_cast<std::size_t>(at_ - begin_); }

  void Separate() {
    if (any_) Put(" ");
    any_ = true;
  }

  void Put(std::string_view text) {
    if (text.size() > static_cast<std::size_t>(limit_ - at_)) [[unlikely]] {
      if (!MakeRoom(text)) return;
    }
    std::memcpy(at_, text.data(), text.size());
    at_ += text.size();
  }

  // Moves what is written out of the way so that `text` fits; false when `text` was taken
  // whole instead.
  bool MakeRoom(std::string_view text) {
    if (buffer_) {
      buffer_->Commit(Written());
      const std::size_t room = std::max(text.size(), kRoom);
      begin_ = at_ = buffer_->Room(room);
      limit_ = at_ + room;
      return true;
    }
    if (!spilled_) out_->clear();
    spilled_ = true;
    out_->append(stack_, Written());
    at_ = stack_;
    if (text.size() > kRoom) {
      out_->append(text);
      return false;
    }
    return true;
  }

  std::string* out_ = nullptr;
  TextBuffer* buffer_ = nullptr;
  char* begin_;  // where the words not yet in `out` start
  char* at_;
  char* limit_;
  bool spilled_ = false;
  bool any_ = false;
  char stack_[kRoom];
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
  [[gnu::always_inline]] void SayTyped(const std::string& word) { writer_.TypedWord(word); }

  void SayGroup(int group) {
    if (words_.english) {
      writer_.EnglishGroup(group);
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
    if (words_.english) {
      writer_.EnglishInteger(groups, count);
      return;
    }
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
    if (plural) writer_.Glue('s');
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
// they were typed with), then spaces at either end go. Works in place on the `size` bytes at
// `text` and returns how many are left, moved to the front.
std::size_t TidySpaces(char* text, std::size_t size) {
  std::size_t kept = size;
  if (HasDoubleSpace({text, size})) {
    kept = 0;
    for (std::size_t i = 0; i < size;) {
      if (text[i] == ' ' && i + 1 < size && text[i + 1] == ' ') {
        text[kept++] = ' ';
        i += 2;
      } else {
        text[kept++] = text[i++];
      }
    }
  }
  std::size_t end = kept;
  while (end > 0 && text[end - 1] == ' ') --end;
  std::size_t begin = 0;
  while (begin < end && text[begin] == ' ') ++begin;
  if (begin > 0) std::memmove(text, text + begin, end - begin);
  return end - begin;
}

// An empty unit word leaves two spaces in a row, and so may its own spaces.
bool MayNeedTidying(std::string_view unit) {
  return unit.empty() || unit.front() == ' ' || unit.back() == ' ' || HasDoubleSpace(unit);
}
bool PluralMayNeedTidying(const std::optional<std::string>& plural) {
  return plural && MayNeedTidying(*plural);
}

// The English words hold no spaces; typed words may.
bool NeedsTidying(bool currency, const WordSet& words) {
  return !words.english ||
         (currency &&
          (MayNeedTidying(words.unit) || MayNeedTidying(words.subunit) ||
           PluralMayNeedTidying(words.unit_plural) || PluralMayNeedTidying(words.subunit_plural)));
}

// Says the words of `number`, as an amount when `currency`; returns the first word the stored
// language lacks, if any.
std::optional<Stem> SayNumber(bool currency, const NumberText& number, const WordSet& words,
                              WordWriter& writer) {
  Speaker speaker(words, writer);
  if (!currency) {
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
  return speaker.Missing();
}

bool Overlaps(std::string_view text, std::string_view out) {
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

// Reads `text` into `number`; why it is not said when it is no number or too large for words.
std::optional<WordsStatus> Unreadable(std::string_view text, NumberText& number) {
  switch (ReadNumberText(text, number)) {
    case NumberTextStatus::Number:
      return std::nullopt;
    case NumberTextStatus::NotANumber:
      return WordsStatus::NotANumber;
    case NumberTextStatus::TooLarge:
      return WordsStatus::TooLarge;
  }
  return WordsStatus::NotANumber;
}

WordsOutcome Convert(Kind kind, std::string_view text, const WordSet& words, std::string& out) {
  if (Overlaps(text, out)) {
    const std::string copy(text);
    return Convert(kind, copy, words, out);
  }
  NumberText number;
  if (const std::optional<WordsStatus> unread = Unreadable(text, number)) {
    out.assign(text);
    return {*unread};
  }
  if (words.speaker) return SayBuiltIn(kind, text, number, words, out);

  WordWriter writer(out);
  const bool currency = kind == Kind::Currency;
  if (const std::optional<Stem> missing = SayNumber(currency, number, words, writer)) {
    out.assign(text);
    return {WordsStatus::NoWord, *missing};
  }
  writer.Finish();
  if (NeedsTidying(currency, words)) out.resize(TidySpaces(out.data(), out.size()));
  return {};
}

// As Convert, with the words or `text` added at the end of `out`.
WordsOutcome Append(Kind kind, std::string_view text, const WordSet& words, TextBuffer& out) {
  if (Overlaps(text, out.view())) {
    const std::string copy(text);
    return Append(kind, copy, words, out);
  }
  NumberText number;
  if (const std::optional<WordsStatus> unread = Unreadable(text, number)) {
    out.append(text);
    return {*unread};
  }
  if (words.speaker) {
    std::string said;
    const WordsOutcome outcome = SayBuiltIn(kind, text, number, words, said);
    out.append(said);
    return outcome;
  }

  const std::size_t start = out.size();
  WordWriter writer(out);
  const bool currency = kind == Kind::Currency;
  if (const std::optional<Stem> missing = SayNumber(currency, number, words, writer)) {
    out.Truncate(start);
    out.append(text);
    return {WordsStatus::NoWord, *missing};
  }
  writer.Finish();
  if (NeedsTidying(currency, words)) {
    out.Truncate(start + TidySpaces(out.data() + start, out.size() - start));
  }
  return {};
}

}  // namespace

WordsOutcome NumberToWords(std::string_view text, const WordSet& words, std::string& out) {
  return Convert(Kind::Number, text, words, out);
}

WordsOutcome CurrencyToWords(std::string_view text, const WordSet& words, std::string& out) {
  return Convert(Kind::Currency, text, words, out);
}

WordsOutcome AppendNumberWords(std::string_view text, const WordSet& words, TextBuffer& out) {
  return Append(Kind::Number, text, words, out);
}

WordsOutcome AppendCurrencyWords(std::string_view text, const WordSet& words, TextBuffer& out) {
  return Append(Kind::Currency, text, words, out);
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
