#include "cli/language_options.h"

#include "engine/builtin_languages.h"
#include "engine/languages.h"
#include "engine/words.h"

namespace quillory::cli {

void ChooseLanguage(CommandContext& context, WordSource& words,
                    const std::optional<std::string>& language,
                    const std::optional<std::string>& unit, bool known_only) {
  SettingsStore& store = context.env.store;
  if (language) {
    if (known_only && !IsBuiltInEnglish(*language) && !LanguageExists(store, *language) &&
        !(context.env.speakers && ResolveBuiltIn(store, *language))) {
      throw CLI::ValidationError("--language", "no language named '" + *language + "'");
    }
    words.SetCurrentLanguage(*language);
  } else {
    LoadDefaultLanguage(store, words);
  }
  if (!unit) return;

  const BuiltInLanguage* built_in =
      context.env.speakers ? ResolveBuiltIn(store, words.CurrentLanguage()) : nullptr;
  if (!built_in) {
    throw CLI::ValidationError(
        "--unit",
        "only built-in languages take a currency code; English and stored languages "
        "use the unit words (quillory-cli settings set Dollar ...)");
  }
  std::string code = *unit;
  for (char& c : code) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  BuiltInSpeaker& speaker = context.env.speakers->Speaker(*built_in);
  if (!speaker.KnowsCurrency(code)) {
    std::string known;
    for (const std::string& currency : speaker.Currencies()) {
      known += known.empty() ? "" : ", ";
      known += currency;
    }
    throw CLI::ValidationError(
        "--unit", BuiltInDisplayName(*built_in) + " has no words for the currency '" + *unit + "'" +
                      (known.empty() ? "; it has none" : "; it has " + known));
  }
  words.SetCurrency(code);
}

}  // namespace quillory::cli
