// Numbers per second for the built-in languages, number and currency words, each over 1,000,000
// distinct displayed numbers (whole numbers up to 10^12, half of them with two decimals), read
// and said as a conversion run does, from a cold start (nothing asked of the library before).
// Against, in the same run: libnumbertext asked for each number whole (what the words must
// equal), and ICU's rule-based spellout for the language's locale (numbers only; it has no
// currency words).
//   spellout_bench [CODE...]     (default fr de es it pt nl pl ru sv en-IN)
// A kind that would take longer than 30 seconds stops there and says over how many numbers its
// figure was measured. Only numbers said count towards a rate; the first 2,000 words of each kind
// are compared with the library's. Exits 1 when a number is left unchanged or said otherwise.
#include <unicode/locid.h>
#include <unicode/rbnf.h>
#include <unicode/unistr.h>
#include <Numbertext.hxx>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/builtin_languages.h"
#include "engine/number_words.h"
#include "engine/words.h"
#include "platform/spellout/numbertext_speakers.h"

namespace {

constexpr std::size_t kCount = 1'000'000;
constexpr double kMaxSeconds = 30;
constexpr std::size_t kLibraryCount = 2'000;
constexpr std::size_t kIcuCount = 200'000;

using Clock = std::chrono::steady_clock;

struct Inputs {
  std::vector<std::string> texts;
  // What the library is given for the whole: with the language's decimal mark, and for numbers
  // without the zeros that end the fraction, which the words leave out ("12.50" is "12,5").
  std::vector<std::string> library_numbers;
  std::vector<std::string> library_amounts;
  std::vector<double> values;
};

// Distinct: i -> (a * i + b) mod 10^12 is one to one, as a is prime to 10. The texts are as a
// cell shows them ("1234.56").
Inputs MakeInputs(char separator) {
  Inputs inputs;
  constexpr std::uint64_t kModulus = 1'000'000'000'000;
  constexpr std::uint64_t kStep = 48'271'000'007;
  char text[40];
  for (std::uint64_t i = 0; i < kCount; ++i) {
    const std::uint64_t n = (kStep * i + 987'654'321) % kModulus;
    if (i % 2 == 0) {
      std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(n));
      inputs.values.push_back(static_cast<double>(n));
    } else {
      const int cents = static_cast<int>(i / 2 % 100);
      std::snprintf(text, sizeof text, "%llu.%02d", static_cast<unsigned long long>(n), cents);
      inputs.values.push_back(static_cast<double>(n) + cents / 100.0);
    }
    inputs.texts.emplace_back(text);
    std::string amount = text;
    for (char& c : amount) c = c == '.' ? separator : c;
    std::string number = amount;
    if (number.find(separator) != std::string::npos) {
      while (number.back() == '0') number.pop_back();
      if (number.back() == separator) number.pop_back();
    }
    inputs.library_numbers.push_back(std::move(number));
    inputs.library_amounts.push_back(std::move(amount));
  }
  return inputs;
}

struct Rate {
  double per_second = 0;           // inputs said per second
  std::size_t count = 0;           // inputs tried
  std::size_t unsaid = 0;          // inputs left unchanged
  std::vector<std::string> words;  // the words of the first kCompared inputs
};

constexpr std::size_t kCompared = kLibraryCount;

// Only the inputs that were said count towards the rate.
Rate Engine(const Inputs& inputs, const quillory::WordSet& words, bool currency) {
  Rate rate;
  rate.words.reserve(kCompared);
  std::string out;
  const auto start = Clock::now();
  double seconds = 0;
  for (const std::string& text : inputs.texts) {
    const quillory::WordsOutcome outcome = currency ? quillory::CurrencyToWords(text, words, out)
                                                    : quillory::NumberToWords(text, words, out);
    if (!outcome.converted()) ++rate.unsaid;
    if (rate.words.size() < kCompared) rate.words.push_back(outcome.converted() ? out : "");
    if (++rate.count % 1024 == 0) {
      seconds = std::chrono::duration<double>(Clock::now() - start).count();
      if (seconds > kMaxSeconds) break;
    }
  }
  seconds = std::chrono::duration<double>(Clock::now() - start).count();
  rate.per_second = static_cast<double>(rate.count - rate.unsaid) / seconds;
  return rate;
}

Rate Library(const Inputs& inputs, const std::string& code, std::string_view currency) {
  Numbertext library;
  library.set_prefix(quillory::spellout::DefaultDataFolder() + "/");
  std::string warm = "1";
  library.numbertext(warm, code);  // loads the language's data
  Rate rate;
  rate.words.reserve(kLibraryCount);
  const auto start = Clock::now();
  for (std::size_t i = 0; i < kLibraryCount; ++i) {
    std::string text = currency.empty() ? inputs.library_numbers[i]
                                        : std::string(currency) + " " + inputs.library_amounts[i];
    if (library.numbertext(text, code)) {
      rate.words.push_back(std::move(text));
    } else {
      rate.words.emplace_back();
      ++rate.unsaid;
    }
    ++rate.count;
  }
  rate.per_second = static_cast<double>(rate.count - rate.unsaid) /
                    std::chrono::duration<double>(Clock::now() - start).count();
  return rate;
}

// How many of the first inputs were given other words than the library's for the whole; the
// first few are printed.
std::size_t Differences(const std::string& code, const char* kind, const Inputs& inputs,
                        const Rate& ours, const Rate& library) {
  // Outer spaces aside and runs of spaces made one, as the words are written.
  auto trimmed = [](std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    std::string words;
    for (const char c : text) {
      if (c != ' ' || words.back() != ' ') words += c;
    }
    return words;
  };
  std::size_t differ = 0;
  for (std::size_t i = 0; i < ours.words.size() && i < library.words.size(); ++i) {
    if (ours.words[i] == trimmed(library.words[i])) continue;
    if (differ++ < 3) {
      std::printf("       %s %s %s: library \"%s\", ours \"%s\"\n", code.c_str(), kind,
                  inputs.texts[i].c_str(), library.words[i].c_str(), ours.words[i].c_str());
    }
  }
  return differ;
}

Rate Icu(const Inputs& inputs, const std::string& code) {
  UErrorCode status = U_ZERO_ERROR;
  icu::RuleBasedNumberFormat format(icu::URBNF_SPELLOUT, icu::Locale::forLanguageTag(code, status),
                                    status);
  Rate rate;
  if (U_FAILURE(status)) return rate;
  icu::UnicodeString words;
  std::size_t length = 0;
  const auto start = Clock::now();
  for (std::size_t i = 0; i < kIcuCount; ++i) {
    words.remove();
    format.format(inputs.values[i], words);
    length += static_cast<std::size_t>(words.length());
    ++rate.count;
  }
  rate.per_second = rate.count / std::chrono::duration<double>(Clock::now() - start).count();
  return length != 0 ? rate : Rate{};
}

std::string Measured(const Rate& rate) {
  char text[64];
  if (rate.count == kCount || rate.count == 0) {
    std::snprintf(text, sizeof text, "%9.0f/s", rate.per_second);
  } else {
    std::snprintf(text, sizeof text, "%9.0f/s (%zu numbers)", rate.per_second, rate.count);
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> codes(argv + 1, argv + argc);
  if (codes.empty()) codes = {"fr", "de", "es", "it", "pt", "nl", "pl", "ru", "sv", "en-IN"};
  std::vector<std::string> below_target;
  bool wrong = false;
  std::printf("%-6s %-28s %-28s %-12s %-12s %-12s %-12s\n", "lang", "number words",
              "currency words", "library", "lib amounts", "ICU", "ratios");
  for (const std::string& code : codes) {
    const quillory::BuiltInLanguage* language = quillory::FindBuiltInLanguage(code);
    if (!language) {
      std::fprintf(stderr, "spellout_bench: no built-in language %s\n", code.c_str());
      return 2;
    }
    const bool amounts = !language->currency.empty();
    const Inputs inputs =
        MakeInputs(quillory::spellout::ProfileOf(language->code).grammar.separator);
    // A fresh speaker per kind: nothing asked of the library beforehand.
    quillory::spellout::NumbertextSpeakers number_speakers;
    quillory::spellout::NumbertextSpeakers amount_speakers;
    quillory::WordSet words;
    words.english = false;
    words.built_in = language;
    words.currency = language->currency;
    words.speaker = &number_speakers.Speaker(*language);
    const Rate number = Engine(inputs, words, false);
    words.speaker = &amount_speakers.Speaker(*language);
    const Rate amount = amounts ? Engine(inputs, words, true) : Rate{};
    const Rate library = Library(inputs, code, {});
    const Rate library_amounts = amounts ? Library(inputs, code, language->currency) : Rate{};
    const Rate icu = Icu(inputs, code);
    std::printf(
        "%-6s %-28s %-28s %9.0f/s  %9.0f/s  %9.0f/s  number %.0fx library, %.2fx ICU; "
        "currency %.0fx library\n",
        code.c_str(), Measured(number).c_str(), Measured(amount).c_str(), library.per_second,
        library_amounts.per_second, icu.per_second, number.per_second / library.per_second,
        icu.per_second > 0 ? number.per_second / icu.per_second : 0.0,
        library_amounts.per_second > 0 ? amount.per_second / library_amounts.per_second : 0.0);
    // Every input is a number the language says; one left unchanged, or said otherwise than
    // the library says it whole, makes the figures meaningless.
    const std::size_t number_differ = Differences(code, "number", inputs, number, library);
    const std::size_t amount_differ =
        amounts ? Differences(code, "amount", inputs, amount, library_amounts) : 0;
    if (number.unsaid + amount.unsaid + number_differ + amount_differ != 0) {
      std::printf(
          "       FAILED: left unchanged %zu numbers, %zu amounts; other words than the "
          "library's in %zu numbers, %zu amounts of the first %zu\n",
          number.unsaid, amount.unsaid, number_differ, amount_differ, kCompared);
      wrong = true;
    }
    if (number.per_second < 100'000 || (amounts && amount.per_second < 20'000)) {
      below_target.push_back(code);
    }
  }
  std::printf("\ntargets: number words 100,000/s, currency words 20,000/s: ");
  if (below_target.empty()) {
    std::printf("reached by every language above\n");
  } else {
    std::printf("not reached by");
    for (const std::string& code : below_target) std::printf(" %s", code.c_str());
    std::printf("\n");
  }
  if (wrong) std::printf("FAILED: some inputs were left unchanged or said otherwise\n");
  return wrong ? 1 : 0;
}
