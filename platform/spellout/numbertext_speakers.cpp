#include "platform/spellout/numbertext_speakers.h"

#include <Numbertext.hxx>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <set>

#include "engine/number_text.h"
#include "platform/spellout/composer.h"

namespace quillory::spellout {
namespace {

// The languages that differ from a plain profile (groups of three digits, a decimal comma, words
// put together from pieces). Whether a language's words can be put together from pieces is what
// bench/spellout_check finds by comparing with the library's words for the whole over large
// samples; where pieces do not give the same words, each number is asked of the library whole.
constexpr std::array<LanguageProfile, 22> kProfiles = {{
    {"af", {ThousandsPlaces, ',', false, 2}, true, true},  // "honderd", "eenhonderd"
    {"ca", {LongScalePlaces, ','}, true, true},            // "mil milions"
    {"en-IN", {IndianPlaces, '.'}, true, true},            // lakh and crore
    {"es", {LongScalePlaces, ','}, true, true},            // "mil millones"
    {"fa", {ThousandsPlaces, '.'}, true, true},
    {"ga", {ThousandsPlaces, '.'}, true, true},
    {"gl", {LongScalePlaces, ','}, true, true},  // "mil millóns"
    {"he", {ThousandsPlaces, '.'}, true, true},
    // "ezerhat" but "háromezer-hat": the glue changes with the thousands, not only their zeros.
    {"hu", {ThousandsPlaces, ','}, false, false},
    // "og" ("and") after the millions comes with two or more of them, not with one ("fimm
    // milljónir og sjö", "ein milljón sjö"): the glue changes with a group's value.
    {"is", {ThousandsPlaces, ','}, false, true},
    {"ja", {ThousandsPlaces, '.'}, true, true},
    {"ko", {ThousandsPlaces, '.'}, true, true},
    {"lg", {ThousandsPlaces, '.'}, false, false},  // "ne" ("and") likewise
    // This libnumbertext gives negative amounts whose units end in 11-19 the wrong plural
    // ("minus penkiolika eurai") and those ending in 0 no words; the pieces would not.
    {"lt", {ThousandsPlaces, ',', true}, true, false},
    {"mr", {IndianPlaces, '.'}, true, true},
    {"ms", {ThousandsPlaces, '.'}, true, true},
    {"mt", {ThousandsPlaces, '.'}, true, true},
    {"nl", {DutchPlaces, ','}, true, true},      // "dertienhonderd"
    {"pt", {LongScalePlaces, ','}, true, true},  // "mil milhões"
    {"sv", {ThousandsPlaces, ','}, true, true},
    {"th", {ThousandsPlaces, '.'}, true, true},
    {"zh", {ThousandsPlaces, '.'}, true, true},
}};

std::string BaseCode(std::string_view code) {
  return std::string(code.substr(0, code.find('-')));
}

bool IsCurrencyCode(std::string_view code) {
  return code.size() == 3 &&
         std::all_of(code.begin(), code.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

}  // namespace

LanguageProfile ProfileOf(std::string_view code) {
  for (const LanguageProfile& profile : kProfiles) {
    if (profile.code == code) return profile;
  }
  return {code};
}

std::string DefaultDataFolder() {
  return QUILLORY_NUMBERTEXT_DATA;
}

class NumbertextSpeakers::LanguageSpeaker final : public BuiltInSpeaker {
 public:
  LanguageSpeaker(NumbertextSpeakers& owner, const BuiltInLanguage& language)
      : owner_(owner),
        language_(language),
        name_(BuiltInDisplayName(language)),
        file_(owner.folder_ + "/" + BaseCode(language.code) + ".sor"),
        number_composer_(Call(), ProfileOf(language.code).grammar,
                         ProfileOf(language.code).compose_numbers),
        amount_composer_(Call(), ProfileOf(language.code).grammar,
                         ProfileOf(language.code).compose_amounts) {
    if (!std::ifstream(file_)) {
      missing_ = "the words of " + name_ + " cannot be read: " + file_ +
                 " is missing (Debian package libnumbertext-data)";
    }
    too_long_ = "it has more than " + std::to_string(kMaxFractionDigits) +
                " digits after the point to write in words";
    no_words_ = name_ + " has no words for it";
  }

  Said SayNumber(const NumberText& number, std::string& out) override {
    std::lock_guard lock(owner_.mutex_);
    if (!missing_.empty()) return {false, missing_};
    if (number.fraction_cut) return {false, too_long_};
    const bool negative = number.negative && !number.IsZero();
    if (!number_composer_.Number(negative, number.integer, number.Fraction(), out)) {
      return {false, no_words_};
    }
    return {};
  }

  Said SayAmount(const NumberText& number, std::string_view currency, std::string& out) override {
    std::lock_guard lock(owner_.mutex_);
    if (!missing_.empty()) return {false, missing_};
    if (!KnowsCurrency(currency)) return {false, NoCurrency(currency)};
    const bool negative = number.negative && !(number.IntegerIsZero() && number.hundredths == 0);
    if (!amount_composer_.Amount(currency, negative, number.integer, number.hundredths, out)) {
      return {false, no_words_};
    }
    return {};
  }

  std::vector<std::string> Currencies() override {
    std::lock_guard lock(owner_.mutex_);
    std::vector<std::string> known;
    if (!missing_.empty()) return known;
    // Every three capitals in the language's data is a candidate; the library says which it
    // has words for.
    std::ifstream in(file_);
    const std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::set<std::string> candidates;
    for (std::size_t i = 0; i + 3 <= data.size(); ++i) {
      const std::string_view three = std::string_view(data).substr(i, 3);
      const bool alone = (i == 0 || !(data[i - 1] >= 'A' && data[i - 1] <= 'Z')) &&
                         (i + 3 == data.size() || !(data[i + 3] >= 'A' && data[i + 3] <= 'Z'));
      if (alone && IsCurrencyCode(three)) candidates.emplace(three);
    }
    for (const std::string& code : candidates) {
      if (KnowsCurrency(code)) known.push_back(code);
    }
    return known;
  }

  bool KnowsCurrency(std::string_view currency) override {
    std::lock_guard lock(owner_.mutex_);
    if (!missing_.empty() || !IsCurrencyCode(currency)) return false;
    auto [entry, added] = currencies_.try_emplace(std::string(currency), false);
    if (added) {
      // A currency the language has no words for is said as the bare number, or as a code no
      // currency has (Hungarian says "két" for both "III 2" and "QQQ 2", "kettő" for "2").
      std::string amount;
      std::string bare;
      std::string unknown;
      entry->second = amount_composer_.Library(std::string(currency) + " 2", amount) &&
                      amount_composer_.Library("2", bare) && amount != bare &&
                      (!amount_composer_.Library("QQQ 2", unknown) || amount != unknown);
    }
    return entry->second;
  }

  bool Library(std::string input, std::string& out) {
    std::lock_guard lock(owner_.mutex_);
    if (!missing_.empty()) return false;
    return number_composer_.Library(std::move(input), out);
  }

 private:
  LibraryCall Call() {
    return [this](std::string& text) {
      return owner_.library_->numbertext(text, std::string(language_.code));
    };
  }

  std::string_view NoCurrency(std::string_view currency) {
    auto [entry, added] = no_currency_.try_emplace(std::string(currency));
    if (added) {
      entry->second = name_ + " has no words for the currency " +
                      (currency.empty() ? std::string("(none chosen)") : entry->first);
    }
    return entry->second;
  }

  NumbertextSpeakers& owner_;
  const BuiltInLanguage& language_;
  std::string name_;
  std::string file_;
  std::string missing_;
  std::string too_long_;
  std::string no_words_;
  Composer number_composer_;
  Composer amount_composer_;
  std::map<std::string, bool, std::less<>> currencies_;
  std::map<std::string, std::string, std::less<>> no_currency_;
};

NumbertextSpeakers::NumbertextSpeakers(std::string data_folder)
    : folder_(std::move(data_folder)), library_(std::make_unique<Numbertext>()) {
  library_->set_prefix(folder_ + "/");
}

NumbertextSpeakers::~NumbertextSpeakers() = default;

BuiltInSpeaker& NumbertextSpeakers::Speaker(const BuiltInLanguage& language) {
  std::lock_guard lock(mutex_);
  auto found = speakers_.find(language.code);
  if (found == speakers_.end()) {
    found =
        speakers_
            .emplace(std::string(language.code), std::make_unique<LanguageSpeaker>(*this, language))
            .first;
  }
  return *found->second;
}

bool NumbertextSpeakers::LibraryWords(std::string_view code, std::string input, std::string& out) {
  const BuiltInLanguage* language = FindBuiltInLanguage(code);
  if (!language) return false;
  auto& speaker = static_cast<LanguageSpeaker&>(Speaker(*language));
  return speaker.Library(std::move(input), out);
}

}  // namespace quillory::spellout
