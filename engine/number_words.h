#pragma once

#include <string>
#include <string_view>

#include "engine/text_buffer.h"
#include "engine/words.h"

namespace quillory {

enum class WordsStatus {
  Converted,   // `out` holds the words
  NotANumber,  // the text is not a number
  TooLarge,    // more integer digits than the words reach
  NoWord,      // the current stored language has no word for `missing`
  NotSaid,     // the built-in language does not say it; `why` tells why
};

struct WordsOutcome {
  WordsStatus status = WordsStatus::Converted;
  Stem missing = Stem::One;   // meaningful for NoWord only
  std::string_view why = {};  // meaningful for NotSaid only; lasts as long as the word set

  bool converted() const { return status == WordsStatus::Converted; }
};

// Spells the displayed text of a number: "1234.56" -> "One Thousand Two Hundred Thirty Four
// Point Fifty Six". On success `out` is replaced by the words; otherwise `out` is replaced by
// `text` unchanged and the outcome says why. `out` is a buffer the caller may reuse.
WordsOutcome NumberToWords(std::string_view text, const WordSet& words, std::string& out);

// Spells an amount with the unit words: "One Thousand Two Hundred Thirty Four Dollars and Fifty
// Six Cents". Same contract as NumberToWords.
WordsOutcome CurrencyToWords(std::string_view text, const WordSet& words, std::string& out);

// Append forms for runs over many texts: the words of `text`, or `text` unchanged when it is not
// converted, are added at the end of `out`; the outcome is as above.
WordsOutcome AppendNumberWords(std::string_view text, const WordSet& words, TextBuffer& out);
WordsOutcome AppendCurrencyWords(std::string_view text, const WordSet& words, TextBuffer& out);

// Convenience forms returning the text (the words, or `text` unchanged).
std::string NumberToWords(std::string_view text, const WordSet& words);
std::string CurrencyToWords(std::string_view text, const WordSet& words);

// What the user is told about a text that was not converted, e.g.
// "abc does not appear to be a number"; "" when it was converted. `language`, when given, names
// the stored language that lacks a word.
std::string DescribeOutcome(std::string_view text, const WordsOutcome& outcome,
                            std::string_view language = {});
// The same without the text: "does not appear to be a number".
std::string DescribeReason(const WordsOutcome& outcome, std::string_view language = {});

// The value of the number at the start of `text`: blanks anywhere are skipped, then an optional
// sign, digits, at most one "." and an optional exponent are read; 0 when there is no number.
double LeadingNumberValue(std::string_view text);

}  // namespace quillory
