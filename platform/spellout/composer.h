#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillory::spellout {

// One call of the library: `text` holds the input ("1234", "-5", "0,25", "EUR 71,01") and is
// replaced by its words. Returns false when the library has no words for it.
using LibraryCall = std::function<bool(std::string& text)>;

// Where the groups of a whole number start, as powers of ten from the right, for `integer` of
// `digits` digits: {0, 3, 6, 9, 12} for thousands, millions, ...; Indian numbering also has lakh
// and crore places. The places may depend on which digits are zero, never on their values.
using Places = std::vector<int> (*)(std::uint64_t integer, int digits);
std::vector<int> ThousandsPlaces(std::uint64_t integer, int digits);
std::vector<int> IndianPlaces(std::uint64_t integer, int digits);
// The long scale: thousands, then millions counted with up to six digits ("mil millones", "dos
// mil cinco millones"), then billions (10^12).
std::vector<int> LongScalePlaces(std::uint64_t integer, int digits);
// Dutch says the last four digits as hundreds when the thousands have one digit and the hundreds
// are not zero: 1345 "dertienhonderdvijfenveertig", 5,001,345 "vijf miljoen
// dertienhonderdvijfenveertig".
std::vector<int> DutchPlaces(std::uint64_t integer, int digits);

// How the library is asked for a language's words and how they are put together.
struct Grammar {
  Places places = ThousandsPlaces;
  char separator = ',';  // the decimal mark the language writes (Portuguese says "vírgula")
  // The words after the point agree with the last two digits before it (Lithuanian "vienas
  // sveikas ir ...", "du sveiki ir ..."), so they are asked with those digits.
  bool fraction_agrees = false;
  // The digit that stands for every digit that is not zero in the numbers the glues between
  // groups are learnt from: 1, or 2 where a group of 1 changes with its place (Afrikaans
  // "honderd miljard" but "eenhonderd miljoen" after a higher group).
  int glue_digit = 1;
};

// Gives the library's words for numbers and amounts, much faster than one library call each:
// a number's words are put together from the words the library gives for its groups, the glue
// between them and the words of its cents or decimals, each asked of the library once and kept.
//
// Which glue joins two groups is read from the number whose digits have the same zeros but are
// otherwise ones (for 2,005,300 from 1,001,100; twos in some languages), so rules such as "one
// thousand and six" against "one thousand, two hundred" keep working. A group below the first is
// asked in the context of a number of the same length (3 in 1,000,003, for the words the language
// uses after a higher group). In amounts every group but the last is asked in an amount ending in 2
// (for 201,005 from 201,002), so words that change with the currency's gender ("doscientas una mil
// libras") are the currency's. Where the whole part of a number changes before the point (Russian
// "одна целая", "две целых"), it is put together the same way from the library's words for "1234,",
// as an amount whose unit is the point. A group of more than three digits (the millions of the long
// scale) is said as its thousands and the rest. Wherever the pieces do not line up with the
// library's words for the whole, the whole is asked of the library instead; whether the pieces
// always give the library's words is checked against the library over large samples
// (bench/spellout_check), per language. Runs of spaces in the library's words (left where a rule's
// part is empty) are given as one.
//
// Not safe for use from two threads at once.
class Composer {
 public:
  // With `compose` false every number and amount is asked of the library whole: for languages
  // whose words the pieces do not give. Texts asked whole are kept (up to 65,536 of them), so a
  // text that comes again is not asked again.
  Composer(LibraryCall library, const Grammar& grammar, bool compose = true);

  // The words of a number below 10^15: `fraction` holds the digits after the point, without
  // trailing zeros (empty for a whole number). False when the library has no words for it.
  bool Number(bool negative, std::uint64_t integer, std::string_view fraction, std::string& out);

  // The words of an amount in `currency` (ISO 4217): whole units and cents (0-99). Where the
  // library leaves out the zero of an amount below one unit (" Euro und ein Cent"), the
  // language's word for zero is put in: "null Euro und ein Cent".
  bool Amount(std::string_view currency, bool negative, std::uint64_t integer, int cents,
              std::string& out);

  // The library's own words for `input`, outer spaces removed and runs of spaces made one.
  bool Library(std::string input, std::string& out);

  // How many times the library was called, for the benchmarks.
  std::uint64_t LibraryCalls() const { return calls_; }

 private:
  struct Term {
    int place;
    std::uint32_t value;
  };
  using Piece = std::optional<std::string>;  // nullopt: the library gives none that fits
  struct CurrencyPieces {
    std::unordered_map<std::uint64_t, Piece> round;   // words of value * 10^place, whole amount
    std::unordered_map<std::uint64_t, Piece> head;    // the first group's words before others
    std::unordered_map<std::uint64_t, Piece> middle;  // a group's words between others
    std::unordered_map<std::uint64_t, Piece> last;    // the last group's words, with the unit
    std::unordered_map<int, Piece> cents;             // " and one cent" after a whole amount
    std::unordered_map<int, Piece> only_cents;        // the amount 0.cc whole
    Piece minus;                                      // the words before a negative amount
    bool minus_read = false;
  };

  // Asks the library. With `from_start`, words that start with a space are refused too: the
  // part they should start with is missing (this libnumbertext's Lithuanian 100,5 is " ir
  // penkios dešimtosios", without the hundred).
  bool Raw(std::string input, std::string& out, bool from_start = false);
  bool NumberWords(bool negative, std::uint64_t integer, std::string_view fraction,
                   std::string& out);
  bool WholeText(std::string input, std::string& out, bool from_start);
  bool AmountWords(std::string_view currency, bool negative, std::uint64_t integer, int cents,
                   std::string& out);
  void PutZero(CurrencyPieces& pieces, std::string_view currency, bool negative, std::string& out);
  const Piece& CurrencyMinus(CurrencyPieces& pieces, std::string_view currency);
  const Piece& Round(const Term& term);
  const Piece& Context(int digits, const Term& term);
  const Piece& CurrencyHead(CurrencyPieces& pieces, std::string_view code, const Term& term);
  const Piece& CurrencyMiddle(CurrencyPieces& pieces, std::string_view code, int digits,
                              const Term& term);
  const Piece& CurrencyLast(CurrencyPieces& pieces, std::string_view code, int digits,
                            const Term& term);
  const Piece& CountTail(int place, std::uint32_t rest);
  const std::string* CountGlue(std::uint32_t rest);
  bool AppendCount(const Piece& with_one, int place, std::uint32_t rest, std::string& out);
  // The words of `term`, with `piece` giving the words of a term; a count ("two thousand") is
  // put together from the words of its thousand-and-one.
  template <typename PieceOf>
  bool AppendTerm(const Term& term, PieceOf&& piece, std::string& out);
  bool AppendFirst(const Term& term, CurrencyPieces* currency, std::string_view code,
                   std::string& out);
  bool AppendMiddle(int digits, const Term& term, CurrencyPieces* currency, std::string_view code,
                    std::string& out);
  const std::vector<std::string>* Glues(std::uint64_t canonical);
  bool Whole(std::uint64_t integer, CurrencyPieces* currency, std::string_view code,
             std::string& out);
  const Piece& Minus();
  const Piece& Fraction(std::uint64_t integer, std::string_view fraction, bool after_point_words);
  const Piece& OnlyFraction(std::string_view fraction);
  CurrencyPieces& Pieces(std::string_view currency);
  std::string AmountInput(std::string_view currency, bool negative, std::uint64_t integer,
                          int cents) const;

  std::vector<Term> Split(std::uint64_t integer, int& digits) const;

  LibraryCall library_;
  Grammar grammar_;
  bool compose_;
  std::unordered_map<std::string, Piece> wholes_;  // texts asked of the library whole
  std::uint64_t calls_ = 0;
  std::string buffer_;

  std::unordered_map<std::uint64_t, Piece> round_;
  std::unordered_map<std::uint64_t, Piece> context_;
  std::unordered_map<std::uint64_t, Piece> count_tails_;
  std::unordered_map<std::uint64_t, std::optional<std::vector<std::string>>> glues_;
  std::unordered_map<std::string, Piece> fractions_;
  std::unordered_map<std::string, Piece> only_fractions_;
  std::unordered_map<std::string, CurrencyPieces> currencies_;
  Piece minus_;
  bool minus_read_ = false;
};

}  // namespace quillory::spellout
