#pragma once

#include <cctype>
#include <string>

#include "engine/words.h"

namespace quillory {

// A stored language whose words are the English words in capitals: ONE, TWENTY, AND, NO...
inline WordSet MakeCapitalsWordSet() {
  WordSet words;
  words.english = false;
  for (Stem stem : AllStems()) {
    std::string word(EnglishWord(stem));
    for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    words.stored[Index(stem)] = word;
  }
  return words;
}

inline const WordSet& CapitalsWordSet() {
  static const WordSet words = MakeCapitalsWordSet();
  return words;
}

// The capitals with holes: "Seven_" emptied, "Trillion_" only a space, "Zero_" and "Minus_"
// never typed.
inline const WordSet& HolesWordSet() {
  static const WordSet words = [] {
    WordSet holes = MakeCapitalsWordSet();
    holes.stored[Index(Stem::Seven)] = "";
    holes.stored[Index(Stem::Trillion)] = " ";
    holes.stored[Index(Stem::Zero)] = "";
    holes.stored[Index(Stem::Minus)] = "";
    return holes;
  }();
  return words;
}

}  // namespace quillory
