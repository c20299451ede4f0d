#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/language_options.h"
#include "engine/languages.h"
#include "engine/letters.h"
#include "engine/number_words.h"
#include "engine/words.h"

namespace quillory::cli {
namespace {

// Calls convert for each text, or for each line of the input stream when there are none.
template <typename Convert>
void ForEachInput(const std::vector<std::string>& texts, std::istream& in, Convert&& convert) {
  if (!texts.empty()) {
    for (const std::string& text : texts) convert(text);
    return;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    convert(line);
  }
}

struct WordsOptions {
  bool currency = false;
  std::optional<std::string> language;
  std::optional<std::string> unit;
  std::vector<std::string> texts;
};

int RunWords(const WordsOptions& options, CommandContext& context) {
  WordSource source(context.env.store, context.env.speakers);
  ChooseLanguage(context, source, options.language, options.unit, false);
  std::string words;
  ForEachInput(options.texts, context.env.in, [&](const std::string& text) {
    const WordSet& word_set = source.Words();
    const WordsOutcome outcome = options.currency ? CurrencyToWords(text, word_set, words)
                                                  : NumberToWords(text, word_set, words);
    context.out << words << '\n';
    if (!outcome.converted()) {
      const std::string& language = source.CurrentLanguage();
      context.err << DescribeOutcome(text, outcome, IsBuiltInEnglish(language) ? "" : language)
                  << '\n';
    }
  });
  return 0;
}

struct LettersOptions {
  int base = 1;
  std::vector<std::string> texts;
};

int RunLetters(const LettersOptions& options, CommandContext& context) {
  if (!LettersBaseFits(options.base)) {
    context.err << "quillory-cli letters: the base must lie between " << kLowestLettersBase
                << " and " << kHighestLettersBase << ": with base " << options.base
                << " some digit would become a character code outside 0-255\n";
    return 2;
  }
  std::string letters;
  ForEachInput(options.texts, context.env.in, [&](const std::string& text) {
    DigitsToLetters(text, static_cast<std::int16_t>(options.base), letters);
    context.out << letters << '\n';
  });
  return 0;
}

}  // namespace

void AddWordsCommands(CLI::App& app, CommandContext& context) {
  auto words_options = std::make_shared<WordsOptions>();
  CLI::App* words = app.add_subcommand(
      "words",
      "Writes each TEXT (or each line of standard input) in words, one line each; a text "
      "that is not converted is written back unchanged with a message on standard error");
  words->add_flag("--currency", words_options->currency,
                  "Write amounts with the unit words: Five Dollars and No Cents");
  words->add_option("--language", words_options->language,
                    "Use this language for the run: English, a stored language, or a built-in "
                    "one by code or name, fr or \"Français (fr)\" (default: the stored "
                    "\"Default Language\")");
  words->add_option("--unit", words_options->unit,
                    "With --currency in a built-in language: the currency by ISO 4217 code, EUR "
                    "(default: the stored \"Currency\", else the language's own)");
  words->add_option("TEXT", words_options->texts,
                    "Numbers as a spreadsheet displays them; put -- before them when one starts "
                    "with - (-$5.00)");
  words->callback(
      [&context, words_options] { context.exit_code = RunWords(*words_options, context); });

  auto letters_options = std::make_shared<LettersOptions>();
  CLI::App* letters = app.add_subcommand(
      "letters",
      "Replaces the digits of each TEXT (or each line of standard input) by letters "
      "counted from the number that stands for A");
  letters->add_option("--base", letters_options->base, "The number that corresponds with A")
      ->required();
  letters->add_option("TEXT", letters_options->texts,
                      "Texts whose digits become letters; put -- before them when one starts "
                      "with -");
  letters->callback(
      [&context, letters_options] { context.exit_code = RunLetters(*letters_options, context); });
}

}  // namespace quillory::cli
