#include "platform/qt/settings_store.h"

namespace quillory {

QtSettingsStore::QtSettingsStore() = default;
QtSettingsStore::~QtSettingsStore() = default;

std::optional<std::string> QtSettingsStore::Lookup(std::string_view) const { return std::nullopt; }

void QtSettingsStore::Store(std::string_view, std::string_view) {}

}  // namespace quillory
