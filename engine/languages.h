#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/builtin_languages.h"
#include "engine/unicode.h"
#include "engine/words.h"

namespace quillory {

class SettingsStore;

inline constexpr std::string_view kForgotLanguageMessage = "You forgot to input language";
inline constexpr std::string_view kSeparatorInNameMessage =
    "A language name cannot contain \";\": it separates the names in the list of languages.";
inline constexpr std::string_view kNotTextNameMessage =
    "A language name must be text (UTF-8); this one holds bytes that are not.";

// The names of a "Languages" value: split at every ";" and keep every piece but the text after
// the last ";". "French;German;" gives French and German, "French;German" French alone.
std::vector<std::string> SplitLanguageList(std::string_view value);

// The stored languages, read by the rule above.
std::vector<std::string> ReadLanguages(const SettingsStore& store);

// True when some listed name equals `name` exactly (case counts, nothing trimmed).
bool LanguageExists(const SettingsStore& store, std::string_view name);

enum class AddLanguageResult {
  Added,
  EmptyName,
  AlreadyListed,
  HasSeparator,  // the name holds ";", which would make it two names
  NotText,       // the name is not valid UTF-8
  NotStored,     // the store could not be had; its WriteError() says why
};

// Appends `name` and ";" to the list, the name exactly as typed. An exactly empty name, a name
// holding ";" or bytes that are not UTF-8, and a name already listed write nothing. The list is
// read and written under the store's lock, so a name another process adds at the same time stays.
AddLanguageResult AddLanguage(SettingsStore& store, std::string_view name);

// The message for a refused name (kForgotLanguageMessage, ...); "" for the other results.
std::string_view AddLanguageMessage(AddLanguageResult result);

// Writes the list anew from `names`, each trimmed of leading and trailing spaces and followed
// by ";" ("" when none remain). Word keys are never removed.
void WriteLanguageList(SettingsStore& store, const std::vector<std::string>& names);

// Removes the listed entry at `index` and rewrites the list from the remaining entries, under
// the store's lock. Returns false when there is no such entry or the store could not be had.
bool DeleteLanguageAt(SettingsStore& store, std::size_t index);

// Removes the entry `name`: the one at `position` (where a window showed it) when the list still
// has it there, else the first of that name; then rewrites the list as above. The list is read
// again under the store's lock, so what another process added or deleted meanwhile stays so.
// Returns false when no entry is `name` or the store could not be had.
bool DeleteLanguage(SettingsStore& store, std::string_view name,
                    std::size_t position = static_cast<std::size_t>(-1));

// The word of `stem` in the stored language `language`; "" when never written.
std::string StoredWord(const SettingsStore& store, Stem stem, std::string_view language);
void WriteStoredWord(SettingsStore& store, Stem stem, std::string_view language,
                     std::string_view word);

// The stored "Default Language" ("" when absent).
std::string ReadDefaultLanguage(const SettingsStore& store);

// Makes the stored default the current language, as the program does at start-up and when the
// default language window opens.
void LoadDefaultLanguage(const SettingsStore& store, WordSource& words);

// Stores `name` as the default language and makes it current. A name that is empty after
// trimming spaces does nothing and returns false.
bool SetDefaultLanguage(SettingsStore& store, WordSource& words, std::string_view name);

// The built-in language that `language` names, unless it is English or a stored language of
// that name is listed (a stored language keeps its meaning). Null when it names none.
const BuiltInLanguage* ResolveBuiltIn(const SettingsStore& store, std::string_view language);

// One entry of the language lists, in the order they show: "English", the stored languages,
// then every built-in language whose display name no stored language has.
struct LanguageEntry {
  std::string name;                           // as listed and stored: "Français (fr)"
  const BuiltInLanguage* built_in = nullptr;  // null for English and stored languages
};
std::vector<LanguageEntry> ListLanguages(const SettingsStore& store);

// The currency of amounts in a built-in language: the stored "Currency", or the language's own
// when none is stored.
std::string ReadCurrency(const SettingsStore& store, const BuiltInLanguage& language);
void WriteCurrency(SettingsStore& store, std::string_view currency);

// Leading and trailing spaces removed (spaces only, as the list rules trim).
std::string_view TrimSpaces(std::string_view text);

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
using unicode::IsUtf8;

}  // namespace quillory
