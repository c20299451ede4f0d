#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "engine/letters.h"
#include "engine/number_words.h"
#include "engine/text_buffer.h"
#include "tests/engine/word_sets.h"

namespace quillory {
namespace {

// Texts as cells show them, and a few no cell should: every branch of the reader, numbers near
// and past the 15-digit limit, digit runs longer than eight, symbols on either side, stray bytes.
std::vector<std::string> VariedTexts() {
  std::vector<std::string> texts = {
      "",
      "0",
      "1",
      "7",
      "10",
      "100",
      "1001",
      "12345678",
      "123456789",
      "1234567890123",
      "99999999",
      "100000000",
      "999999999999999",
      "1000000000000000",
      "12345678901234567890",
      "00000000000000000001",
      "0000000012345678",
      "1,234",
      "12,345,678",
      "1,234,567,890,123",
      "1,23",
      "1234,567",
      "0,125",
      ",123",
      "1234.56",
      "1234.5",
      "1234.05",
      "1234.999",
      "0.001",
      ".5",
      "5.",
      "1.5E+3",
      "1.23457E+11",
      "1E+15",
      "9.99E+14",
      "1e-2",
      "5E",
      "-5",
      "+5",
      "(5)",
      "-(5)",
      "(-5)",
      "$5.00",
      "-$5.00",
      "$-5.00",
      "$(1.00)",
      "($1.00)",
      "5$",
      "\u20AC12.50",
      "12.50 \u20AC",
      "\u00A33",
      "\u00A51000",
      "\u20B999.99",
      "\u20AC",
      "$",
      "  42  ",
      "\t42",
      "1 234",
      "12%",
      "2026-12-06",
      "TRUE",
      "abc",
      "12abc34",
      "1.2.3",
      "-",
      "()",
      "12\xFF\xFE",
      "12\r",
      "0.00",
      "-0",
      "-0.001",
      "1.01",
      "1.00",
      "2.01",
  };
  std::mt19937_64 random(20261206);
  std::uniform_int_distribution<int> length(1, 20);
  std::uniform_int_distribution<int> digit(0, 9);
  std::uniform_int_distribution<int> shape(0, 5);
  for (int i = 0; i < 3000; ++i) {
    std::string number;
    const int digits = length(random);
    for (int d = 0; d < digits; ++d) number += static_cast<char>('0' + digit(random));
    switch (shape(random)) {
      case 0:
        break;
      case 1:
        number += "." + std::to_string(digit(random)) + std::to_string(digit(random));
        break;
      case 2:
        number = "-" + number + ".0" + std::to_string(digit(random));
        break;
      case 3:
        number = "$" + number;
        break;
      case 4:
        number += "E+" + std::to_string(digit(random));
        break;
      case 5:
        number.insert(number.size() / 2, "x");
        break;
    }
    texts.push_back(number);
  }
  return texts;
}

// The word sets the conversions treat apart: the built-in English, typed words, words missing,
// unit words that leave double spaces, and words long enough to fill the writer's room.
std::vector<std::pair<const char*, WordSet>> VariedWordSets() {
  std::vector<std::pair<const char*, WordSet>> sets;
  sets.emplace_back("English", EnglishWordSet());
  sets.emplace_back("Capitals", CapitalsWordSet());
  sets.emplace_back("Holes", HolesWordSet());
  WordSet spaced = EnglishWordSet();
  spaced.unit = " Euro  ";
  spaced.subunit = "";
  spaced.unit_plural = "Euros ";
  sets.emplace_back("spaced units", spaced);
  WordSet long_words = CapitalsWordSet();
  long_words.stored[Index(Stem::Hundred)] = std::string(300, 'h');
  long_words.stored[Index(Stem::Thousand)] = "  THOU  SAND ";
  long_words.unit = std::string(500, 'u');
  sets.emplace_back("long words", long_words);
  return sets;
}

TEST(AppendForms, WriteWhatTheReplacingFormsWriteOneAfterAnother) {
  const std::vector<std::string> texts = VariedTexts();
  for (const auto& [name, words] : VariedWordSets()) {
    for (const bool currency : {false, true}) {
      TextBuffer appended;
      std::string expected;
      std::string single;
      for (const std::string& text : texts) {
        const WordsOutcome plain =
            currency ? CurrencyToWords(text, words, single) : NumberToWords(text, words, single);
        const WordsOutcome added = currency ? AppendCurrencyWords(text, words, appended)
                                            : AppendNumberWords(text, words, appended);
        expected.append(single).push_back('\n');
        appended.push_back('\n');
        ASSERT_EQ(added.status, plain.status) << name << " " << currency << " [" << text << "]";
        ASSERT_EQ(added.missing, plain.missing) << name << " " << currency << " [" << text << "]";
        ASSERT_EQ(appended.view().substr(appended.size() - single.size() - 1, single.size()),
                  single)
            << name << " " << currency << " [" << text << "]";
      }
      EXPECT_EQ(appended.view(), expected) << name << " " << currency;
    }
  }
}

TEST(AppendForms, TakeATextFromTheBufferItself) {
  TextBuffer out;
  out.append("1234.56");
  const std::string before(out.view());
  ASSERT_TRUE(AppendNumberWords(out.view(), EnglishWordSet(), out).converted());
  EXPECT_EQ(out.view(), before + NumberToWords(before, EnglishWordSet()));

  out.clear();
  out.append("12");
  const std::optional<LetterTable> table = LetterTable::ForBase(1);
  ASSERT_TRUE(table);
  table->Append(out.view(), out);
  EXPECT_EQ(out.view(), "12AB");
}

TEST(TextBuffer, KeepsItsTextAcrossGrowth) {
  TextBuffer out;
  std::string expected;
  for (int i = 0; i < 5000; ++i) {
    const std::string piece(static_cast<std::size_t>(i % 97), static_cast<char>('a' + i % 26));
    out.append(piece);
    out.push_back('|');
    expected += piece + "|";
  }
  EXPECT_EQ(out.view(), expected);
  out.Truncate(10);
  EXPECT_EQ(out.view(), expected.substr(0, 10));
  char* room = out.Room(3);
  room[0] = 'x';
  room[1] = 'y';
  out.Commit(2);
  EXPECT_EQ(out.view(), expected.substr(0, 10) + "xy");
}

// The letters as the ten steps make them, one after another over the whole text: steps 1-9
// replace the digit 1-9 by the character 65 + step - base (Windows-1252, written as UTF-8), step
// 10 replaces "10".
std::string LettersByTheSteps(const std::string& text, int base) {
  auto character = [](int code) {
    static const std::array<char32_t, 32> kHigh = {
        0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    const char32_t c =
        code >= 0x80 && code < 0xA0 ? kHigh[static_cast<std::size_t>(code - 0x80)] : code;
    std::string utf8;
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      utf8 += static_cast<char>(0xE0 | (c >> 12));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
    return utf8;
  };
  std::string result = text;
  for (int step = 1; step <= 10; ++step) {
    const std::string from = std::to_string(step);
    const std::string to = character(65 + step - base);
    std::string next;
    for (std::size_t i = 0; i < result.size();) {
      if (result.compare(i, from.size(), from) == 0) {
        next += to;
        i += from.size();
      } else {
        next += result[i++];
      }
    }
    result = next;
  }
  return result;
}

TEST(LetterTable, MakesWhatTheTenStepsMakeForEveryBase) {
  const std::vector<std::string> all = VariedTexts();
  std::vector<std::string> some(all.begin(), all.begin() + 100);
  some.insert(some.end(), {"10", "110", "1010", "0110", "100", "9081726354", "a1b0c", "1"});
  for (int base = kLowestLettersBase; base <= kHighestLettersBase; ++base) {
    // Every text for the ends and for the bases whose letters are digits again.
    const bool every = base == kLowestLettersBase || base == kHighestLettersBase || base == 1 ||
                       (base >= 9 && base <= 27);
    const std::vector<std::string>& texts = every ? all : some;
    const std::optional<LetterTable> table = LetterTable::ForBase(static_cast<std::int16_t>(base));
    ASSERT_TRUE(table) << base;
    TextBuffer appended;
    std::string expected;
    std::string single;
    for (const std::string& text : texts) {
      const std::string stepped = LettersByTheSteps(text, base);
      ASSERT_TRUE(DigitsToLetters(text, static_cast<std::int16_t>(base), single));
      ASSERT_EQ(single, stepped) << base << " [" << text << "]";
      table->Append(text, appended);
      expected += stepped;
    }
    EXPECT_EQ(appended.view(), expected) << base;
  }
  EXPECT_FALSE(LetterTable::ForBase(kLowestLettersBase - 1));
  EXPECT_FALSE(LetterTable::ForBase(kHighestLettersBase + 1));
}

}  // namespace
}  // namespace quillory
