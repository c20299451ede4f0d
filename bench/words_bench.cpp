// Numbers per second for the number and currency words over 1,000,000 displayed numbers
// (integers up to 10^12, half of them with two decimals), English and a stored language read
// through the real settings store, against ICU's rule-based spellout over the same values.
#include <benchmark/benchmark.h>
#include <unicode/locid.h>
#include <unicode/rbnf.h>
#include <unicode/unistr.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/number_words.h"
#include "engine/settings.h"
#include "engine/words.h"
#include "platform/qt/settings_store.h"

namespace quillory {
namespace {

constexpr std::size_t kInputCount = 1'000'000;
constexpr const char* kStoredLanguage = "Capitals";

struct Inputs {
  std::vector<std::string> texts;
  std::vector<double> values;  // the same numbers for ICU, read in advance
};

const Inputs& MixedInputs() {
  static const Inputs inputs = [] {
    Inputs made;
    made.texts.reserve(kInputCount);
    made.values.reserve(kInputCount);
    std::mt19937_64 random(20261206);
    std::uniform_int_distribution<long long> whole(0, 1'000'000'000'000);
    std::uniform_int_distribution<int> cents(0, 99);
    char text[32];
    for (std::size_t i = 0; i < kInputCount; ++i) {
      const long long n = whole(random);
      if (i % 2 == 0) {
        std::snprintf(text, sizeof text, "%lld", n);
        made.values.push_back(static_cast<double>(n));
      } else {
        const int c = cents(random);
        std::snprintf(text, sizeof text, "%lld.%02d", n, c);
        made.values.push_back(static_cast<double>(n) + c / 100.0);
      }
      made.texts.emplace_back(text);
    }
    return made;
  }();
  return inputs;
}

// The real store, kept in a folder of its own so the user's settings are never touched.
SettingsStore& BenchStore() {
  static const std::unique_ptr<SettingsStore> store = [] {
    const auto folder = std::filesystem::temp_directory_path() / "quillory-words-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    auto made = std::make_unique<QtSettingsStore>();
    for (Stem stem : AllStems()) {
      std::string word(EnglishWord(stem));
      for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      made->WriteSetting(std::string(StemKey(stem)) + kStoredLanguage, word);
    }
    return made;
  }();
  return *store;
}

template <typename Convert>
void RunEngine(benchmark::State& state, bool stored, Convert convert) {
  const Inputs& inputs = MixedInputs();
  WordSource source(BenchStore());
  source.SetCurrentLanguage(stored ? kStoredLanguage : "English");
  std::string out;
  std::size_t bytes = 0;
  std::size_t left_alone = 0;
  for (auto _ : state) {
    for (const std::string& text : inputs.texts) {
      // The words are asked for per number, as the cell walk does.
      const WordsOutcome outcome = convert(text, source.Words(), out);
      left_alone += outcome.converted() ? 0 : 1;
      bytes += out.size();
    }
  }
  benchmark::DoNotOptimize(bytes);
  if (left_alone != 0) state.SkipWithError("some numbers were not converted");
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * inputs.texts.size()));
}

WordsOutcome Number(std::string_view text, const WordSet& words, std::string& out) {
  return NumberToWords(text, words, out);
}
WordsOutcome Currency(std::string_view text, const WordSet& words, std::string& out) {
  return CurrencyToWords(text, words, out);
}

void BM_NumberEnglish(benchmark::State& state) {
  RunEngine(state, false, Number);
}
void BM_CurrencyEnglish(benchmark::State& state) {
  RunEngine(state, false, Currency);
}
void BM_NumberStored(benchmark::State& state) {
  RunEngine(state, true, Number);
}
void BM_CurrencyStored(benchmark::State& state) {
  RunEngine(state, true, Currency);
}

void BM_IcuSpellout(benchmark::State& state) {
  const Inputs& inputs = MixedInputs();
  UErrorCode status = U_ZERO_ERROR;
  icu::RuleBasedNumberFormat format(icu::URBNF_SPELLOUT, icu::Locale::getUS(), status);
  if (U_FAILURE(status)) {
    state.SkipWithError("ICU spellout is not available");
    return;
  }
  icu::UnicodeString words;
  std::size_t length = 0;
  for (auto _ : state) {
    for (double value : inputs.values) {
      words.remove();
      format.format(value, words);
      length += static_cast<std::size_t>(words.length());
    }
  }
  benchmark::DoNotOptimize(length);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * inputs.values.size()));
}

BENCHMARK(BM_IcuSpellout)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_NumberEnglish)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_CurrencyEnglish)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_NumberStored)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_CurrencyStored)->Unit(benchmark::kMillisecond)->MinTime(2);

// Prints the usual table, then the throughputs against each other.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto counter = run.counters.find("items_per_second");
      if (counter != run.counters.end()) rates_[run.benchmark_name()] = counter->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatios() const {
    auto rate = [&](const std::string& name) {
      for (const auto& [key, value] : rates_) {
        if (key.rfind(name, 0) == 0) return value;
      }
      return 0.0;
    };
    const double icu = rate("BM_IcuSpellout");
    const double number = rate("BM_NumberEnglish");
    const double currency = rate("BM_CurrencyEnglish");
    const double number_stored = rate("BM_NumberStored");
    const double currency_stored = rate("BM_CurrencyStored");
    if (icu <= 0 || number <= 0 || currency <= 0) return;
    std::printf(
        "\nnumbers per second: ICU spellout %.2f M; number words %.2f M (English), %.2f M "
        "(stored); currency words %.2f M (English), %.2f M (stored)\n",
        icu / 1e6, number / 1e6, number_stored / 1e6, currency / 1e6, currency_stored / 1e6);
    std::printf("English number words / ICU: %.1fx (target 10x)\n", number / icu);
    std::printf("English currency words / ICU: %.1fx (target 10x)\n", currency / icu);
    std::printf("stored / English: number %.2f, currency %.2f (target 0.33)\n",
                number_stored / number, currency_stored / currency);
  }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace
}  // namespace quillory

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  quillory::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
