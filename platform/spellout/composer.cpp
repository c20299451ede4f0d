#include "platform/spellout/composer.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quillory::spellout {
namespace {

constexpr std::array<std::uint64_t, 20> MakePowers() {
  std::array<std::uint64_t, 20> powers{};
  std::uint64_t power = 1;
  for (std::uint64_t& entry : powers) {
    entry = power;
    power *= 10;
  }
  return powers;
}
constexpr std::array<std::uint64_t, 20> kPowers = MakePowers();

int DigitCount(std::uint64_t value) {
  int digits = 1;
  while (digits < 20 && value >= kPowers[digits]) ++digits;
  return digits;
}

// The same digits with every one that is not zero made `digit`: 2,005,300 -> 1,001,100.
std::uint64_t Canonical(std::uint64_t value, int digit) {
  std::uint64_t canonical = 0;
  for (int place = 0; value != 0; ++place, value /= 10) {
    if (value % 10 != 0) canonical += kPowers[place] * static_cast<std::uint64_t>(digit);
  }
  return canonical;
}

std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}
bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// What is left of `whole` after `prefix`, when it starts with it and something is left.
std::optional<std::string> After(std::string_view whole, std::string_view prefix) {
  if (!StartsWith(whole, prefix) || whole.size() == prefix.size()) return std::nullopt;
  return std::string(whole.substr(prefix.size()));
}

// What comes before `suffix` in `whole`, when it ends with it and something comes before.
std::optional<std::string> Before(std::string_view whole, std::string_view suffix) {
  if (!EndsWith(whole, suffix) || whole.size() == suffix.size()) return std::nullopt;
  return std::string(whole.substr(0, whole.size() - suffix.size()));
}

std::uint64_t RoundKey(int place, std::uint32_t value) {
  return (static_cast<std::uint64_t>(place) << 40) | value;
}
std::uint64_t ContextKey(int digits, int place, std::uint32_t value) {
  return (static_cast<std::uint64_t>(digits) << 48) | RoundKey(place, value);
}

// Words with digits left in them (Icelandic -2 GBP is "-2 breskt pund") are not taken.
bool HasDigit(std::string_view words) {
  return std::any_of(words.begin(), words.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A group of more than three digits has its thousands in it: 2,005 of 2,005,000,000.
bool IsCount(std::uint32_t value) {
  return value >= 1000 && value % 1000 != 0;
}

// The whole part of a number with digits after the point is put together like an amount whose
// unit is the point, under this name: the library is asked for "1234," as for "EUR 1234".
constexpr std::string_view kBeforePoint = ".";

// Cached pieces of digits after the point are kept up to this many before starting afresh.
constexpr std::size_t kMaxFractionPieces = 1 << 16;

}  // namespace

std::vector<int> ThousandsPlaces(std::uint64_t, int) {
  return {0, 3, 6, 9, 12};
}

// One lakh is 1,00,000 and one crore 1,00,00,000; up to 11 digits the crores are counted with up
// to four digits ("1,234 crore"), from 12 digits on billions and trillions take over above them.
std::vector<int> IndianPlaces(std::uint64_t, int digits) {
  if (digits <= 11) return {0, 3, 5, 7};
  return {0, 3, 5, 7, 9, 12};
}

std::vector<int> LongScalePlaces(std::uint64_t, int) {
  return {0, 3, 6, 12};
}

std::vector<int> DutchPlaces(std::uint64_t integer, int) {
  const std::uint64_t last = integer % 1'000'000;
  if (last >= 1000 && last < 10'000 && last / 100 % 10 != 0) return {0, 2, 6, 9, 12};
  return {0, 3, 6, 9, 12};
}

Composer::Composer(LibraryCall library, const Grammar& grammar, bool compose)
    : library_(std::move(library)), grammar_(grammar), compose_(compose) {}

bool Composer::Raw(std::string input, std::string& out, bool from_start) {
  ++calls_;
  if (!library_(input)) return false;
  if (from_start && !input.empty() && input.front() == ' ') return false;
  out.clear();
  for (const char c : TrimSpaces(input)) {
    if (c != ' ' || out.back() != ' ') out += c;  // never empty here: trimmed
  }
  return !out.empty();
}

bool Composer::Library(std::string input, std::string& out) {
  return Raw(std::move(input), out);
}

// A whole text asked of the library, kept so that a text that comes again is not asked again.
bool Composer::WholeText(std::string input, std::string& out, bool from_start) {
  if (wholes_.size() >= kMaxFractionPieces) wholes_.clear();
  auto [entry, added] = wholes_.try_emplace(input);
  if (added) {
    std::string words;
    if (Raw(std::move(input), words, from_start)) entry->second = std::move(words);
  }
  if (!entry->second) return false;
  out = *entry->second;
  return true;
}

std::vector<Composer::Term> Composer::Split(std::uint64_t integer, int& digits) const {
  digits = DigitCount(integer);
  std::vector<Term> terms;
  if (integer == 0) {
    terms.push_back({0, 0});
    return terms;
  }
  const std::vector<int> places = grammar_.places(integer, digits);
  for (std::size_t i = places.size(); i-- > 0;) {
    const int place = places[i];
    if (place >= digits) continue;
    std::uint64_t value = integer / kPowers[place];
    if (i + 1 < places.size() && places[i + 1] < digits) value %= kPowers[places[i + 1] - place];
    if (value != 0) terms.push_back({place, static_cast<std::uint32_t>(value)});
  }
  return terms;
}

const Composer::Piece& Composer::Round(const Term& term) {
  auto [entry, added] = round_.try_emplace(RoundKey(term.place, term.value));
  if (added) {
    std::string words;
    if (Raw(std::to_string(term.value * kPowers[term.place]), words)) entry->second = words;
  }
  return entry->second;
}

// The glues between the groups of the number `canonical`, whose digits are all 0 or 1, found by
// locating the words of each group in the library's words for the whole.
const std::vector<std::string>* Composer::Glues(std::uint64_t canonical) {
  auto [entry, added] = glues_.try_emplace(canonical);
  if (added) {
    int digits = 0;
    const std::vector<Term> terms = Split(canonical, digits);
    std::string whole;
    if (terms.size() < 2 || !Raw(std::to_string(canonical), whole)) return nullptr;
    std::vector<std::string> glues;
    std::size_t at = 0;
    for (std::size_t i = 0; i < terms.size(); ++i) {
      const Piece& piece = Round(terms[i]);
      if (!piece) return nullptr;
      std::size_t found;
      if (i == 0) {
        found = StartsWith(whole, *piece) ? 0 : std::string::npos;
      } else if (i + 1 == terms.size()) {
        found = EndsWith(whole, *piece) && whole.size() - piece->size() >= at
                    ? whole.size() - piece->size()
                    : std::string::npos;
      } else {
        found = whole.find(*piece, at);
      }
      if (found == std::string::npos) return nullptr;
      if (i > 0) glues.push_back(whole.substr(at, found - at));
      at = found + piece->size();
    }
    entry->second = std::move(glues);
  }
  return entry->second ? &*entry->second : nullptr;
}

// The words of a group below the first, as the language says them after a higher group in a
// number of `digits` digits: learnt from 10^(digits-1) + the group.
const Composer::Piece& Composer::Context(int digits, const Term& term) {
  auto [entry, added] = context_.try_emplace(ContextKey(digits, term.place, term.value));
  if (added) {
    const std::uint64_t top = kPowers[digits - 1];
    const std::uint64_t number = top + term.value * kPowers[term.place];
    int unused = 0;
    const std::vector<Term> terms = Split(number, unused);
    const std::vector<std::string>* glues = Glues(Canonical(number, grammar_.glue_digit));
    std::string words;
    if (terms.size() == 2 && glues && glues->size() == 1 && Round(terms[0]) &&
        Raw(std::to_string(number), words)) {
      entry->second = After(words, *Round(terms[0]) + (*glues)[0]);
    }
  }
  return entry->second;
}

Composer::CurrencyPieces& Composer::Pieces(std::string_view currency) {
  auto found = currencies_.find(std::string(currency));
  if (found == currencies_.end()) found = currencies_.try_emplace(std::string(currency)).first;
  return found->second;
}

// The words of the count `rest` (below 1000) after a thousand in a group at `place`: "cinco
// millones" of "mil cinco millones".
const Composer::Piece& Composer::CountTail(int place, std::uint32_t rest) {
  auto [entry, added] = count_tails_.try_emplace(RoundKey(place, rest));
  if (added) {
    const std::string* glue = CountGlue(rest);
    const Piece& thousand = Round({3, 1});
    const Piece& words = Round({place, 1000 + rest});
    if (glue && thousand && words) entry->second = After(*words, *thousand + *glue);
  }
  return entry->second;
}

// The glue between a thousand and `rest` in a plain number ("mil e um", "one thousand one").
const std::string* Composer::CountGlue(std::uint32_t rest) {
  const std::vector<std::string>* glues = Glues(1000 + Canonical(rest, grammar_.glue_digit));
  return glues && glues->size() == 1 ? &glues->front() : nullptr;
}

// A count of more than three digits, h * 1000 + rest, from the words of the same group with
// h * 1000 + 1: those with the words of 1 taken off the end, then those of `rest`.
bool Composer::AppendCount(const Piece& with_one, int place, std::uint32_t rest, std::string& out) {
  if (!with_one) return false;
  const std::string* glue_one = CountGlue(1);
  const Piece& one = CountTail(place, 1);
  const std::string* glue = CountGlue(rest);
  const Piece& tail = CountTail(place, rest);
  if (!glue_one || !one || !glue || !tail) return false;
  const std::string one_words = *glue_one + *one;
  if (!EndsWith(*with_one, one_words) || with_one->size() == one_words.size()) return false;
  out.append(*with_one, 0, with_one->size() - one_words.size());
  out += *glue;
  out += *tail;
  return true;
}

// The last group's words in an amount of `digits` digits, unit included: learnt from
// 10^(digits-1) + the group.
const Composer::Piece& Composer::CurrencyLast(CurrencyPieces& pieces, std::string_view code,
                                              int digits, const Term& term) {
  auto [entry, added] = pieces.last.try_emplace(ContextKey(digits, term.place, term.value));
  if (added) {
    const std::uint64_t number = kPowers[digits - 1] + term.value * kPowers[term.place];
    int unused = 0;
    const std::vector<Term> pair = Split(number, unused);
    const std::vector<std::string>* glues = Glues(Canonical(number, grammar_.glue_digit));
    std::string words;
    if (pair.size() == 2 && glues && glues->size() == 1 && Round(pair[0]) &&
        Raw(AmountInput(code, false, number, 0), words)) {
      entry->second = After(words, *Round(pair[0]) + (*glues)[0]);
    }
  }
  return entry->second;
}

// The first group's words in an amount, as said before lower groups: learnt from the group
// followed by 2 (201,002 for 201,000), taking off the words the amount 2 ends with.
const Composer::Piece& Composer::CurrencyHead(CurrencyPieces& pieces, std::string_view code,
                                              const Term& term) {
  auto [entry, added] = pieces.head.try_emplace(RoundKey(term.place, term.value));
  if (added) {
    const std::uint64_t number = term.value * kPowers[term.place] + 2;
    int digits = 0;
    const std::vector<Term> terms = Split(number, digits);
    const std::vector<std::string>* glues = Glues(Canonical(number, grammar_.glue_digit));
    std::string words;
    if (terms.size() == 2 && terms[0].place == term.place && glues && glues->size() == 1) {
      const Piece& last = CurrencyLast(pieces, code, digits, terms[1]);
      if (last && Raw(AmountInput(code, false, number, 0), words)) {
        entry->second = Before(words, (*glues)[0] + *last);
      }
    }
  }
  return entry->second;
}

// A group's words between a higher and a lower one in an amount of `digits` digits: learnt from
// 10^(digits-1) + the group + 2.
const Composer::Piece& Composer::CurrencyMiddle(CurrencyPieces& pieces, std::string_view code,
                                                int digits, const Term& term) {
  auto [entry, added] = pieces.middle.try_emplace(ContextKey(digits, term.place, term.value));
  if (added) {
    const std::uint64_t number = kPowers[digits - 1] + term.value * kPowers[term.place] + 2;
    int unused = 0;
    const std::vector<Term> terms = Split(number, unused);
    const std::vector<std::string>* glues = Glues(Canonical(number, grammar_.glue_digit));
    std::string words;
    if (terms.size() == 3 && terms[1].place == term.place && glues && glues->size() == 2) {
      const Piece& top = CurrencyHead(pieces, code, terms[0]);
      const Piece& last = CurrencyLast(pieces, code, digits, terms[2]);
      if (top && last && Raw(AmountInput(code, false, number, 0), words)) {
        if (const Piece before = Before(words, (*glues)[1] + *last)) {
          entry->second = After(*before, *top + (*glues)[0]);
        }
      }
    }
  }
  return entry->second;
}

template <typename PieceOf>
bool Composer::AppendTerm(const Term& term, PieceOf&& piece, std::string& out) {
  if (IsCount(term.value)) {
    return AppendCount(piece({term.place, term.value / 1000 * 1000 + 1}), term.place,
                       term.value % 1000, out);
  }
  const Piece& words = piece(term);
  if (!words) return false;
  out += *words;
  return true;
}

bool Composer::AppendFirst(const Term& term, CurrencyPieces* currency, std::string_view code,
                           std::string& out) {
  return AppendTerm(
      term,
      [&](const Term& of) -> const Piece& {
        return currency ? CurrencyHead(*currency, code, of) : Round(of);
      },
      out);
}

bool Composer::AppendMiddle(int digits, const Term& term, CurrencyPieces* currency,
                            std::string_view code, std::string& out) {
  return AppendTerm(
      term,
      [&](const Term& of) -> const Piece& {
        return currency ? CurrencyMiddle(*currency, code, digits, of) : Context(digits, of);
      },
      out);
}

bool Composer::Whole(std::uint64_t integer, CurrencyPieces* currency, std::string_view code,
                     std::string& out) {
  auto library = [&] {
    std::string input = currency ? AmountInput(code, false, integer, 0) : std::to_string(integer);
    // The whole part of a number is never said with nothing before it; an amount may be
    // (Catalan " dos  euros").
    const bool number = !currency || code == kBeforePoint;
    return WholeText(std::move(input), out, number && integer != 0);
  };
  int digits = 0;
  const std::vector<Term> terms = Split(integer, digits);
  out.clear();
  if (terms.size() == 1) {
    const Term& term = terms.front();
    if (!currency) return AppendFirst(term, nullptr, code, out) || library();
    // Amounts of a round count of millions are rare; they are not kept.
    if (IsCount(term.value)) return library();
    auto [entry, added] = currency->round.try_emplace(RoundKey(term.place, term.value));
    if (added) {
      std::string words;
      if (Raw(AmountInput(code, false, term.value * kPowers[term.place], 0), words)) {
        entry->second = words;
      }
    }
    if (!entry->second) return library();
    out = *entry->second;
    return true;
  }

  const std::vector<std::string>* glues = Glues(Canonical(integer, grammar_.glue_digit));
  if (!glues || glues->size() + 1 != terms.size() ||
      !AppendFirst(terms.front(), currency, code, out)) {
    return library();
  }
  for (std::size_t i = 1; i < terms.size(); ++i) {
    out += (*glues)[i - 1];
    const Term& term = terms[i];
    if (currency && i + 1 == terms.size()) {
      if (IsCount(term.value)) return library();
      const Piece& piece = CurrencyLast(*currency, code, digits, term);
      if (!piece) return library();
      out += *piece;
    } else if (!AppendMiddle(digits, term, currency, code, out)) {
      return library();
    }
  }
  return true;
}

const Composer::Piece& Composer::Minus() {
  if (!minus_read_) {
    minus_read_ = true;
    std::string negative;
    std::string positive;
    if (Raw("-2", negative) && Raw("2", positive)) minus_ = Before(negative, positive);
  }
  return minus_;
}

// The words after the point, learnt from 1 and the same digits after the point, or where they
// agree with the whole number, from its last two digits (and a hundred, when it has more); with
// `after_point_words`, what follows the words the library gives for the whole part and the
// point ("1,").
const Composer::Piece& Composer::Fraction(std::uint64_t integer, std::string_view fraction,
                                          bool after_point_words) {
  std::uint64_t before = 1;
  if (grammar_.fraction_agrees) before = integer < 100 ? integer : 100 + integer % 100;
  std::string key(fraction);
  key += after_point_words ? ',' : '/';
  key += std::to_string(before);
  if (fractions_.size() >= kMaxFractionPieces) fractions_.clear();
  auto [entry, added] = fractions_.try_emplace(std::move(key));
  if (added) {
    std::string whole;
    std::string words;
    std::string input = std::to_string(before);
    input += grammar_.separator;
    if (Raw(after_point_words ? input : std::to_string(before), whole) &&
        Raw(input + std::string(fraction), words)) {
      entry->second = After(words, whole);
    }
  }
  return entry->second;
}

const Composer::Piece& Composer::OnlyFraction(std::string_view fraction) {
  if (only_fractions_.size() >= kMaxFractionPieces) only_fractions_.clear();
  auto [entry, added] = only_fractions_.try_emplace(std::string(fraction));
  if (added) {
    std::string words;
    std::string input = "0";
    input += grammar_.separator;
    input += fraction;
    if (Raw(std::move(input), words)) entry->second = words;
  }
  return entry->second;
}

bool Composer::Number(bool negative, std::uint64_t integer, std::string_view fraction,
                      std::string& out) {
  return NumberWords(negative, integer, fraction, out) && !HasDigit(out);
}

bool Composer::NumberWords(bool negative, std::uint64_t integer, std::string_view fraction,
                           std::string& out) {
  auto library = [&] {
    std::string input = negative ? "-" : "";
    input += std::to_string(integer);
    if (!fraction.empty()) {
      input += grammar_.separator;
      input += fraction;
    }
    if (!WholeText(std::move(input), out, integer != 0)) return false;
    // As for amounts: a negative number's words start the way the language starts them.
    if (!negative) return true;
    const Piece& minus = Minus();
    return !minus || StartsWith(out, *minus);
  };
  // Minus one and minus zero point something are said differently in some languages.
  if (!compose_ || (negative && integer <= 1)) return library();
  if (fraction.empty()) {
    if (!Whole(integer, nullptr, {}, out)) return false;
  } else if (integer == 0) {
    const Piece& piece = OnlyFraction(fraction);
    if (!piece) return library();
    out = *piece;
  } else if (const Piece& piece = Fraction(integer, fraction, false)) {
    if (!Whole(integer, nullptr, {}, out)) return false;
    out += *piece;
  } else {
    // The whole part changes before the point (Russian "одна целая", "две целых").
    const Piece& tail = Fraction(integer, fraction, true);
    if (!tail || !Whole(integer, &Pieces(kBeforePoint), kBeforePoint, out)) return library();
    out += *tail;
  }
  if (negative) {
    const Piece& minus = Minus();
    if (!minus) return library();
    out.insert(0, *minus);
  }
  return true;
}

std::string Composer::AmountInput(std::string_view currency, bool negative, std::uint64_t integer,
                                  int cents) const {
  if (currency == kBeforePoint) {
    std::string input = negative ? "-" : "";
    input += std::to_string(integer);
    input += grammar_.separator;
    return input;
  }
  std::string input(currency);
  input += ' ';
  if (negative) input += '-';
  input += std::to_string(integer);
  if (cents != 0) {
    input += grammar_.separator;
    input += static_cast<char>('0' + cents / 10);
    input += static_cast<char>('0' + cents % 10);
  }
  return input;
}

const Composer::Piece& Composer::CurrencyMinus(CurrencyPieces& pieces, std::string_view currency) {
  if (!pieces.minus_read) {
    pieces.minus_read = true;
    std::string minus;
    std::string plus;
    if (Raw(AmountInput(currency, true, 2, 0), minus) &&
        Raw(AmountInput(currency, false, 2, 0), plus)) {
      pieces.minus = Before(minus, plus);
    }
  }
  return pieces.minus;
}

void Composer::PutZero(CurrencyPieces& pieces, std::string_view currency, bool negative,
                       std::string& out) {
  const Piece& zero = Round({0, 0});
  if (!zero || out.find(*zero) != std::string::npos) return;
  std::size_t at = 0;
  if (negative) {
    const Piece& minus = CurrencyMinus(pieces, currency);
    if (!minus || !StartsWith(out, *minus)) return;
    at = minus->size();
  }
  const std::string rest(TrimSpaces(std::string_view(out).substr(at)));
  out.resize(at);
  out += *zero;
  out += ' ';
  out += rest;
}

bool Composer::Amount(std::string_view currency, bool negative, std::uint64_t integer, int cents,
                      std::string& out) {
  if (!AmountWords(currency, negative, integer, cents, out) || HasDigit(out)) return false;
  // The library's words for some negative amounts leave the units out (Lithuanian, EUR
  // -7005480,13: " ir trylika euro centų"); words that do not start the way the language starts
  // a negative amount are not taken.
  if (negative) {
    const Piece& minus = CurrencyMinus(Pieces(currency), currency);
    if (minus && !StartsWith(out, *minus)) return false;
  }
  if (integer == 0) PutZero(Pieces(currency), currency, negative, out);
  return true;
}

bool Composer::AmountWords(std::string_view currency, bool negative, std::uint64_t integer,
                           int cents, std::string& out) {
  CurrencyPieces& pieces = Pieces(currency);
  auto library = [&] {
    if (!WholeText(AmountInput(currency, negative, integer, cents), out, false)) return false;
    // Some negative amounts come back without their sign or number (Irish -5 euro is " euro",
    // Afrikaans -0,81 rand the words of 0,81): words that end those of the amount without its
    // sign are not taken.
    std::string positive;
    return !negative || !WholeText(AmountInput(currency, false, integer, cents), positive, false) ||
           !EndsWith(positive, out);
  };
  if (!compose_ || (negative && integer <= 1)) return library();
  if (cents == 0) {
    if (!Whole(integer, &pieces, currency, out)) return false;
  } else if (integer == 0) {
    auto [entry, added] = pieces.only_cents.try_emplace(cents);
    if (added) {
      std::string words;
      if (Raw(AmountInput(currency, false, 0, cents), words)) entry->second = words;
    }
    if (!entry->second) return library();
    out = *entry->second;
  } else {
    auto [entry, added] = pieces.cents.try_emplace(cents);
    if (added) {
      std::string one;
      std::string words;
      if (Raw(AmountInput(currency, false, 1, 0), one) &&
          Raw(AmountInput(currency, false, 1, cents), words)) {
        entry->second = After(words, one);
      }
    }
    if (!entry->second) return library();
    const std::string tail = *entry->second;
    if (!Whole(integer, &pieces, currency, out)) return false;
    out += tail;
  }
  if (negative) {
    const Piece& minus = CurrencyMinus(pieces, currency);
    if (!minus) return library();
    out.insert(0, *minus);
  }
  return true;
}

}  // namespace quillory::spellout
