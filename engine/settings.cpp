#include "engine/settings.h"

namespace quillory {

std::string SettingsStore::ReadSetting(std::string_view key, std::string_view fallback) const {
  if (auto value = Lookup(key)) return std::move(*value);
  return std::string(fallback);
}

std::string SettingsStore::ReadSetting(std::string_view key, long long fallback) const {
  return ReadSetting(key, std::string_view(std::to_string(fallback)));
}

void SettingsStore::WriteSetting(std::string_view key, std::string_view value) {
  Store(key, value);
  revision_.fetch_add(1, std::memory_order_acq_rel);
}

std::optional<std::string> MemorySettings::Lookup(std::string_view key) const {
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void MemorySettings::Store(std::string_view key, std::string_view value) {
  values_.insert_or_assign(std::string(key), std::string(value));
}

}  // namespace quillory
