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
// are used (bench/spellout_check does the same over far larger samples).
class Pieces : public ::testing::TestWithParam<std::string> {};

TEST_P(Pieces, GiveTheLibrarysWordsForTheWhole) {
  const std::string code = GetParam();
  const BuiltInLanguage* language = FindBuiltInLanguage(code);
  ASSERT_NE(language, nullptr);
  const spellout::LanguageProfile profile = spellout::ProfileOf(code);
  Numbertext library;
  library.set_prefix(spellout::DefaultDataFolder() + "/");
  auto call = [&](std::string& text) { return library.numbertext(text, code); };
  spellout::Composer pieces(call, profile.places, profile.separator, true);
  spellout::Composer whole(call, profile.places, profile.separator, false);
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
    if (profile.compose_amounts) {
      const std::string currency(language->currency);
      ASSERT_EQ(pieces.Amount(currency, negative, integer, cents, from_pieces),
                whole.Amount(currency, negative, integer, cents, from_whole));
      EXPECT_EQ(from_pieces, from_whole) << currency << " " << integer << "," << cents;
    }
  }
  // Far fewer library calls than numbers once the pieces are known.
  EXPECT_LT(pieces.LibraryCalls(), whole.LibraryCalls() * 20);
}

INSTANTIATE_TEST_SUITE_P(Languages, Pieces,
                         ::testing::Values("fr", "de", "es", "it", "pt", "nl", "pl", "ru", "sv",
                                           "en-IN"),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) c = c == '-' ? '_' : c;
                           return name;
                         });

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
