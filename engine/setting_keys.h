#pragma once

#include <array>
#include <string>
#include <string_view>

#include "engine/words.h"

namespace quillory {

// Every key the program reads or writes, with the default a reader supplies. Other programs and
// older stores rely on these exact texts.
namespace keys {
// clang-format off
inline constexpr std::string_view kOption = "Option";                    // "1" number, "2" currency
inline constexpr std::string_view kType = "Type";                        // "1" workbook, "2" sheet, "3" block
inline constexpr std::string_view kBackupCheck = "BackupCheck";          // "True" / "False"
inline constexpr std::string_view kDollar = "Dollar";                    // whole-part unit word
inline constexpr std::string_view kCent = "Cent";                        // hundredths unit word
inline constexpr std::string_view kDollarPlural = "DollarPlural";        // its plural; absent: word + "s"
inline constexpr std::string_view kCentPlural = "CentPlural";            // its plural; absent: word + "s"
inline constexpr std::string_view kLanguages = "Languages";              // "French;German;"
inline constexpr std::string_view kDefaultLanguage = "Default Language";  // name or "English"
inline constexpr std::string_view kCurrency = "Currency";                // ISO 4217, built-in languages
// clang-format on
}  // namespace keys

struct SettingKey {
  std::string_view key;
  std::string_view fallback;
};

// The plurals have no default of their own: when absent, the unit word followed by "s" is said.
inline constexpr std::array<SettingKey, 10> kSettingKeys = {{
    {keys::kOption, "1"},
    {keys::kType, "1"},
    {keys::kBackupCheck, "True"},
    {keys::kDollar, "Dollar"},
    {keys::kCent, "Cent"},
    {keys::kDollarPlural, ""},
    {keys::kCentPlural, ""},
    {keys::kLanguages, ""},
    {keys::kDefaultLanguage, ""},
    {keys::kCurrency, ""},  // "": the language's own currency
}};

// The default of one of the keys above ("" for any other key).
std::string_view SettingDefault(std::string_view key);

// The key of one word of a stored language: the stem followed directly by the name, "Nine_French".
std::string WordKey(Stem stem, std::string_view language);

}  // namespace quillory
