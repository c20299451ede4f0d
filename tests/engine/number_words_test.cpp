#include "engine/number_words.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "engine/letters.h"
#include "tests/engine/word_sets.h"

namespace quillory {
namespace {

const WordSet& kEnglish = EnglishWordSet();

TEST(WordPieces, KeepTheirFixedFormsWithTrailingSpaces) {
  EXPECT_EQ(HundredsToWords("100", kEnglish), "One Hundred ");
  EXPECT_EQ(HundredsToWords("101", kEnglish), "One Hundred One");
  EXPECT_EQ(HundredsToWords("110", kEnglish), "One Hundred Ten");
  EXPECT_EQ(HundredsToWords("7", kEnglish), "Seven");
  EXPECT_EQ(HundredsToWords("070", kEnglish), "Seventy ");
  EXPECT_EQ(HundredsToWords("000", kEnglish), "");
  EXPECT_EQ(TensToWords("05", kEnglish), "Five");
  EXPECT_EQ(TensToWords("20", kEnglish), "Twenty ");
  EXPECT_EQ(TensToWords("21", kEnglish), "Twenty One");
  EXPECT_EQ(TensToWords("00", kEnglish), "");
  EXPECT_EQ(TensToWords("1x", kEnglish), "");
  EXPECT_EQ(DigitToWord("0", kEnglish), "");
  EXPECT_EQ(DigitToWord("a", kEnglish), "");
  EXPECT_EQ(DigitToWord("", kEnglish), "");
  EXPECT_EQ(HundredsToWords("307", CapitalsWordSet()), "THREE HUNDRED SEVEN");
  EXPECT_EQ(DigitToWord("7", HolesWordSet()), "");
}

TEST(LeadingNumberValue, ReadsTheNumberAtTheStart) {
  EXPECT_EQ(LeadingNumberValue("5"), 5);
  EXPECT_EQ(LeadingNumberValue("-"), 0);
  EXPECT_EQ(LeadingNumberValue("1,"), 1);
  EXPECT_EQ(LeadingNumberValue("$5"), 0);
  EXPECT_EQ(LeadingNumberValue(" 1 2\t3\n"), 123);
  EXPECT_EQ(LeadingNumberValue("-2.5x"), -2.5);
  EXPECT_EQ(LeadingNumberValue("1.5E+3"), 1500);
  EXPECT_EQ(LeadingNumberValue("1e"), 1);
  EXPECT_EQ(LeadingNumberValue(".5"), 0.5);
  EXPECT_EQ(LeadingNumberValue("1.2.3"), 1.2);
  EXPECT_EQ(LeadingNumberValue("1e-999"), 0);
  EXPECT_TRUE(std::isinf(LeadingNumberValue("1e999")));
}

TEST(LettersAnswer, RoundsHalfToEvenAndFitsSixteenBits) {
  EXPECT_EQ(LettersBaseFromAnswer("2.5"), 2);
  EXPECT_EQ(LettersBaseFromAnswer("3.5"), 4);
  EXPECT_EQ(LettersBaseFromAnswer("-2.5"), -2);
  EXPECT_EQ(LettersBaseFromAnswer("1,000"), 1);
  EXPECT_EQ(LettersBaseFromAnswer("32767"), 32767);
  EXPECT_EQ(LettersBaseFromAnswer("-32768"), -32768);
  EXPECT_EQ(LettersBaseFromAnswer("40000"), std::nullopt);
  EXPECT_EQ(LettersBaseFromAnswer("1e999"), std::nullopt);
  EXPECT_TRUE(IsNumericAnswer("1"));
  EXPECT_TRUE(IsNumericAnswer("1,000"));
  EXPECT_TRUE(IsNumericAnswer(" $2.5 "));
  EXPECT_TRUE(IsNumericAnswer("1E+20"));
  EXPECT_FALSE(IsNumericAnswer(""));
  EXPECT_FALSE(IsNumericAnswer("abc"));
  EXPECT_FALSE(IsNumericAnswer("12%"));
}

TEST(Outcome, DescribesWhyATextWasLeftAlone) {
  std::string out;
  EXPECT_EQ(DescribeOutcome("abc", NumberToWords("abc", kEnglish, out)),
            "abc does not appear to be a number");
  EXPECT_EQ(DescribeOutcome("", NumberToWords("", kEnglish, out)),
            " does not appear to be a number");
  EXPECT_EQ(DescribeOutcome("1E+15", NumberToWords("1E+15", kEnglish, out)),
            "1E+15 is too large to write in words: the words reach 999 trillion (15 digits)");
  const WordsOutcome missing = NumberToWords("77", HolesWordSet(), out);
  EXPECT_EQ(DescribeOutcome("77", missing, "French"),
            "77 was left unchanged: the word \"Seven\" of the language \"French\" is empty");
  EXPECT_EQ(DescribeOutcome("77", missing),
            "77 was left unchanged: the word \"Seven\" of the current language is empty");
  EXPECT_EQ(DescribeOutcome("7", NumberToWords("7", kEnglish, out)), "");
}

TEST(Currency, UsesTheUnitWordsExactlyAsStored) {
  WordSet words;
  words.unit = "Euro";
  EXPECT_EQ(CurrencyToWords("5", words), "Five Euros and No Cents");
  words.unit = "Peso ";
  EXPECT_EQ(CurrencyToWords("5", words), "Five Peso s and No Cents");
  EXPECT_EQ(CurrencyToWords("1", words), "One Peso and No Cents");
  words.unit = "";
  words.subunit = "Centavo";
  EXPECT_EQ(CurrencyToWords("2.02", words), "Two s and Two Centavos");
}

TEST(Currency, StoredPluralsReplaceTheAddedS) {
  WordSet words;
  words.unit = "Penny";
  EXPECT_EQ(CurrencyToWords("2", words), "Two Pennys and No Cents");  // no plural stored
  words.unit_plural = "Pennies";
  words.subunit = "Farthing";
  words.subunit_plural = "Farthings ";
  EXPECT_EQ(CurrencyToWords("2.02", words), "Two Pennies and Two Farthings");
  EXPECT_EQ(CurrencyToWords("1.01", words), "One Penny and One Farthing");
  EXPECT_EQ(CurrencyToWords("0", words), "No Pennies and No Farthings");
  words.unit_plural = "";
  EXPECT_EQ(CurrencyToWords("3", words), "Three and No Farthings");
  words.unit_plural = " Pen  nies";
  EXPECT_EQ(CurrencyToWords("3", words), "Three Pen nies and No Farthings");
  EXPECT_EQ(DescribeReason(NumberToWords("x", kEnglish, words.unit)),
            "does not appear to be a number");
}

TEST(Currency, TwoSpacesInAUnitWordBecomeOneWhereverTheyStand) {
  WordSet words;
  for (std::size_t n = 0; n < 40; ++n) {
    const std::string x(n, 'x');
    words.unit = x + "  y";
    EXPECT_EQ(CurrencyToWords("2", words), "Two " + x + " ys and No Cents") << n;
  }
}

TEST(StoredWords, KeepTheirLettersAndTypedSpacesCollapse) {
  WordSet words = CapitalsWordSet();
  words.stored[Index(Stem::Hundred)] = "cent ";
  words.stored[Index(Stem::One)] = " un";
  EXPECT_EQ(NumberToWords("100", words), "un cent");
  EXPECT_EQ(NumberToWords("200", words), "TWO cent");
  // One pass: a run of three spaces keeps two.
  EXPECT_EQ(NumberToWords("101", words), "un cent  un");
  EXPECT_EQ(CurrencyToWords("1", words), "un Dollar AND NO Cents");
}

TEST(Buffer, IsReusedAndMayHoldTheTextItself) {
  std::string out = "12.5";
  EXPECT_TRUE(NumberToWords(out, kEnglish, out).converted());
  EXPECT_EQ(out, "Twelve Point Fifty");
  out = "abc";
  EXPECT_FALSE(CurrencyToWords(out, kEnglish, out).converted());
  EXPECT_EQ(out, "abc");
  out = "x";
  EXPECT_TRUE(DigitsToLetters(out, 1, out));
  EXPECT_EQ(out, "x");
}

TEST(Buffer, LongStoredWordsAreKeptWhole) {
  WordSet words = CapitalsWordSet();
  const std::string long_word(300, 'h');
  words.stored[Index(Stem::Hundred)] = long_word;
  const std::string expected =
      "NINE " + long_word + " NINETY NINE THOUSAND NINE " + long_word + " NINETY NINE";
  EXPECT_EQ(NumberToWords("999999", words), expected);
  std::string out(700, 'x');
  ASSERT_TRUE(NumberToWords("999999", words, out).converted());
  EXPECT_EQ(out, expected);
  words.stored[Index(Stem::Seven)] = "";
  std::string text = "999997";
  EXPECT_EQ(NumberToWords(text, words, out).status, WordsStatus::NoWord);
  EXPECT_EQ(out, text);
}

// The words as the pieces build them (group words, scale word, collapse of double spaces), an
// independent way to the same result for whole numbers and fractions that spell something.
std::string WordsFromPieces(const std::string& whole, const std::string& fraction) {
  static const char* const kScale[] = {"",          "",          " Thousand ",
                                       " Million ", " Billion ", " Trillion "};
  std::string text = whole;
  std::string words;
  for (int position = 1; !text.empty(); ++position) {
    const std::size_t take = std::min<std::size_t>(3, text.size());
    const std::string group = HundredsToWords(text.substr(text.size() - take), kEnglish);
    if (!group.empty()) words = group + kScale[position] + words;
    text.erase(text.size() - take);
  }
  if (!fraction.empty()) words += " Point " + TensToWords(fraction, kEnglish);
  std::string result;
  for (std::size_t i = 0; i < words.size(); ++i) {
    result += words[i];
    if (words[i] == ' ' && i + 1 < words.size() && words[i + 1] == ' ') ++i;
  }
  while (!result.empty() && result.back() == ' ') result.pop_back();
  return result;
}

TEST(NumberToWords, AgreesWithThePiecesOverManyNumbers) {
  std::string out;
  for (long long n = 1; n <= 20000; ++n) {
    const std::string text = std::to_string(n);
    NumberToWords(text, kEnglish, out);
    ASSERT_EQ(out, WordsFromPieces(text, "")) << text;
  }
  std::mt19937_64 random(7);
  std::uniform_int_distribution<long long> whole(1, 999'999'999'999'999);
  std::uniform_int_distribution<int> cents(1, 99);
  for (int i = 0; i < 20000; ++i) {
    const std::string text = std::to_string(whole(random) >> (i % 48));
    if (text == "0") continue;
    std::string fraction = std::to_string(cents(random));
    if (fraction.size() == 1) fraction = "0" + fraction;
    NumberToWords(text + "." + fraction, kEnglish, out);
    ASSERT_EQ(out, WordsFromPieces(text, fraction)) << text << "." << fraction;
  }
}

}  // namespace
}  // namespace quillory
