#include "engine/words.h"

#include <utility>

#include "engine/builtin_languages.h"
#include "engine/languages.h"
#include "engine/setting_keys.h"
#include "engine/settings.h"

namespace quillory {
namespace {

constexpr std::array<std::string_view, kStemCount> kStemKeys = {
    "One_",      "Two_",     "Three_",     "Four_",     "Five_",     "Six_",      "Seven_",
    "Eight_",    "Nine_",    "Ten_",       "Eleven_",   "Twelve_",   "Thirteen_", "Fourteen_",
    "Fifteen_",  "Sixteen_", "Seventeen_", "Eighteen_", "Nineteen_", "Twenty_",   "Thirty_",
    "Forty_",    "Fifty_",   "Sixty_",     "Seventy_",  "Eighty_",   "Ninety_",   "Hundred_",
    "Thousand_", "Million_", "Billion_",   "Trillion_", "Point_",    "And_",      "No_",
    "Zero_",     "Minus_",
};

constexpr std::array<Stem, kStemCount> MakeAllStems() {
  std::array<Stem, kStemCount> stems{};
  for (std::size_t i = 0; i < kStemCount; ++i) stems[i] = static_cast<Stem>(i);
  return stems;
}

constexpr std::array<Stem, kStemCount> kAllStems = MakeAllStems();

}  // namespace

const std::array<Stem, kStemCount>& AllStems() {
  return kAllStems;
}

std::string_view StemKey(Stem stem) {
  return kStemKeys[Index(stem)];
}

std::string_view StemName(Stem stem) {
  std::string_view key = StemKey(stem);
  key.remove_suffix(1);  // the "_"
  return key;
}

std::optional<Stem> StemFromKey(std::string_view key) {
  for (Stem stem : kAllStems) {
    if (StemKey(stem) == key) return stem;
  }
  return std::nullopt;
}

bool IsBuiltInEnglish(std::string_view language) {
  return language.empty() || language == "English";
}

const WordSet& EnglishWordSet() {
  static const WordSet english;
  return english;
}

WordSet ReadWordSet(const SettingsStore& store, std::string_view language,
                    BuiltInSpeakers* speakers, std::string_view currency) {
  WordSet words;
  words.english = IsBuiltInEnglish(language);
  if (speakers && !words.english) {
    if (const BuiltInLanguage* built_in = ResolveBuiltIn(store, language)) {
      words.english = false;
      words.built_in = built_in;
      words.speaker = &speakers->Speaker(*built_in);
      words.currency = currency.empty() ? ReadCurrency(store, *built_in) : std::string(currency);
      return words;
    }
  }
  if (!words.english) {
    for (Stem stem : kAllStems)
      words.stored[Index(stem)] = store.ReadSetting(WordKey(stem, language), "");
  }
  words.unit = store.ReadSetting(keys::kDollar, SettingDefault(keys::kDollar));
  words.subunit = store.ReadSetting(keys::kCent, SettingDefault(keys::kCent));
  if (store.HasSetting(keys::kDollarPlural)) {
    words.unit_plural = store.ReadSetting(keys::kDollarPlural, "");
  }
  if (store.HasSetting(keys::kCentPlural)) {
    words.subunit_plural = store.ReadSetting(keys::kCentPlural, "");
  }
  return words;
}

void WordSource::SetCurrency(std::string currency) {
  if (currency == currency_) return;
  currency_ = std::move(currency);
  read_at_.reset();
}

void WordSource::SetCurrentLanguage(std::string language) {
  if (language == language_) return;
  language_ = std::move(language);
  read_at_.reset();
}

const WordSet& WordSource::Words() {
  const std::uint64_t revision = store_.Revision();
  if (read_at_ != revision) {
    words_ = ReadWordSet(store_, language_, speakers_, currency_);
    read_at_ = revision;
  }
  return words_;
}

}  // namespace quillory
