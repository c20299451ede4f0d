#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "engine/builtin_languages.h"
#include "engine/settings.h"

namespace quillory {
namespace {

using ::testing::HasSubstr;

struct CliRun {
  int code;
  std::string out;
  std::string err;
};

class LanguageCommand : public ::testing::Test {
 protected:
  CliRun Cli(std::vector<std::string> args) {
    args.insert(args.begin(), "language");
    std::ostringstream out, err;
    const int code = RunCli(args, out, err, env_);
    return {code, out.str(), err.str()};
  }
  // The list up to the built-in languages, which always end it.
  std::string List() {
    const std::string out = Cli({"list"}).out;
    const std::string first_built_in = BuiltInDisplayName(BuiltInLanguages().front()) + "\n";
    const std::size_t at = out.rfind("\n" + first_built_in);
    return at == std::string::npos ? out : out.substr(0, at + 1);
  }
  std::string Stored() { return store_.ReadSetting("Languages", "absent"); }

  MemorySettings store_;
  std::istringstream in_;
  CliEnvironment env_{store_, in_};
};

TEST_F(LanguageCommand, AddFollowsTheEditorsRules) {
  EXPECT_EQ(List(), "English\n");
  const CliRun empty = Cli({"add", ""});
  EXPECT_EQ(empty.code, 1);
  EXPECT_EQ(empty.err, "You forgot to input language\n");
  EXPECT_FALSE(store_.HasSetting("Languages"));

  EXPECT_EQ(Cli({"add", "French"}).code, 0);
  const CliRun again = Cli({"add", "French"});
  EXPECT_EQ(again.code, 0);
  EXPECT_EQ(again.err, "");
  EXPECT_EQ(Cli({"add", "french"}).code, 0);
  EXPECT_EQ(Cli({"add", " "}).code, 0);
  EXPECT_EQ(Cli({"add", " French "}).code, 0);
  EXPECT_EQ(Stored(), "French;french; ; French ;");
  EXPECT_EQ(List(), "English\nFrench\nfrench\n \n French \n");
}

// ";" would make the name two names; bytes that are not UTF-8 would be stored as something
// else than was typed, and its words under other keys.
TEST_F(LanguageCommand, NamesWithTheSeparatorOrBytesThatAreNotTextAreRefused) {
  const std::string separator =
      "A language name cannot contain \";\": it separates the names in the list of languages.\n";
  const std::string not_text =
      "A language name must be text (UTF-8); this one holds bytes that are not.\n";
  const std::vector<std::pair<std::string, std::string>> refused = {
      {"x;y", separator},
      {";", separator},
      {"caf\xE9", not_text},
      {"\xC3", not_text},
  };
  for (const auto& [name, message] : refused) {
    const CliRun run = Cli({"add", name});
    EXPECT_EQ(run.code, 1) << name;
    EXPECT_EQ(run.err, message) << name;
  }
  EXPECT_FALSE(store_.HasSetting("Languages"));
  EXPECT_EQ(Cli({"add", "caf\xC3\xA9 \xF0\x9F\x8C\x8D"}).code, 0);
  EXPECT_EQ(Stored(), "caf\xC3\xA9 \xF0\x9F\x8C\x8D;");
}

TEST_F(LanguageCommand, DeleteRewritesTheListTrimmed) {
  store_.WriteSetting("Languages", " Basque ;French;French;German;");
  EXPECT_EQ(Cli({"delete", "French"}).code, 0);
  EXPECT_EQ(Stored(), "Basque;French;German;");

  const CliRun unknown = Cli({"delete", "Basque "});
  EXPECT_EQ(unknown.code, 1);
  EXPECT_EQ(unknown.err, "quillory-cli: no language \"Basque \" is listed\n");
  EXPECT_EQ(Cli({"delete", "german"}).code, 1);
  EXPECT_EQ(Stored(), "Basque;French;German;");
}

TEST_F(LanguageCommand, DeletingTheOnlyLanguageLeavesAnEmptyList) {
  EXPECT_EQ(Cli({"add", "French"}).code, 0);
  EXPECT_EQ(Cli({"delete", "French"}).code, 0);
  EXPECT_EQ(Stored(), "");
  EXPECT_EQ(List(), "English\n");
}

TEST_F(LanguageCommand, AListWithoutTheFinalSeparatorLosesItsLastName) {
  store_.WriteSetting("Languages", "French;German");
  EXPECT_EQ(List(), "English\nFrench\n");
  EXPECT_EQ(Cli({"delete", "German"}).code, 1);
  EXPECT_EQ(Cli({"delete", "French"}).code, 0);
  EXPECT_EQ(Stored(), "");
}

TEST_F(LanguageCommand, ShowPrintsEveryStemInOrder) {
  EXPECT_EQ(Cli({"add", "French"}).code, 0);
  EXPECT_EQ(Cli({"set", "French", "One_", "un"}).code, 0);
  EXPECT_EQ(Cli({"set", "French", "Minus_", " moins "}).code, 0);
  EXPECT_EQ(Cli({"set", "French", "Two_", "de\tux\n"}).code, 0);
  const CliRun shown = Cli({"show", "French"});
  EXPECT_EQ(shown.code, 0);
  EXPECT_EQ(shown.err, "");
  std::vector<std::string> lines;
  std::istringstream text(shown.out);
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 37u);
  EXPECT_EQ(lines[0], "One_\tun");
  EXPECT_EQ(lines[1], "Two_\tde\\tux\\n") << "a word stays one field on one line";
  EXPECT_EQ(lines[9], "Ten_\t");
  EXPECT_EQ(lines[19], "Twenty_\t");
  EXPECT_EQ(lines[34], "No_\t");
  EXPECT_EQ(lines[35], "Zero_\t");
  EXPECT_EQ(lines[36], "Minus_\t moins ");
  EXPECT_EQ(store_.ReadSetting("Minus_French", ""), " moins ");

  EXPECT_EQ(Cli({"show", " "}).code, 1);
}

TEST_F(LanguageCommand, SetNeedsAKnownStemAndAListedName) {
  EXPECT_EQ(Cli({"add", "French"}).code, 0);
  const CliRun stem = Cli({"set", "French", "One", "un"});
  EXPECT_EQ(stem.code, 2);
  EXPECT_THAT(stem.err, HasSubstr("unknown stem \"One\""));
  EXPECT_EQ(Cli({"set", "french", "One_", "un"}).code, 1);
  EXPECT_EQ(Cli({"set", "French", "Seven_", ""}).code, 0);
  EXPECT_TRUE(store_.HasSetting("Seven_French"));
  EXPECT_FALSE(store_.HasSetting("One_french"));
  EXPECT_FALSE(store_.HasSetting("One_French"));

  // A blank name is listed but, as in the editor, never gets words.
  EXPECT_EQ(Cli({"add", " "}).code, 0);
  EXPECT_EQ(Cli({"set", " ", "One_", "x"}).code, 1);
  EXPECT_FALSE(store_.HasSetting("One_ "));
}

TEST_F(LanguageCommand, ReaddingADeletedNameFindsItsWords) {
  EXPECT_EQ(Cli({"add", "French"}).code, 0);
  EXPECT_EQ(Cli({"set", "French", "Nine_", "neuf"}).code, 0);
  EXPECT_EQ(Cli({"delete", "French"}).code, 0);
  EXPECT_EQ(store_.ReadSetting("Nine_French", ""), "neuf");

  const CliRun deleted = Cli({"show", "French"});
  EXPECT_EQ(deleted.code, 0);
  EXPECT_EQ(deleted.err, "quillory-cli: note: \"French\" is not a listed language\n");
  EXPECT_EQ(Cli({"add", "French"}).code, 0);
  EXPECT_THAT(Cli({"show", "French"}).out, HasSubstr("Nine_\tneuf\n"));
}

TEST_F(LanguageCommand, DefaultIsStoredLikeTheSetButton) {
  EXPECT_EQ(Cli({"default"}).out, "English\n");
  EXPECT_EQ(Cli({"add", "French"}).code, 0);
  EXPECT_EQ(Cli({"add", " "}).code, 0);
  EXPECT_EQ(Cli({"default", "German"}).code, 1);
  EXPECT_EQ(Cli({"default", " "}).code, 1);
  EXPECT_EQ(Cli({"default", ""}).code, 1);
  EXPECT_FALSE(store_.HasSetting("Default Language"));

  EXPECT_EQ(Cli({"default", "English"}).code, 0);
  EXPECT_EQ(store_.ReadSetting("Default Language", ""), "English");
  EXPECT_EQ(Cli({"default", "French"}).code, 0);
  EXPECT_EQ(store_.ReadSetting("Default Language", ""), "French");
  EXPECT_EQ(Cli({"default"}).out, "French\n");
}

TEST_F(LanguageCommand, DeletingTheDefaultLanguageKeepsItTheDefault) {
  EXPECT_EQ(Cli({"add", "French"}).code, 0);
  EXPECT_EQ(Cli({"default", "French"}).code, 0);
  EXPECT_EQ(Cli({"delete", "French"}).code, 0);
  EXPECT_EQ(store_.ReadSetting("Default Language", ""), "French");
  EXPECT_EQ(Cli({"default"}).out, "French\n");
  // The window still offers the stored default, so it can be set again.
  EXPECT_EQ(Cli({"default", "French"}).code, 0);
}

TEST_F(LanguageCommand, BadUsageExitsTwo) {
  EXPECT_EQ(Cli({}).code, 2);
  EXPECT_EQ(Cli({"add"}).code, 2);
  EXPECT_EQ(Cli({"set", "French", "One_"}).code, 2);
  EXPECT_EQ(Cli({"rename", "French"}).code, 2);
}

}  // namespace
}  // namespace quillory
