#include "engine/builtin_languages.h"

#include <array>

namespace quillory {
namespace {

// Each with its own name and the currency of the country most associated with it; languages
// whose data has no currency words have none.
constexpr std::array<BuiltInLanguage, 51> kLanguages = {{
    {"af", "Afrikaans", "ZAR"},
    {"bg", "Български", "BGN"},
    {"ca", "Català", "EUR"},
    {"cs", "Čeština", "CZK"},
    {"da", "Dansk", "DKK"},
    {"de", "Deutsch", "EUR"},
    {"de-CH", "Deutsch, Schweiz", "CHF"},
    {"el", "Ελληνικά", "EUR"},
    {"en-IN", "English, India", "INR"},
    {"eo", "Esperanto", "EUR"},
    {"es", "Español", "EUR"},
    {"et", "Eesti", "EUR"},
    {"fa", "فارسی", "IRR"},
    {"fi", "Suomi", "EUR"},
    {"fr", "Français", "EUR"},
    {"fr-BE", "Français, Belgique", "EUR"},
    {"fr-CH", "Français, Suisse", "CHF"},
    {"ga", "Gaeilge", "EUR"},
    {"gl", "Galego", "EUR"},
    {"he", "עברית", "ILS"},
    {"hr", "Hrvatski", "EUR"},
    {"hu", "Magyar", "HUF"},
    {"id", "Bahasa Indonesia", "IDR"},
    {"is", "Íslenska", "ISK"},
    {"it", "Italiano", "EUR"},
    {"ja", "日本語", "JPY"},
    {"ko", "한국어", "KRW"},
    {"lb", "Lëtzebuergesch", "EUR"},
    {"lg", "Luganda", ""},
    {"lt", "Lietuvių", "EUR"},
    {"lv", "Latviešu", "EUR"},
    {"mr", "मराठी", "INR"},
    {"ms", "Bahasa Melayu", "MYR"},
    {"mt", "Malti", ""},
    {"nl", "Nederlands", "EUR"},
    {"no", "Norsk", "NOK"},
    {"pl", "Polski", "PLN"},
    {"pt", "Português", "EUR"},
    {"pt-BR", "Português, Brasil", "BRL"},
    {"ro", "Română", "RON"},
    {"ru", "Русский", "RUB"},
    {"sh", "Srpskohrvatski", ""},
    {"sl", "Slovenščina", "EUR"},
    {"sq", "Shqip", "ALL"},
    {"sr", "Српски", ""},
    {"sv", "Svenska", "SEK"},
    {"th", "ไทย", "THB"},
    {"tr", "Türkçe", "TRY"},
    {"uk", "Українська", "UAH"},
    {"vi", "Tiếng Việt", ""},
    {"zh", "中文", "CNY"},
}};

char Folded(char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  return c == '_' ? '-' : c;
}

bool SameCode(std::string_view text, std::string_view code) {
  if (text.size() != code.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (Folded(text[i]) != Folded(code[i])) return false;
  }
  return true;
}

}  // namespace

std::span<const BuiltInLanguage> BuiltInLanguages() {
  return kLanguages;
}

std::string BuiltInDisplayName(const BuiltInLanguage& language) {
  std::string name(language.name);
  name += " (";
  name += language.code;
  name += ')';
  return name;
}

const BuiltInLanguage* FindBuiltInLanguage(std::string_view text) {
  for (const BuiltInLanguage& language : kLanguages) {
    if (SameCode(text, language.code)) return &language;
  }
  // "Français (fr)": the name, then the code in parentheses.
  if (text.size() < 4 || text.back() != ')') return nullptr;
  const std::size_t open = text.rfind(" (");
  if (open == std::string_view::npos) return nullptr;
  const std::string_view code = text.substr(open + 2, text.size() - open - 3);
  for (const BuiltInLanguage& language : kLanguages) {
    if (language.code == code && text.substr(0, open) == language.name) return &language;
  }
  return nullptr;
}

}  // namespace quillory
