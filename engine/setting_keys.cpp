#include "engine/setting_keys.h"

namespace quillory {

std::string_view SettingDefault(std::string_view key) {
  for (const SettingKey& entry : kSettingKeys) {
    if (entry.key == key) return entry.fallback;
  }
  return {};
}

std::string WordKey(Stem stem, std::string_view language) {
  std::string key(StemKey(stem));
  key += language;
  return key;
}

}  // namespace quillory
