#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "engine/languages.h"
#include "engine/settings.h"

namespace quillory {
namespace {

struct CliRun {
  int code = -1;
  std::string out;
  std::string err;
};

CliRun RunWith(SettingsStore& store, const std::vector<std::string>& args,
               const std::string& input = "") {
  std::istringstream in(input);
  CliEnvironment env{store, in};
  std::ostringstream out, err;
  CliRun run;
  run.code = RunCli(args, out, err, env);
  run.out = out.str();
  run.err = err.str();
  return run;
}

TEST(WordsCommand, WritesOneLinePerTextAndExplainsTheOnesLeftAlone) {
  MemorySettings store;
  const CliRun run = RunWith(store, {"words", "1234.56", "abc", "1000000000000000", "0"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out,
            "One Thousand Two Hundred Thirty Four Point Fifty Six\nabc\n1000000000000000\nZero\n");
  EXPECT_EQ(run.err,
            "abc does not appear to be a number\n"
            "1000000000000000 is too large to write in words: the words reach 999 trillion (15 "
            "digits)\n");
}

TEST(WordsCommand, ReadsStandardInputWhenNoTextIsGiven) {
  MemorySettings store;
  const CliRun run = RunWith(store, {"words", "--currency"}, "1\r\n-2.5\n\n$3\n");
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out,
            "One Dollar and No Cents\nMinus Two Dollars and Fifty Cents\n\n"
            "Three Dollars and No Cents\n");
  EXPECT_EQ(run.err, " does not appear to be a number\n");
}

TEST(WordsCommand, TakesUnitWordsAndLanguagesFromTheStore) {
  MemorySettings store;
  store.WriteSetting("Dollar", "Euro");
  WriteStoredWord(store, Stem::One, "Caps", "ONE");
  WriteStoredWord(store, Stem::And, "Caps", "AND");
  WriteStoredWord(store, Stem::No, "Caps", "NO");
  EXPECT_EQ(RunWith(store, {"words", "--currency", "1"}).out, "One Euro and No Cents\n");
  EXPECT_EQ(RunWith(store, {"words", "--currency", "--language", "Caps", "1"}).out,
            "ONE Euro AND NO Cents\n");

  store.WriteSetting("Default Language", "Caps");
  const CliRun run = RunWith(store, {"words", "17", "1"});
  EXPECT_EQ(run.out, "17\nONE\n");
  EXPECT_EQ(run.err,
            "17 was left unchanged: the word \"Seventeen\" of the language \"Caps\" is empty\n");
  EXPECT_EQ(RunWith(store, {"words", "--language", "English", "17"}).out, "Seventeen\n");
}

TEST(WordsCommand, ReadsNegativeNumbersAsTexts) {
  MemorySettings store;
  EXPECT_EQ(RunWith(store, {"words", "5", "-5", "-1,234.5"}).out,
            "Five\nMinus Five\nMinus One Thousand Two Hundred Thirty Four Point Fifty\n");
  EXPECT_EQ(RunWith(store, {"words", "--", "-5", "(7)"}).out, "Minus Five\nMinus Seven\n");
}

TEST(LettersCommand, ReplacesDigitsAndRefusesBasesOutsideTheCodePage) {
  MemorySettings store;
  EXPECT_EQ(RunWith(store, {"letters", "--base", "1", "907", "Total"}).out, "I0G\nTotal\n");
  EXPECT_EQ(RunWith(store, {"letters", "--base", "-62"}, "1\n").out, "\u20AC\n");
  const CliRun high = RunWith(store, {"letters", "--base", "67", "5"});
  EXPECT_EQ(high.code, 2);
  EXPECT_EQ(high.out, "");
  EXPECT_NE(high.err.find("between -180 and 66"), std::string::npos);
  EXPECT_EQ(RunWith(store, {"letters", "--base", "-181", "5"}).code, 2);
  EXPECT_EQ(RunWith(store, {"letters", "5"}).code, 2);
  EXPECT_EQ(RunWith(store, {"letters", "--base", "x", "5"}).code, 2);
}

}  // namespace
}  // namespace quillory
