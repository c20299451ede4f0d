#include "engine/languages.h"

#include <algorithm>

#include "engine/setting_keys.h"
#include "engine/settings.h"

namespace quillory {

std::string_view TrimSpaces(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::vector<std::string> SplitLanguageList(std::string_view value) {
  std::vector<std::string> names;
  std::size_t start = 0;
  for (std::size_t semicolon; (semicolon = value.find(';', start)) != std::string_view::npos;
       start = semicolon + 1) {
    names.emplace_back(value.substr(start, semicolon - start));
  }
  return names;
}

std::vector<std::string> ReadLanguages(const SettingsStore& store) {
  return SplitLanguageList(store.ReadSetting(keys::kLanguages, SettingDefault(keys::kLanguages)));
}

bool LanguageExists(const SettingsStore& store, std::string_view name) {
  for (const std::string& listed : ReadLanguages(store)) {
    if (listed == name) return true;
  }
  return false;
}

AddLanguageResult AddLanguage(SettingsStore& store, std::string_view name) {
  if (name.empty()) return AddLanguageResult::EmptyName;
  if (name.find(';') != std::string_view::npos) return AddLanguageResult::HasSeparator;
  if (!IsUtf8(name)) return AddLanguageResult::NotText;
  AddLanguageResult result = AddLanguageResult::NotStored;
  store.RunExclusively([&] {
    if (LanguageExists(store, name)) {
      result = AddLanguageResult::AlreadyListed;
      return;
    }
    std::string list = store.ReadSetting(keys::kLanguages, SettingDefault(keys::kLanguages));
    list += name;
    list += ';';
    store.WriteSetting(keys::kLanguages, list);
    result = AddLanguageResult::Added;
  });
  return result;
}

std::string_view AddLanguageMessage(AddLanguageResult result) {
  switch (result) {
    case AddLanguageResult::EmptyName:
      return kForgotLanguageMessage;
    case AddLanguageResult::HasSeparator:
      return kSeparatorInNameMessage;
    case AddLanguageResult::NotText:
      return kNotTextNameMessage;
    default:
      return {};
  }
}

void WriteLanguageList(SettingsStore& store, const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) {
    list += TrimSpaces(name);
    list += ';';
  }
  store.WriteSetting(keys::kLanguages, list);
}

bool DeleteLanguageAt(SettingsStore& store, std::size_t index) {
  bool deleted = false;
  store.RunExclusively([&] {
    std::vector<std::string> names = ReadLanguages(store);
    if (index >= names.size()) return;
    names.erase(names.begin() + static_cast<std::ptrdiff_t>(index));
    WriteLanguageList(store, names);
    deleted = true;
  });
  return deleted;
}

bool DeleteLanguage(SettingsStore& store, std::string_view name, std::size_t position) {
  bool deleted = false;
  store.RunExclusively([&] {
    std::vector<std::string> names = ReadLanguages(store);
    auto found = position < names.size() && names[position] == name
                     ? names.begin() + static_cast<std::ptrdiff_t>(position)
                     : std::find(names.begin(), names.end(), name);
    if (found == names.end()) return;
    names.erase(found);
    WriteLanguageList(store, names);
    deleted = true;
  });
  return deleted;
}

std::string StoredWord(const SettingsStore& store, Stem stem, std::string_view language) {
  return store.ReadSetting(WordKey(stem, language), "");
}

void WriteStoredWord(SettingsStore& store, Stem stem, std::string_view language,
                     std::string_view word) {
  store.WriteSetting(WordKey(stem, language), word);
}

std::string ReadDefaultLanguage(const SettingsStore& store) {
  return store.ReadSetting(keys::kDefaultLanguage, SettingDefault(keys::kDefaultLanguage));
}

void LoadDefaultLanguage(const SettingsStore& store, WordSource& words) {
  words.SetCurrentLanguage(ReadDefaultLanguage(store));
}

bool SetDefaultLanguage(SettingsStore& store, WordSource& words, std::string_view name) {
  if (TrimSpaces(name).empty()) return false;
  store.WriteSetting(keys::kDefaultLanguage, name);
  words.SetCurrentLanguage(std::string(name));
  return true;
}

const BuiltInLanguage* ResolveBuiltIn(const SettingsStore& store, std::string_view language) {
  if (IsBuiltInEnglish(language)) return nullptr;
  const BuiltInLanguage* built_in = FindBuiltInLanguage(language);
  if (!built_in || LanguageExists(store, language)) return nullptr;
  return built_in;
}

std::vector<LanguageEntry> ListLanguages(const SettingsStore& store) {
  std::vector<LanguageEntry> entries;
  entries.push_back({"English", nullptr});
  const std::vector<std::string> stored = ReadLanguages(store);
  for (const std::string& name : stored) entries.push_back({name, nullptr});
  for (const BuiltInLanguage& language : BuiltInLanguages()) {
    std::string name = BuiltInDisplayName(language);
    if (std::find(stored.begin(), stored.end(), name) == stored.end()) {
      entries.push_back({std::move(name), &language});
    }
  }
  return entries;
}

std::string ReadCurrency(const SettingsStore& store, const BuiltInLanguage& language) {
  std::string currency = store.ReadSetting(keys::kCurrency, SettingDefault(keys::kCurrency));
  if (currency.empty()) currency = language.currency;
  return currency;
}

void WriteCurrency(SettingsStore& store, std::string_view currency) {
  store.WriteSetting(keys::kCurrency, currency);
}

}  // namespace quillory
