#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <streambuf>
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

// Hands out its text a few bytes at a time, as a pipe or a terminal gives standard input.
class TrickleBuffer : public std::streambuf {
 public:
  TrickleBuffer(std::string text, std::size_t step) : text_(std::move(text)), step_(step) {}

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (given_ == text_.size()) return traits_type::eof();
    const std::size_t size = std::min(step_, text_.size() - given_);
    setg(text_.data() + given_, text_.data() + given_, text_.data() + given_ + size);
    given_ += size;
    return traits_type::to_int_type(*gptr());
  }

 private:
  std::string text_;
  std::size_t step_;
  std::size_t given_ = 0;
};

TEST(WordsCommand, LinesSplitAcrossReadsComeOutAsWhenGivenWhole) {
  const std::string input = "1234.56\r\nabc\n\n-7\n$1,000.05\n19";
  MemorySettings store;
  const CliRun whole = RunWith(store, {"words", "--currency"}, input);
  ASSERT_EQ(whole.out,
            "One Thousand Two Hundred Thirty Four Dollars and Fifty Six Cents\nabc\n\n"
            "Minus Seven Dollars and No Cents\nOne Thousand Dollars and Five Cents\n"
            "Nineteen Dollars and No Cents\n");
  for (std::size_t step : {1, 2, 3, 5, 8, 13}) {
    TrickleBuffer trickle(input, step);
    std::istream in(&trickle);
    CliEnvironment env{store, in};
    std::ostringstream out, err;
    EXPECT_EQ(RunCli({"words", "--currency"}, out, err, env), 0);
    EXPECT_EQ(out.str(), whole.out) << "read " << step << " bytes at a time";
    EXPECT_EQ(err.str(), whole.err) << "read " << step << " bytes at a time";
  }
  TrickleBuffer trickle("1\n23\n4", 3);
  std::istream in(&trickle);
  CliEnvironment env{store, in};
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"letters", "--base", "1"}, out, err, env), 0);
  EXPECT_EQ(out.str(), "A\nBC\nD\n");
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
