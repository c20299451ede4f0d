// Checks, per built-in language, that the words put together from pieces are the words
// libnumbertext gives for the whole number or amount, over a large random sample: numbers of
// every length up to 15 digits, some with many zeros, negative ones, up to three decimals, and
// amounts with cents in the language's own currency, then a grid of group values that rules treat
// apart. Prints one line per language and kind;
// exits 1 when a language whose pieces are used gives other words than the library.
//   spellout_check [SAMPLES] [CODE[:CURRENCY]...]   (default 20000 samples, every language)
// A CODE:CURRENCY pair checks that language's amounts in that currency (es:GBP); CODE:* in every
// currency the language has words for.
#include <Numbertext.hxx>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/builtin_languages.h"
#include "platform/spellout/composer.h"
#include "platform/spellout/numbertext_speakers.h"

namespace {

using quillory::spellout::Composer;

struct Sample {
  bool negative;
  std::uint64_t integer;
  std::string fraction;
  int cents;
};

std::vector<Sample> Samples(std::size_t count) {
  std::mt19937_64 random(20261206);
  std::vector<Sample> samples;
  for (std::size_t i = 0; i < count; ++i) {
    const int digits = 1 + static_cast<int>(random() % 15);
    std::uint64_t limit = 1;
    for (int d = 0; d < digits; ++d) limit *= 10;
    std::string text = std::to_string(random() % limit);
    if (random() % 4 == 0) {
      for (char& c : text) {
        if (random() % 3 == 0) c = '0';
      }
    }
    Sample sample{random() % 8 == 0, std::stoull(text), "", 0};
    if (random() % 3 == 0) {
      const int places = 1 + static_cast<int>(random() % 3);
      for (int p = 0; p < places; ++p) sample.fraction += static_cast<char>('0' + random() % 10);
      while (!sample.fraction.empty() && sample.fraction.back() == '0') sample.fraction.pop_back();
    }
    if (random() % 2 == 0) sample.cents = static_cast<int>(random() % 100);
    // A negative zero is shown as 0 and said as zero.
    if (sample.integer == 0 && sample.fraction.empty()) sample.negative = false;
    samples.push_back(sample);
  }
  return samples;
}

// Every combination of group values that rules treat apart (one, two, teens, round tens, one
// after a ten, hundreds with and without one) in four groups, below a top group of 0, 1 or 2
// trillions: rare in random numbers, such as one million alone between billions and units.
std::vector<Sample> Grid() {
  constexpr std::uint64_t kValues[] = {0, 1, 2, 11, 20, 21, 100, 101, 999};
  std::vector<Sample> samples;
  std::size_t i = 0;
  for (std::uint64_t a : kValues) {
    for (std::uint64_t b : kValues) {
      for (std::uint64_t c : kValues) {
        for (std::uint64_t d : kValues) {
          const std::uint64_t integer =
              (((i % 3) * 1000 + a) * 1'000'000'000) + b * 1'000'000 + c * 1000 + d;
          Sample sample{integer != 0 && i % 7 == 0, integer, "",
                        static_cast<int>(kValues[i % 9] % 100)};
          if (i % 3 == 1) sample.fraction = i % 2 ? "5" : "25";
          samples.push_back(sample);
          ++i;
        }
      }
    }
  }
  return samples;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t count = 20000;
  std::vector<std::string> codes;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i == 1 && !arg.empty() && arg[0] >= '0' && arg[0] <= '9') {
      count = std::stoul(arg);
    } else {
      codes.push_back(arg);
    }
  }
  if (codes.empty()) {
    for (const auto& language : quillory::BuiltInLanguages()) codes.emplace_back(language.code);
  }
  std::vector<Sample> samples = Samples(count);
  const std::vector<Sample> grid = Grid();
  samples.insert(samples.end(), grid.begin(), grid.end());
  Numbertext library;
  library.set_prefix(quillory::spellout::DefaultDataFolder() + "/");
  bool failed = false;

  quillory::spellout::NumbertextSpeakers speakers;
  for (const std::string& argument : codes) {
    const std::string code = argument.substr(0, argument.find(':'));
    const quillory::BuiltInLanguage* language = quillory::FindBuiltInLanguage(code);
    if (!language) {
      std::fprintf(stderr, "spellout_check: no built-in language %s\n", code.c_str());
      return 2;
    }
    std::vector<std::string> currencies;
    if (argument.find(':') == std::string::npos) {
      if (!language->currency.empty()) currencies.emplace_back(language->currency);
    } else if (argument.substr(code.size() + 1) == "*") {
      currencies = speakers.Speaker(*language).Currencies();
    } else {
      currencies.push_back(argument.substr(code.size() + 1));
    }
    const auto profile = quillory::spellout::ProfileOf(language->code);
    auto call = [&](std::string& text) { return library.numbertext(text, code); };
    // The numbers first (unless only amounts were asked for), then the amounts per currency.
    std::vector<std::string> kinds;
    if (argument.find(':') == std::string::npos) kinds.emplace_back();
    kinds.insert(kinds.end(), currencies.begin(), currencies.end());
    for (const std::string& currency : kinds) {
      const bool amounts = !currency.empty();
      Composer pieces(call, profile.grammar, true);
      Composer whole(call, profile.grammar, false);
      std::size_t differ = 0;
      std::size_t unsaid = 0;
      std::string from_pieces;
      std::string from_whole;
      const auto start = std::chrono::steady_clock::now();
      for (const Sample& sample : samples) {
        bool said_pieces;
        bool said_whole;
        if (amounts) {
          said_pieces =
              pieces.Amount(currency, sample.negative, sample.integer, sample.cents, from_pieces);
          said_whole =
              whole.Amount(currency, sample.negative, sample.integer, sample.cents, from_whole);
        } else {
          said_pieces =
              pieces.Number(sample.negative, sample.integer, sample.fraction, from_pieces);
          said_whole = whole.Number(sample.negative, sample.integer, sample.fraction, from_whole);
        }
        if (!said_whole) {
          ++unsaid;
          from_whole = "(none)";
        }
        if (!said_pieces) from_pieces = "(none)";
        if (said_pieces != said_whole || (said_whole && from_pieces != from_whole)) {
          if (differ++ < 3) {
            std::printf("  %s %s%s%llu%s%s: library \"%s\", pieces \"%s\"\n", code.c_str(),
                        currency.c_str(), sample.negative ? " -" : " ",
                        static_cast<unsigned long long>(sample.integer), amounts ? "," : ".",
                        amounts ? std::to_string(100 + sample.cents).substr(1).c_str()
                                : sample.fraction.c_str(),
                        from_whole.c_str(), from_pieces.c_str());
          }
        }
      }
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const bool used = amounts ? profile.compose_amounts : profile.compose_numbers;
      // How often the pieces asked the library against once per sample: how much the
      // pieces are worth for this language.
      std::printf(
          "%-6s %-8s %s: %zu of %zu differ, %zu without words; pieces asked the library %llu "
          "times (%.1f s)%s\n",
          code.c_str(), amounts ? currency.c_str() : "numbers",
          used ? "pieces used" : "asked whole", differ, samples.size(), unsaid,
          static_cast<unsigned long long>(pieces.LibraryCalls()), seconds,
          used && differ != 0 ? "  <-- pieces give other words" : "");
      if (used && differ != 0) failed = true;
    }
  }
  return failed ? 1 : 0;
}
