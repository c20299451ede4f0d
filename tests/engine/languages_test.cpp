#include "engine/languages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/number_words.h"
#include "engine/setting_keys.h"
#include "engine/settings.h"

namespace quillory {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(SettingsStore, AbsentKeyGivesDefaultButEmptyValueIsKept) {
  MemorySettings store;
  EXPECT_EQ(store.ReadSetting("Option", 1), "1");
  EXPECT_EQ(store.ReadSetting("Dollar", "Dollar"), "Dollar");
  EXPECT_FALSE(store.HasSetting("Dollar"));
  store.WriteSetting("Dollar", "");
  EXPECT_EQ(store.ReadSetting("Dollar", "Dollar"), "");
  EXPECT_TRUE(store.HasSetting("Dollar"));
}

TEST(SettingsStore, EveryKeyIsPinnedWithItsDefault) {
  std::vector<std::pair<std::string, std::string>> table;
  for (const SettingKey& entry : kSettingKeys) table.emplace_back(entry.key, entry.fallback);
  EXPECT_THAT(table, ElementsAre(std::pair<std::string, std::string>{"Option", "1"},
                                 std::pair<std::string, std::string>{"Type", "1"},
                                 std::pair<std::string, std::string>{"BackupCheck", "True"},
                                 std::pair<std::string, std::string>{"Dollar", "Dollar"},
                                 std::pair<std::string, std::string>{"Cent", "Cent"},
                                 std::pair<std::string, std::string>{"DollarPlural", ""},
                                 std::pair<std::string, std::string>{"CentPlural", ""},
                                 std::pair<std::string, std::string>{"Languages", ""},
                                 std::pair<std::string, std::string>{"Default Language", ""}));
}

TEST(SettingsStore, UnitPluralsAreReadOnlyWhenStored) {
  MemorySettings store;
  store.WriteSetting("Dollar", "Penny");
  EXPECT_EQ(ReadWordSet(store, "").unit_plural, std::nullopt);
  EXPECT_EQ(CurrencyToWords("2", ReadWordSet(store, "")), "Two Pennys and No Cents");
  store.WriteSetting("DollarPlural", "Pennies");
  store.WriteSetting("CentPlural", "");
  const WordSet words = ReadWordSet(store, "");
  EXPECT_EQ(words.unit_plural, std::optional<std::string>("Pennies"));
  EXPECT_EQ(words.subunit_plural, std::optional<std::string>(""));
  EXPECT_EQ(CurrencyToWords("2.01", words), "Two Pennies and One Cent");
}

TEST(SettingsStore, KeysAndWordKeysAreTheStoredTexts) {
  EXPECT_EQ(WordKey(Stem::Nine, "French"), "Nine_French");
  EXPECT_EQ(WordKey(Stem::Minus, "fr ;/x"), "Minus_fr ;/x");
  EXPECT_EQ(SettingDefault("BackupCheck"), "True");
  EXPECT_EQ(SettingDefault("Default Language"), "");
  std::vector<std::string> stems;
  for (Stem stem : AllStems()) stems.emplace_back(StemKey(stem));
  EXPECT_EQ(stems.front(), "One_");
  EXPECT_EQ(stems[34], "No_");
  EXPECT_EQ(stems.back(), "Minus_");
  EXPECT_EQ(StemFromKey("Thousand_"), Stem::Thousand);
  EXPECT_EQ(StemFromKey("Thousand"), std::nullopt);
  EXPECT_EQ(StemName(Stem::Eleven), "Eleven");
  EXPECT_EQ(StemName(Stem::And), "And");
}

TEST(LanguageList, ReadingDropsTheTextAfterTheLastSeparator) {
  EXPECT_THAT(SplitLanguageList("French;German;"), ElementsAre("French", "German"));
  EXPECT_THAT(SplitLanguageList("French;German"), ElementsAre("French"));
  EXPECT_THAT(SplitLanguageList(""), IsEmpty());
  EXPECT_THAT(SplitLanguageList(";;"), ElementsAre("", ""));
}

TEST(LanguageList, AddAppendsAsTypedAndIgnoresEmptyAndListedNames) {
  MemorySettings store;
  store.WriteSetting("Languages", "French;");
  EXPECT_EQ(AddLanguage(store, "Spanish"), AddLanguageResult::Added);
  EXPECT_EQ(store.ReadSetting("Languages", ""), "French;Spanish;");
  EXPECT_EQ(AddLanguage(store, ""), AddLanguageResult::EmptyName);
  EXPECT_EQ(AddLanguage(store, "French"), AddLanguageResult::AlreadyListed);
  EXPECT_EQ(AddLanguage(store, "french"), AddLanguageResult::Added);
  EXPECT_EQ(AddLanguage(store, " "), AddLanguageResult::Added);
  EXPECT_EQ(store.ReadSetting("Languages", ""), "French;Spanish;french; ;");
}

TEST(LanguageList, DeleteRewritesTrimmedAndKeepsWords) {
  MemorySettings store;
  store.WriteSetting("Languages", " Basque ;French;German");
  WriteStoredWord(store, Stem::Nine, "French", "neuf");
  ASSERT_TRUE(DeleteLanguageAt(store, 1));
  EXPECT_EQ(store.ReadSetting("Languages", ""), "Basque;");
  EXPECT_FALSE(DeleteLanguageAt(store, 1));
  ASSERT_TRUE(DeleteLanguageAt(store, 0));
  EXPECT_EQ(store.ReadSetting("Languages", "x"), "");
  EXPECT_EQ(AddLanguage(store, "French"), AddLanguageResult::Added);
  EXPECT_EQ(StoredWord(store, Stem::Nine, "French"), "neuf");
}

TEST(CurrentLanguage, WordsFollowTheLanguageAndEveryStoreWrite) {
  MemorySettings store;
  WordSource source(store);
  EXPECT_TRUE(source.Words().english);
  source.SetCurrentLanguage("English");
  EXPECT_TRUE(source.Words().english);
  source.SetCurrentLanguage("english");
  EXPECT_FALSE(source.Words().english);
  EXPECT_EQ(source.Words().Word(Stem::Seven), "");
  WriteStoredWord(store, Stem::Seven, "english", "sept");
  EXPECT_EQ(source.Words().Word(Stem::Seven), "sept");
  store.WriteSetting("Dollar", "Euro");
  EXPECT_EQ(source.Words().unit, "Euro");
}

TEST(DefaultLanguage, SetStoresUntrimmedAndBlankDoesNothing) {
  MemorySettings store;
  WordSource source(store);
  EXPECT_FALSE(SetDefaultLanguage(store, source, "  "));
  EXPECT_FALSE(store.HasSetting("Default Language"));
  EXPECT_TRUE(SetDefaultLanguage(store, source, " French"));
  EXPECT_EQ(store.ReadSetting("Default Language", ""), " French");
  EXPECT_EQ(source.CurrentLanguage(), " French");
  WordSource restarted(store);
  LoadDefaultLanguage(store, restarted);
  EXPECT_EQ(restarted.CurrentLanguage(), " French");
}

}  // namespace
}  // namespace quillory
