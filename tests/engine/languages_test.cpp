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
                                 std::pair<std::string, std::string>{"Default Language", ""},
                                 std::pair<std::string, std::string>{"Currency", ""}));
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

TEST(LanguageList, DeleteByNameTakesTheShownEntryWhileTheListStillHasItThere) {
  MemorySettings store;
  store.WriteSetting("Languages", "A;B;A;C;");
  ASSERT_TRUE(DeleteLanguage(store, "A", 2));
  EXPECT_EQ(store.ReadSetting("Languages", ""), "A;B;C;");
  // Shown at 2, but the list changed under the window: the first "C" goes, not entry 2.
  store.WriteSetting("Languages", "C;A;B;");
  ASSERT_TRUE(DeleteLanguage(store, "C", 2));
  EXPECT_EQ(store.ReadSetting("Languages", ""), "A;B;");
  EXPECT_FALSE(DeleteLanguage(store, "C", 0));
  EXPECT_EQ(store.ReadSetting("Languages", ""), "A;B;");
}

// A store another process holds: nothing is read or written, and the callers say so.
class BusyStore final : public SettingsStore {
 public:
  bool RunExclusively(const std::function<void()>&) override { return false; }

 protected:
  std::optional<std::string> Lookup(std::string_view key) const override {
    return key == "Languages" ? std::optional<std::string>("French;") : std::nullopt;
  }
  void Store(std::string_view, std::string_view) override { ++writes; }

 public:
  int writes = 0;
};

TEST(LanguageList, NothingChangesWhenTheStoreCannotBeHad) {
  BusyStore store;
  EXPECT_EQ(AddLanguage(store, "German"), AddLanguageResult::NotStored);
  EXPECT_FALSE(DeleteLanguage(store, "French"));
  EXPECT_FALSE(DeleteLanguageAt(store, 0));
  EXPECT_EQ(store.writes, 0);
}

TEST(LanguageList, NamesThatWouldNotReadBackAreRefusedWithAMessage) {
  MemorySettings store;
  EXPECT_EQ(AddLanguage(store, "x;y"), AddLanguageResult::HasSeparator);
  EXPECT_EQ(AddLanguage(store, "caf\xE9"), AddLanguageResult::NotText);
  EXPECT_FALSE(store.HasSetting("Languages"));
  EXPECT_EQ(AddLanguageMessage(AddLanguageResult::EmptyName), "You forgot to input language");
  EXPECT_EQ(AddLanguageMessage(AddLanguageResult::HasSeparator),
            "A language name cannot contain \";\": it separates the names in the list of "
            "languages.");
  EXPECT_EQ(AddLanguageMessage(AddLanguageResult::Added), "");
  EXPECT_EQ(AddLanguageMessage(AddLanguageResult::AlreadyListed), "");
}

TEST(Utf8, WellFormedTextOnly) {
  EXPECT_TRUE(IsUtf8(""));
  EXPECT_TRUE(IsUtf8("plain"));
  EXPECT_TRUE(IsUtf8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8C\x8D \xF4\x8F\xBF\xBF"));
  EXPECT_FALSE(IsUtf8("caf\xE9"));           // Latin-1
  EXPECT_FALSE(IsUtf8("\xC3"));              // cut short
  EXPECT_FALSE(IsUtf8("\xC3("));             // no continuation byte
  EXPECT_FALSE(IsUtf8("\xC0\xAF"));          // overlong "/"
  EXPECT_FALSE(IsUtf8("\xE0\x80\xAF"));      // overlong "/"
  EXPECT_FALSE(IsUtf8("\xED\xA0\x80"));      // a surrogate
  EXPECT_FALSE(IsUtf8("\xF4\x90\x80\x80"));  // past U+10FFFF
  EXPECT_FALSE(IsUtf8("\x80"));              // a lone continuation byte
  EXPECT_FALSE(IsUtf8("\xFF"));
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
