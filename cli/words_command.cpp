#include <algorithm>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"
#include "cli/language_options.h"
#include "engine/languages.h"
#include "engine/letters.h"
#include "engine/number_words.h"
#include "engine/text_buffer.h"
#include "engine/words.h"

namespace quillory::cli {
namespace {

// What one block of input produced, written at once: the words, then the messages about the
// lines left alone. Written early when it grows past kFlushSize, so the buffer stays in the
// processor's cache instead of growing to ten times the block.
struct FilterOutput {
  static constexpr std::size_t kFlushSize = 256 * 1024;

  TextBuffer out;
  std::string err;

  void WriteTo(CommandContext& context) {
    if (!out.empty()) context.out.write(out.data(), static_cast<std::streamsize>(out.size()));
    context.out.flush();
    if (!err.empty()) context.err.write(err.data(), static_cast<std::streamsize>(err.size()));
    out.clear();
    err.clear();
  }
};

// Calls convert(text, output) for each text, or for each line of the input when there are none.
// The input is taken in the blocks its stream buffer holds (standard input: one read() each),
// and each block's output is written before the next block is waited for, so a file goes
// through at the engine's speed and a terminal still answers line by line.
template <typename Convert>
void ForEachInput(const std::vector<std::string>& texts, CommandContext& context,
                  Convert&& convert) {
  FilterOutput output;
  if (!texts.empty()) {
    for (const std::string& text : texts) convert(text, output);
    output.WriteTo(context);
    return;
  }
  auto line_of = [](std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
  };
  std::streambuf& input = *context.env.in.rdbuf();
  std::vector<char> block;  // only grows, so that taking a block never clears memory first
  std::string unfinished;   // the start of a line that goes on in the next block
  while (input.sgetc() != std::char_traits<char>::eof()) {
    // A stream buffer without a get area says nothing is available; it is read a byte at a time.
    const std::streamsize available = std::max<std::streamsize>(input.in_avail(), 1);
    if (block.size() < static_cast<std::size_t>(available)) {
      block.resize(static_cast<std::size_t>(available));
    }
    std::string_view rest(block.data(),
                          static_cast<std::size_t>(input.sgetn(block.data(), available)));
    for (auto end = rest.find('\n'); end != std::string_view::npos; end = rest.find('\n')) {
      if (unfinished.empty()) {
        convert(line_of(rest.substr(0, end)), output);
      } else {
        unfinished.append(rest.substr(0, end));
        convert(line_of(unfinished), output);
        unfinished.clear();
      }
      rest.remove_prefix(end + 1);
      if (output.out.size() >= FilterOutput::kFlushSize) output.WriteTo(context);
    }
    unfinished.append(rest);
    output.WriteTo(context);
  }
  if (!unfinished.empty()) convert(line_of(unfinished), output);
  output.WriteTo(context);
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
  ForEachInput(options.texts, context, [&](std::string_view text, FilterOutput& output) {
    const WordSet& word_set = source.Words();
    const WordsOutcome outcome = options.currency ? AppendCurrencyWords(text, word_set, output.out)
                                                  : AppendNumberWords(text, word_set, output.out);
    output.out.push_back('\n');
    if (!outcome.converted()) {
      const std::string& language = source.CurrentLanguage();
      output.err.append(DescribeOutcome(text, outcome, IsBuiltInEnglish(language) ? "" : language))
          .push_back('\n');
    }
  });
  return 0;
}

struct LettersOptions {
  int base = 1;
  std::vector<std::string> texts;
};

int RunLetters(const LettersOptions& options, CommandContext& context) {
  std::optional<LetterTable> table;
  if (LettersBaseFits(options.base)) {
    table = LetterTable::ForBase(static_cast<std::int16_t>(options.base));
  }
  if (!table) {
    context.err << "quillory-cli letters: the base must lie between " << kLowestLettersBase
                << " and " << kHighestLettersBase << ": with base " << options.base
                << " some digit would become a character code outside 0-255\n";
    return 2;
  }
  ForEachInput(options.texts, context, [&](std::string_view text, FilterOutput& output) {
    table->Append(text, output.out);
    output.out.push_back('\n');
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
