// The number-text reader and the words built on it: never crashes; a converted text is never
// empty and never starts or ends with a space; a text left alone comes back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/letters.h"
#include "engine/number_text.h"
#include "engine/number_words.h"
#include "engine/words.h"

namespace {

using namespace quillory;

WordSet MakeStoredWords() {
  WordSet words;
  words.english = false;
  for (Stem stem : AllStems()) words.stored[Index(stem)] = " w" + std::string(StemKey(stem)) + " ";
  words.stored[Index(Stem::Seven)] = "";
  words.unit = " ";
  words.subunit = "";
  return words;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckWords(std::string_view text, const WordsOutcome& outcome, const std::string& out) {
  if (outcome.converted()) {
    Check(!out.empty());
    Check(out.front() != ' ' && out.back() != ' ');
  } else {
    Check(out == text);
    Check(!DescribeOutcome(text, outcome).empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const WordSet stored = MakeStoredWords();
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  NumberText number;
  const NumberTextStatus status = ReadNumberText(text, number);
  Check(number.integer < kIntegerLimit && number.hundredths < 100);
  if (status != NumberTextStatus::Number) Check(number.integer == 0 && !number.has_fraction);

  std::string out = "reused";
  for (const WordSet* words : {&EnglishWordSet(), &stored}) {
    CheckWords(text, NumberToWords(text, *words, out), out);
    CheckWords(text, CurrencyToWords(text, *words, out), out);
  }
  Check(NumberToWords(text, EnglishWordSet(), out).status ==
        CurrencyToWords(text, EnglishWordSet(), out).status);

  const std::int16_t base =
      size > 0 ? static_cast<std::int16_t>(static_cast<std::int8_t>(data[0])) : 1;
  Check(DigitsToLetters(text, base, out) == LettersBaseFits(base));
  (void)LeadingNumberValue(text);
  (void)IsNumericAnswer(text);
  (void)LettersBaseFromAnswer(text);
  return 0;
}
