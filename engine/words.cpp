#include "engine/words.h"

#include <utility>

#include "engine/setting_keys.h"
#include "engine/settings.h"

namespace quillory {
namespace {

struct StemText {
  std::string_view key;
  std::string_view english;
};

constexpr std::array<StemText, kStemCount> kStems = {{
    {"One_", "One"},           {"Two_", "Two"},           {"Three_", "Three"},
    {"Four_", "Four"},         {"Five_", "Five"},         {"Six_", "Six"},
    {"Seven_", "Seven"},       {"Eight_", "Eight"},       {"Nine_", "Nine"},
    {"Ten_", "Ten"},           {"Eleven_", "Eleven"},     {"Twelve_", "Twelve"},
    {"Thirteen_", "Thirteen"}, {"Fourteen_", "Fourteen"}, {"Fifteen_", "Fifteen"},
    {"Sixteen_", "Sixteen"},   {"Seventeen_", "Seventeen"}, {"Eighteen_", "Eighteen"},
    {"Nineteen_", "Nineteen"}, {"Twenty_", "Twenty"},     {"Thirty_", "Thirty"},
    {"Forty_", "Forty"},       {"Fifty_", "Fifty"},       {"Sixty_", "Sixty"},
    {"Seventy_", "Seventy"},   {"Eighty_", "Eighty"},     {"Ninety_", "Ninety"},
    {"Hundred_", "Hundred"},   {"Thousand_", "Thousand"}, {"Million_", "Million"},
    {"Billion_", "Billion"},   {"Trillion_", "Trillion"}, {"Point_", "Point"},
    {"And_", "and"},           {"No_", "No"},             {"Zero_", "Zero"},
    {"Minus_", "Minus"},
}};

constexpr std::array<Stem, kStemCount> MakeAllStems() {
  std::array<Stem, kStemCount> stems{};
  for (std::size_t i = 0; i < kStemCount; ++i) stems[i] = static_cast<Stem>(i);
  return stems;
}

constexpr std::array<Stem, kStemCount> kAllStems = MakeAllStems();

}  // namespace

const std::array<Stem, kStemCount>& AllStems() { return kAllStems; }

std::string_view StemKey(Stem stem) { return kStems[Index(stem)].key; }

std::optional<Stem> StemFromKey(std::string_view key) {
  for (Stem stem : kAllStems) {
    if (StemKey(stem) == key) return stem;
  }
  return std::nullopt;
}

std::string_view EnglishWord(Stem stem) { return kStems[Index(stem)].english; }

bool IsBuiltInEnglish(std::string_view language) {
  return language.empty() || language == "English";
}

const WordSet& EnglishWordSet() {
  static const WordSet english;
  return english;
}

WordSet ReadWordSet(const SettingsStore& store, std::string_view language) {
  WordSet words;
  words.english = IsBuiltInEnglish(language);
  if (!words.english) {
    for (Stem stem : kAllStems) words.stored[Index(stem)] = store.ReadSetting(WordKey(stem, language), "");
  }
  words.unit = store.ReadSetting(keys::kDollar, SettingDefault(keys::kDollar));
  words.subunit = store.ReadSetting(keys::kCent, SettingDefault(keys::kCent));
  return words;
}

void WordSource::SetCurrentLanguage(std::string language) {
  if (language == language_) return;
  language_ = std::move(language);
  read_at_.reset();
}

const WordSet& WordSource::Words() {
  const std::uint64_t revision = store_.Revision();
  if (read_at_ != revision) {
    words_ = ReadWordSet(store_, language_);
    read_at_ = revision;
  }
  return words_;
}

}  // namespace quillory
