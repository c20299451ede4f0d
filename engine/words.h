#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillory {

class SettingsStore;
struct BuiltInLanguage;
class BuiltInSpeaker;
class BuiltInSpeakers;

// One word of a language. The first 35 are the words every stored language has; Zero and Minus
// are optional words that only numbers needing them use.
// clang-format off
enum class Stem : std::uint8_t {
  One, Two, Three, Four, Five, Six, Seven, Eight, Nine,
  Ten, Eleven, Twelve, Thirteen, Fourteen, Fifteen, Sixteen, Seventeen, Eighteen, Nineteen,
  Twenty, Thirty, Forty, Fifty, Sixty, Seventy, Eighty, Ninety,
  Hundred, Thousand, Million, Billion, Trillion,
  Point, And, No,
  Zero, Minus,
};
// clang-format on
inline constexpr std::size_t kStemCount = 37;

inline constexpr std::size_t Index(Stem stem) {
  return static_cast<std::size_t>(stem);
}

// Every stem in the order above.
const std::array<Stem, kStemCount>& AllStems();
// The key stem, "One_" ... "Minus_".
std::string_view StemKey(Stem stem);
// The stem whose key is `key` ("Seven_"), if any.
std::optional<Stem> StemFromKey(std::string_view key);
// The word as the user sees it in the language editor: "One", "Eleven", "And", "Minus".
std::string_view StemName(Stem stem);
// The built-in English words, bare, in the order above.
inline constexpr std::array<std::string_view, kStemCount> kEnglishWords = {
    "One",       "Two",      "Three",    "Four",    "Five",     "Six",      "Seven",   "Eight",
    "Nine",      "Ten",      "Eleven",   "Twelve",  "Thirteen", "Fourteen", "Fifteen", "Sixteen",
    "Seventeen", "Eighteen", "Nineteen", "Twenty",  "Thirty",   "Forty",    "Fifty",   "Sixty",
    "Seventy",   "Eighty",   "Ninety",   "Hundred", "Thousand", "Million",  "Billion", "Trillion",
    "Point",     "and",      "No",       "Zero",    "Minus",
};
// The built-in English word, bare: "One", "Twenty", "Hundred", "Point", "and", "No", "Zero",
// "Minus".
constexpr std::string_view EnglishWord(Stem stem) {
  return kEnglishWords[Index(stem)];
}

// "" and exactly "English" name the built-in words; any other text names a stored language.
bool IsBuiltInEnglish(std::string_view language);

// The words one conversion needs: the language's words and the two currency unit words.
struct WordSet {
  bool english = true;
  std::array<std::string, kStemCount>
      stored;                    // a stored language's words as typed (unused for English)
  std::string unit = "Dollar";   // singular whole-part unit word, as stored
  std::string subunit = "Cent";  // singular hundredths unit word, as stored
  // The plurals as stored; when absent, the singular followed by "s".
  std::optional<std::string> unit_plural;
  std::optional<std::string> subunit_plural;

  // A built-in language: its words come from its speaker, amounts are in `currency` (ISO 4217).
  const BuiltInLanguage* built_in = nullptr;
  BuiltInSpeaker* speaker = nullptr;
  std::string currency;

  std::string_view Word(Stem stem) const {
    return english ? EnglishWord(stem) : std::string_view(stored[Index(stem)]);
  }
};

// The built-in English words with the default unit words.
const WordSet& EnglishWordSet();

// Reads the words of `language` and the unit words from the store. With `speakers`, a language
// that names a built-in one (and no stored one) takes its words from there and its currency from
// the store ("Currency"), or `currency` when given.
WordSet ReadWordSet(const SettingsStore& store, std::string_view language,
                    BuiltInSpeakers* speakers = nullptr, std::string_view currency = {});

// Holds the current language and its words. The words are read from the store when first needed
// and again only after the store has been written or the language changed, so a word typed in the
// language editor applies from the next converted cell on without reading 37 keys per number.
class WordSource {
 public:
  explicit WordSource(const SettingsStore& store, BuiltInSpeakers* speakers = nullptr)
      : store_(store), speakers_(speakers) {}

  const std::string& CurrentLanguage() const { return language_; }
  void SetCurrentLanguage(std::string language);
  // The currency of amounts in a built-in language for this run, instead of the stored one.
  void SetCurrency(std::string currency);
  BuiltInSpeakers* Speakers() const { return speakers_; }

  const WordSet& Words();

 private:
  const SettingsStore& store_;
  BuiltInSpeakers* speakers_;
  std::string language_;
  std::string currency_;
  WordSet words_;
  std::optional<std::uint64_t> read_at_;  // store revision the words were read at
};

}  // namespace quillory
