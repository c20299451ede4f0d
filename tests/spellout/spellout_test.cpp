// The built-in languages through libnumbertext: the golden table of tests/spellout/data, the
// words put together from pieces against the library's words for the whole, and the choice of
// currency.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <Numbertext.hxx>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/builtin_languages.h"
#include "engine/languages.h"
#include "engine/number_words.h"
#include "engine/settings.h"
#include "engine/words.h"
#include "platform/spellout/composer.h"
#include "platform/spellout/numbertext_speakers.h"

namespace quillory {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

struct Row {
  int line = 0;
  std::string language, kind, text, words;
};

void PrintTo(const Row& row, std::ostream* os) {
  *os << "built_in.tsv:" << row.line << " " << row.language << " " << row.kind << " " << row.text;
}

std::vector<Row> ReadRows() {
  std::ifstream in(std::filesystem::path(QUILLORY_SPELLOUT_DATA) / "built_in.tsv");
  std::vector<Row> rows;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.empty() || line[0] == '#') continue;
    Row row;
    row.line = number;
    std::vector<std::string*> cells = {&row.language, &row.kind, &row.text, &row.words};
    std::size_t start = 0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      const std::size_t tab = i + 1 < cells.size() ? line.find('\t', start) : line.size();
      *cells[i] = line.substr(start, tab - start);
      start = tab + 1;
    }
    rows.push_back(row);
  }
  return rows;
}

spellout::NumbertextSpeakers& Speakers() {
  static spellout::NumbertextSpeakers speakers;
  return speakers;
}

WordSet WordsOf(std::string_view code, std::string currency = {}) {
  MemorySettings store;
  return ReadWordSet(store, code, &Speakers(), currency);
}

class GoldenTable : public ::testing::TestWithParam<Row> {};

TEST_P(GoldenTable, GivesTheLibrarysWords) {
  const Row& row = GetParam();
  const WordSet words = WordsOf(row.language);
  ASSERT_NE(words.speaker, nullptr);
  std::string out;
  if (row.kind == "currency") {
    CurrencyToWords(row.text, words, out);
  } else {
    NumberToWords(row.text, words, out);
  }
  EXPECT_EQ(out, row.words);
}

INSTANTIATE_TEST_SUITE_P(BuiltIn, GoldenTable, ::testing::ValuesIn(ReadRows()),
                         [](const ::testing::TestParamInfo<Row>& info) {
                           return "line" + std::to_string(info.param.line);
                         });

// The pieces must give exactly the library's words for the whole, in every language where they
// are used (bench/spellout_check does the same over far larger samples). "es:GBP": amounts in a
// currency other than the language's own, here one whose gender changes the number's words.
class Pieces : public ::testing::TestWithParam<std::string> {};

TEST_P(Pieces, GiveTheLibrarysWordsForTheWhole) {
  const std::string code = GetParam().substr(0, GetParam().find(':'));
  const BuiltInLanguage* language = FindBuiltInLanguage(code);
  ASSERT_NE(language, nullptr);
  const std::string currency = GetParam().find(':') == std::string::npos
                                   ? std::string(language->currency)
                                   : GetParam().substr(code.size() + 1);
  const spellout::LanguageProfile profile = spellout::ProfileOf(code);
  Numbertext library;
  library.set_prefix(spellout::DefaultDataFolder() + "/");
  auto call = [&](std::string& text) { return library.numbertext(text, code); };
  spellout::Composer pieces(call, profile.grammar, true);
  spellout::Composer whole(call, profile.grammar, false);
  std::mt19937_64 random(14);
  std::string from_pieces, from_whole;
  for (int i = 0; i < 150; ++i) {
    const int digits = 1 + static_cast<int>(random() % 15);
    std::string text = std::to_string(random());
    text.resize(static_cast<std::size_t>(digits), '0');
    if (i % 3 == 0) {
      for (char& c : text) c = random() % 2 ? '0' : c;
    }
    const std::uint64_t integer = std::stoull(text);
    const bool negative = i % 7 == 0;
    const std::string fraction = i % 4 == 0 ? std::to_string(1 + random() % 99) : "";
    const int cents = static_cast<int>(random() % 100);
    if (profile.compose_numbers) {
      ASSERT_EQ(pieces.Number(negative, integer, fraction, from_pieces),
                whole.Number(negative, integer, fraction, from_whole));
      EXPECT_EQ(from_pieces, from_whole) << (negative ? "-" : "") << integer << "," << fraction;
    }
    if (profile.compose_amounts && !currency.empty()) {
      ASSERT_EQ(pieces.Amount(currency, negative, integer, cents, from_pieces),
                whole.Amount(currency, negative, integer, cents, from_whole));
      EXPECT_EQ(from_pieces, from_whole) << currency << " " << integer << "," << cents;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, Pieces,
                         ::testing::Values("fr", "de", "es", "it", "pt", "nl", "pl", "ru", "sv",
                                           "en-IN", "ca", "gl", "af", "lt", "es:GBP", "pt:GBP",
                                           "ca:ESP", "sv:GBP", "fr:CHF"),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) c = c == '-' || c == ':' ? '_' : c;
                           return name;
                         });

// Numbers from 10^9 up in the long scale ("dos mil cinco millones") and amounts in a currency
// whose gender changes the words ("doscientas una mil libras") are put together from pieces
// too, not asked of the library one by one: 1,600 numbers of 400 millions counts, each
// asked whole once, against a few dozen pieces.
TEST(Pieces, LongScaleCountsAndGenderedAmountsAreComposed) {
  const spellout::LanguageProfile profile = spellout::ProfileOf("es");
  Numbertext library;
  library.set_prefix(spellout::DefaultDataFolder() + "/");
  auto call = [&](std::string& text) { return library.numbertext(text, "es"); };
  spellout::Composer pieces(call, profile.grammar, true);
  spellout::Composer whole(call, profile.grammar, false);
  std::string from_pieces, from_whole;
  for (std::uint64_t thousands = 1; thousands <= 20; ++thousands) {
    for (std::uint64_t millions = 1; millions <= 20; ++millions) {
      for (std::uint64_t units : {1, 21, 201, 201'005}) {
        const std::uint64_t integer = (thousands * 1000 + millions) * 1'000'000 + units;
        ASSERT_TRUE(pieces.Number(false, integer, "", from_pieces));
        ASSERT_TRUE(whole.Number(false, integer, "", from_whole));
        EXPECT_EQ(from_pieces, from_whole) << integer;
        ASSERT_TRUE(pieces.Amount("GBP", false, integer, 0, from_pieces));
        ASSERT_TRUE(whole.Amount("GBP", false, integer, 0, from_whole));
        EXPECT_EQ(from_pieces, from_whole) << "GBP " << integer;
      }
    }
  }
  EXPECT_EQ(from_pieces, "veinte mil veinte millones doscientas una mil cinco libras esterlinas");
  EXPECT_GE(whole.LibraryCalls(), 3200u);
  EXPECT_LT(pieces.LibraryCalls(), 400u);
}

// A long run asks the library for pieces, not for every number: 2,592 numbers and as many
// amounts made of six values in each of four groups, with and without digits after the point,
// need a few hundred pieces in each of the ten languages (the long scale of Spanish and
// Portuguese, the Russian whole part before the point, Swedish amounts included). Every 50th is
// compared with the library's words for the whole.
class FewPieces : public ::testing::TestWithParam<std::string> {};

TEST_P(FewPieces, ServeALongRun) {
  const std::string code = GetParam();
  const BuiltInLanguage* language = FindBuiltInLanguage(code);
  ASSERT_NE(language, nullptr);
  const spellout::LanguageProfile profile = spellout::ProfileOf(code);
  Numbertext library;
  library.set_prefix(spellout::DefaultDataFolder() + "/");
  auto call = [&](std::string& text) { return library.numbertext(text, code); };
  spellout::Composer numbers(call, profile.grammar, true);
  spellout::Composer amounts(call, profile.grammar, true);
  spellout::Composer whole(call, profile.grammar, false);
  const std::uint64_t values[] = {1, 2, 21, 100, 345, 999};
  std::string out, expected;
  int count = 0;
  for (std::uint64_t a : values) {
    for (std::uint64_t b : values) {
      for (std::uint64_t c : values) {
        for (std::uint64_t d : values) {
          const std::uint64_t integer = ((a * 1000 + b) * 1000 + c) * 1000 + d;
          for (const char* fraction : {"", "25"}) {
            const int cents = *fraction ? 25 : 0;
            ASSERT_TRUE(numbers.Number(false, integer, fraction, out)) << integer;
            if (count % 50 == 0) {
              ASSERT_TRUE(whole.Number(false, integer, fraction, expected));
              EXPECT_EQ(out, expected);
            }
            ASSERT_TRUE(amounts.Amount(language->currency, false, integer, cents, out));
            if (count++ % 50 == 0) {
              ASSERT_TRUE(whole.Amount(language->currency, false, integer, cents, expected));
              EXPECT_EQ(out, expected);
            }
          }
        }
      }
    }
  }
  EXPECT_LT(numbers.LibraryCalls(), 500u);
  EXPECT_LT(amounts.LibraryCalls(), 500u);
}

INSTANTIATE_TEST_SUITE_P(Languages, FewPieces,
                         ::testing::Values("fr", "de", "es", "it", "pt", "nl", "pl", "ru", "sv",
                                           "en-IN"),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) c = c == '-' ? '_' : c;
                           return name;
                         });

// Where this libnumbertext's words lose the number or its sign, the text is left as it was
// instead of being given them: Lithuanian 100,5 is " ir penkios dešimtosios" (the hundred left
// out), -7005480,13 EUR " ir trylika euro centų"; Irish -5 EUR is " euro"; Afrikaans -0,81 ZAR
// the words of 0,81; Icelandic -2 GBP "-2 breskt pund".
TEST(Numbers, WordsThatLoseTheNumberOrItsSignAreNotTaken) {
  const WordSet lithuanian = WordsOf("lt");
  std::string out;
  WordsOutcome outcome = NumberToWords("100.5", lithuanian, out);
  EXPECT_EQ(out, "100.5");
  EXPECT_EQ(DescribeOutcome("100.5", outcome),
            "100.5 was left unchanged: Lietuvių (lt) has no words for it");
  EXPECT_EQ(NumberToWords("101.5", lithuanian),
            "vienas šimtas vienas sveikas ir penkios dešimtosios");
  EXPECT_EQ(NumberToWords("2.5", lithuanian), "du sveiki ir penkios dešimtosios");
  outcome = CurrencyToWords("-7005480.13", lithuanian, out);
  EXPECT_EQ(out, "-7005480.13");
  EXPECT_EQ(outcome.status, WordsStatus::NotSaid);
  EXPECT_EQ(CurrencyToWords("-5.13", lithuanian), "minus penki eurai ir trylika euro centų");

  EXPECT_EQ(CurrencyToWords("-5", WordsOf("ga")), "-5");
  EXPECT_EQ(CurrencyToWords("5", WordsOf("ga")), "cúig euro");
  EXPECT_EQ(CurrencyToWords("-0.81", WordsOf("af")), "-0.81");
  EXPECT_EQ(CurrencyToWords("-1.81", WordsOf("af")), "min een rand een-en-tagtig sent");
  EXPECT_EQ(CurrencyToWords("-2", WordsOf("is", "GBP")), "-2");
  EXPECT_EQ(CurrencyToWords("2", WordsOf("is", "GBP")), "tvö breskt pund");
  // A Catalan amount starts with a space in the library's words and is said all the same.
  EXPECT_EQ(CurrencyToWords("2", WordsOf("ca")), "dos euros");
  EXPECT_EQ(CurrencyToWords("1", WordsOf("sl")), "en evro");
}

TEST(Currency, ChosenByCodeStoredOrForTheRunAndNamedBySymbolsThatNameOneCurrency) {
  MemorySettings store;
  std::string out;
  EXPECT_EQ(CurrencyToWords("5", ReadWordSet(store, "fr", &Speakers())), "cinq euros");
  WriteCurrency(store, "GBP");
  EXPECT_EQ(CurrencyToWords("5", ReadWordSet(store, "fr", &Speakers())), "cinq livres sterling");
  EXPECT_EQ(CurrencyToWords("5", ReadWordSet(store, "fr", &Speakers(), "USD")),
            "cinq dollars américains");
  EXPECT_EQ(CurrencyToWords("€5", ReadWordSet(store, "fr", &Speakers())), "cinq euros");

  // A stored currency the language has no words for leaves the amount as it was, and says so.
  WriteCurrency(store, "INR");
  const WordSet words = ReadWordSet(store, "fr", &Speakers());
  const WordsOutcome outcome = CurrencyToWords("5", words, out);
  EXPECT_EQ(out, "5");
  EXPECT_EQ(DescribeOutcome("5", outcome),
            "5 was left unchanged: Français (fr) has no words for the currency INR");
}

TEST(Currency, TheLanguageListsTheCurrenciesItHasWordsFor) {
  BuiltInSpeaker& french = Speakers().Speaker(*FindBuiltInLanguage("fr"));
  const std::vector<std::string> currencies = french.Currencies();
  EXPECT_THAT(currencies, Contains("EUR"));
  EXPECT_THAT(currencies, Contains("CHF"));
  EXPECT_THAT(currencies, Not(Contains("INR")));
  EXPECT_TRUE(french.KnowsCurrency("USD"));
  EXPECT_FALSE(french.KnowsCurrency("usd"));
  EXPECT_FALSE(french.KnowsCurrency("XYZ"));
  // Three capitals in the language's data that only change the number's form are no currency.
  BuiltInSpeaker& hungarian = Speakers().Speaker(*FindBuiltInLanguage("hu"));
  EXPECT_THAT(hungarian.Currencies(), Contains("HUF"));
  EXPECT_THAT(hungarian.Currencies(), Not(Contains("III")));
  EXPECT_FALSE(hungarian.KnowsCurrency("USA"));
  // Every language's own currency is one it has words for.
  for (const BuiltInLanguage& language : BuiltInLanguages()) {
    if (language.currency.empty()) continue;
    EXPECT_TRUE(Speakers().Speaker(language).KnowsCurrency(language.currency)) << language.code;
  }
}

TEST(Numbers, MoreDigitsAfterThePointThanTheWordsTakeAreLeftAsTheyWere) {
  std::string out;
  const WordSet words = WordsOf("de");
  const WordsOutcome outcome = NumberToWords("0.1234567890123456", words, out);
  EXPECT_EQ(out, "0.1234567890123456");
  EXPECT_EQ(DescribeOutcome("0.1234567890123456", outcome),
            "0.1234567890123456 was left unchanged: it has more than 15 digits after the point "
            "to write in words");
  EXPECT_EQ(NumberToWords("0.123456789012345000", words),
            "null Komma eins zwei drei vier fünf sechs sieben acht neun null eins zwei drei vier "
            "fünf");
}

TEST(Numbers, MissingLanguageDataNamesTheFileAndThePackage) {
  spellout::NumbertextSpeakers speakers("/nonexistent/numbertext");
  MemorySettings store;
  const WordSet words = ReadWordSet(store, "fr", &speakers);
  std::string out;
  const WordsOutcome outcome = NumberToWords("5", words, out);
  EXPECT_EQ(out, "5");
  EXPECT_THAT(DescribeOutcome("5", outcome),
              HasSubstr("Français (fr) cannot be read: /nonexistent/numbertext/fr.sor is missing "
                        "(Debian package libnumbertext-data)"));
}

}  // namespace
}  // namespace quillory
