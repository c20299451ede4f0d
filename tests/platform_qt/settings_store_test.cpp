#include "platform/qt/settings_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "engine/languages.h"
#include "engine/setting_keys.h"
#include "tests/platform_qt/temp_store.h"

namespace quillory {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string FileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(QtSettingsStore, LivesInTheTemporaryFolderAndNeedsNoApplicationObject) {
  EXPECT_EQ(QCoreApplication::instance(), nullptr);
  EXPECT_EQ(test::TempStore().FilePath(), test::TempConfigHome() + "/Orvanta/Quillory.conf");
}

TEST(QtSettingsStore, AbsentIsNotEmpty) {
  QtSettingsStore& store = test::TempStore();
  EXPECT_FALSE(store.HasSetting("Cent"));
  EXPECT_EQ(store.ReadSetting("Cent", "Cent"), "Cent");
  EXPECT_FALSE(store.HasSetting("Cent")) << "reading must not create the key";
  store.WriteSetting("Cent", "");
  EXPECT_TRUE(store.HasSetting("Cent"));
  EXPECT_EQ(store.ReadSetting("Cent", "Cent"), "");
  EXPECT_EQ(store.ReadSetting("Type", 3), "3");
  EXPECT_THAT(test::ReadInOtherProcess({"Cent", "Type"}), ElementsAre("", std::nullopt));
}

// Keys are built from typed language names; each must land on its own entry and come back.
TEST(QtSettingsStore, EveryKeyIsItsOwnEntry) {
  const std::vector<std::string> keys = {"Nine_French",
                                         "Nine_french",
                                         "Nine_FRENCH",
                                         "Nine_fr/ch",
                                         "Nine_fr%2Fch",
                                         "Nine_fr%2fch",
                                         "Nine_fr\\ch",
                                         "Nine_fr%5Cch",
                                         "Nine_fr%ch",
                                         "Nine_fr%",
                                         "Nine_/",
                                         "Nine_//",
                                         "Nine_/x/",
                                         "/",
                                         "//",
                                         "\\",
                                         "%",
                                         "%25",
                                         "",
                                         " ",
                                         "Nine_ ",
                                         "Nine_  ",
                                         "Nine_ fr ",
                                         "Nine_a;b;",
                                         "Nine_a=b",
                                         "Nine_[x]",
                                         "Nine_#x",
                                         "Nine_@x",
                                         "Nine_\"x\"",
                                         "Nine_a,b",
                                         "Nine_\t",
                                         "Nine_Français",
                                         "Nine_Ελληνικά",
                                         "Nine_日本語",
                                         "Nine_😀",
                                         "General",
                                         "Quillory",
                                         "Quillory/Nine_French",
                                         "Default Language",
                                         "default language"};
  QtSettingsStore& store = test::TempStore();
  for (std::size_t i = 0; i < keys.size(); ++i)
    store.WriteSetting(keys[i], "value " + std::to_string(i));

  std::vector<std::optional<std::string>> expected;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(store.ReadSetting(keys[i], "absent"), "value " + std::to_string(i))
        << "key [" << keys[i] << "]";
    expected.emplace_back("value " + std::to_string(i));
  }
  EXPECT_EQ(test::ReadInOtherProcess(keys), expected);
  EXPECT_FALSE(store.HasSetting("Nine_fr"));
  EXPECT_FALSE(store.HasSetting("Nine_"));
  EXPECT_FALSE(store.HasSetting("fr"));
}

// Values are typed words and names; QSettings' own notations (lists, @-forms, quotes) must not
// show through.
TEST(QtSettingsStore, EveryValueComesBackAsWritten) {
  const std::vector<std::string> values = {"",
                                           " ",
                                           "  Dollar ",
                                           "a,b",
                                           "a, b",
                                           ",",
                                           "a;b;",
                                           ";",
                                           "\"quoted\"",
                                           "\"",
                                           "'",
                                           "@x",
                                           "@@x",
                                           "@Invalid()",
                                           "@ByteArray(abc)",
                                           "@Variant(abc)",
                                           "@String(x)",
                                           "line\nline",
                                           "\r\n",
                                           "tab\there",
                                           "back\\slash",
                                           "\\n",
                                           "=",
                                           "a=b",
                                           "#comment",
                                           "[Quillory]",
                                           "%25",
                                           "Français",
                                           "日本語 😀",
                                           std::string("nul\0byte", 8),
                                           "true",
                                           "1",
                                           "0x10",
                                           "1e3"};
  QtSettingsStore& store = test::TempStore();
  std::vector<std::string> keys;
  std::vector<std::optional<std::string>> expected;
  for (std::size_t i = 0; i < values.size(); ++i) {
    keys.push_back("Value " + std::to_string(i));
    store.WriteSetting(keys.back(), values[i]);
    expected.emplace_back(values[i]);
  }
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(store.ReadSetting(keys[i], "absent"), values[i]) << "value [" << values[i] << "]";
  }
  EXPECT_EQ(test::ReadInOtherProcess(keys), expected);
}

TEST(QtSettingsStore, FileHoldsTheValuesUnderTheQuilloryGroup) {
  QtSettingsStore& store = test::TempStore();
  store.WriteSetting("Dollar", "Euro");
  store.WriteSetting("Languages", "French;German;");
  store.WriteSetting("Nine_fr/ch", "neuf");
  const std::string text = FileText(store.FilePath());
  EXPECT_THAT(text, HasSubstr("[Quillory]\n"));
  EXPECT_THAT(text, HasSubstr("\nDollar=Euro\n"));
  EXPECT_THAT(text, HasSubstr("\nLanguages=\"French;German;\"\n"));

  // A plain QSettings of the same name, as another program would open it.
  QSettings other(QStringLiteral("Orvanta"), QStringLiteral("Quillory"));
  other.beginGroup(QStringLiteral("Quillory"));
  EXPECT_EQ(other.value(QStringLiteral("Dollar")).toString(), QStringLiteral("Euro"));
  EXPECT_EQ(other.value(QStringLiteral("Languages")).toString(), QStringLiteral("French;German;"));
  EXPECT_EQ(other.value(QStringLiteral("Nine_fr%2Fch")).toString(), QStringLiteral("neuf"));
}

TEST(QtSettingsStore, FallbackFilesDoNotShowThrough) {
  // The organisation-wide file is a fallback QSettings would read for absent keys.
  std::filesystem::create_directories(test::TempConfigHome() + "/Orvanta");
  std::ofstream(test::TempConfigHome() + "/Orvanta.conf") << "[Quillory]\nFallbackOnly=leaked\n";
  QtSettingsStore store;
  EXPECT_FALSE(store.HasSetting("FallbackOnly"));
}

TEST(QtSettingsStore, ReadsOnOneThreadWhileAnotherWrites) {
  QtSettingsStore& store = test::TempStore();
  store.WriteSetting("One_Threads", "0");
  std::atomic<bool> done = false;
  std::atomic<int> bad_reads = 0;
  std::thread reader([&] {
    while (!done) {
      const std::string word = store.ReadSetting("One_Threads", "absent");
      if (word.empty() || word == "absent" || word.size() > 2) ++bad_reads;
    }
  });
  for (int i = 1; i <= 50; ++i) store.WriteSetting("One_Threads", std::to_string(i));
  done = true;
  reader.join();
  EXPECT_EQ(bad_reads, 0);
  EXPECT_EQ(store.ReadSetting("One_Threads", ""), "50");
}

// The list rules and word keys through the real store, with names that stress the keys.
TEST(QtSettingsStore, LanguagesWithOddNamesKeepTheirWords) {
  QtSettingsStore& store = test::TempStore();
  store.WriteSetting("Languages", "");
  for (const char* name : {"Français", "fr/ch", " ", "x;y", "FRANÇAIS"}) AddLanguage(store, name);
  EXPECT_THAT(ReadLanguages(store), ElementsAre("Français", "fr/ch", " ", "FRANÇAIS"));
  WriteStoredWord(store, Stem::Nine, "fr/ch", "neuf");
  WriteStoredWord(store, Stem::Nine, "Français", "Neuf");
  EXPECT_TRUE(DeleteLanguageAt(store, 1));
  EXPECT_EQ(store.ReadSetting("Languages", ""), "Français;;FRANÇAIS;");
  EXPECT_EQ(AddLanguage(store, "fr/ch"), AddLanguageResult::Added);
  EXPECT_EQ(StoredWord(store, Stem::Nine, "fr/ch"), "neuf");
  EXPECT_EQ(StoredWord(store, Stem::Nine, "Français"), "Neuf");
  EXPECT_EQ(StoredWord(store, Stem::Nine, "FRANÇAIS"), "");
}

TEST(QtSettingsStore, AWriteThatCannotReachTheFileIsReported) {
  const std::string good_home = test::TempConfigHome() + "/good";
  EXPECT_EQ(test::WriteInOtherProcess(good_home, "Dollar", "Euro"), "");

  // A folder where the file should be: no write can succeed, not even as root.
  const std::string bad_home = test::TempConfigHome() + "/bad";
  std::filesystem::create_directories(bad_home + "/Orvanta/Quillory.conf");
  EXPECT_THAT(test::WriteInOtherProcess(bad_home, "Dollar", "Euro"),
              HasSubstr("cannot write the settings file " + bad_home + "/Orvanta/Quillory.conf"));
}

// Two processes, each with one store for its whole life as the window has, adding and deleting
// languages at the same time: every change of each stays.
TEST(QtSettingsStore, LanguagesAddedAndDeletedByTwoProcessesAtOnceAreAllKept) {
  constexpr int kRounds = 20;
  std::vector<std::string> expected;
  for (const char* prefix : {"A", "B"}) {
    for (int i = 2; i <= kRounds; i += 2) expected.push_back(prefix + std::to_string(i));
  }
  std::sort(expected.begin(), expected.end());
  for (int attempt = 0; attempt < 3; ++attempt) {
    test::TempStore().WriteSetting("Languages", "");
    test::LanguageRoundsInOtherProcesses({"A", "B"}, kRounds);
    const std::optional<std::string> list = test::ReadInOtherProcess({"Languages"})[0];
    ASSERT_TRUE(list.has_value());
    std::vector<std::string> names = SplitLanguageList(*list);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, expected) << "attempt " << attempt << ": " << *list;
  }
}

// A settings file with a line QSettings cannot read is said to be so, and left as it is: a
// rewrite would drop that line.
TEST(QtSettingsStore, AFileThatCannotBeParsedIsReportedAndNotRewritten) {
  const std::string home = test::TempConfigHome() + "/unreadable";
  const std::string file = home + "/Orvanta/Quillory.conf";
  std::filesystem::create_directories(home + "/Orvanta");
  const std::string text = "[Quillory]\nDollar=Euro\nthis line is not a setting\n";
  std::ofstream(file, std::ios::binary) << text;
  const std::string error = test::WriteInOtherProcess(home, "Cent", "Penny");
  EXPECT_THAT(error, HasSubstr("the settings file " + file + " cannot be read"));
  EXPECT_THAT(error, ::testing::Not(HasSubstr("cannot write")));
  EXPECT_EQ(FileText(file), text);
}

}  // namespace
}  // namespace quillory
