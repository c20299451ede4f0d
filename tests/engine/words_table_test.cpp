// Runs the golden tables of tests/engine/data: one row per case, named in the test output.
//
// Each row is: name <TAB> mode <TAB> text <TAB> expected. The mode is "number", "currency" or
// "letters BASE". The expected text is the result, or "=not a number", "=too large",
// "=no word STEM", "=fails" (letters). "\s" is a space, "\t" a tab, "\uXXXX" a character, "\\" a
// backslash. The file decides the words: capitals.tsv and holes.tsv use stored languages, the
// others the built-in English words.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/letters.h"
#include "engine/number_words.h"
#include "tests/engine/word_sets.h"

namespace quillory {
namespace {

struct TableRow {
  std::string file;
  int line = 0;
  std::string name;
  std::string mode;
  std::string text;
  std::string expected;
};

void PrintTo(const TableRow& row, std::ostream* os) {
  *os << row.file << ".tsv:" << row.line;
}

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string Unescape(const std::string& cell) {
  std::string text;
  for (std::size_t i = 0; i < cell.size(); ++i) {
    if (cell[i] != '\\' || i + 1 == cell.size()) {
      text += cell[i];
      continue;
    }
    const char kind = cell[++i];
    if (kind == 's') {
      text += ' ';
    } else if (kind == 't') {
      text += '\t';
    } else if (kind == 'u') {
      AppendUtf8(text, static_cast<unsigned>(std::stoul(cell.substr(i + 1, 4), nullptr, 16)));
      i += 4;
    } else {
      text += kind;
    }
  }
  return text;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> cells;
  std::size_t start = 0;
  for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
    cells.push_back(line.substr(start, tab - start));
  }
  cells.push_back(line.substr(start));
  return cells;
}

std::vector<TableRow> LoadRows() {
  std::vector<TableRow> rows;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(QUILLORY_ENGINE_DATA)) {
    if (entry.path().extension() == ".tsv") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const auto& path : files) {
    std::ifstream in(path);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      if (line.empty() || line[0] == '#') continue;
      const auto cells = SplitTabs(line);
      TableRow row;
      row.file = path.stem().string();
      row.line = number;
      if (cells.size() != 4) {
        row.name = "malformed_line_" + std::to_string(number);
      } else {
        row.name = cells[0];
        row.mode = cells[1];
        row.text = Unescape(cells[2]);
        row.expected = Unescape(cells[3]);
      }
      rows.push_back(row);
    }
  }
  return rows;
}

std::string Status(const WordsOutcome& outcome) {
  switch (outcome.status) {
    case WordsStatus::Converted:
      return "";
    case WordsStatus::NotANumber:
      return "=not a number";
    case WordsStatus::TooLarge:
      return "=too large";
    case WordsStatus::NoWord:
      return "=no word " + std::string(StemKey(outcome.missing));
    case WordsStatus::NotSaid:
      return "=not said: " + std::string(outcome.why);
  }
  return "=?";
}

const WordSet& WordsFor(const std::string& file) {
  if (file == "capitals") return CapitalsWordSet();
  if (file == "holes") return HolesWordSet();
  return EnglishWordSet();
}

class GoldenTable : public ::testing::TestWithParam<TableRow> {};

TEST_P(GoldenTable, Row) {
  const TableRow& row = GetParam();
  ASSERT_FALSE(row.mode.empty()) << row.file << ".tsv:" << row.line << " needs four columns";
  SCOPED_TRACE(row.file + ".tsv:" + std::to_string(row.line) + " [" + row.text + "]");
  std::string out = "left over from an earlier cell";
  if (row.mode == "number" || row.mode == "currency") {
    const WordSet& words = WordsFor(row.file);
    const WordsOutcome outcome = row.mode == "number" ? NumberToWords(row.text, words, out)
                                                      : CurrencyToWords(row.text, words, out);
    if (outcome.converted()) {
      EXPECT_EQ(out, row.expected);
    } else {
      EXPECT_EQ(Status(outcome), row.expected);
      EXPECT_EQ(out, row.text) << "a text that is not converted stays as it was";
    }
  } else if (row.mode.rfind("letters ", 0) == 0) {
    const auto base = static_cast<std::int16_t>(std::stoi(row.mode.substr(8)));
    if (DigitsToLetters(row.text, base, out)) {
      EXPECT_EQ(out, row.expected);
    } else {
      EXPECT_EQ("=fails", row.expected);
      EXPECT_EQ(out, row.text);
    }
  } else {
    FAIL() << "unknown mode " << row.mode;
  }
}

std::string RowName(const ::testing::TestParamInfo<TableRow>& info) {
  std::string name = info.param.file + "_" + info.param.name;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Words, GoldenTable, ::testing::ValuesIn(LoadRows()), RowName);

}  // namespace
}  // namespace quillory
