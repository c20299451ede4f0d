#pragma once

#include "engine/settings.h"

namespace quillory {

// The user's settings on QSettings: organisation "Orvanta", application "Quillory", group
// "Quillory". Any key round-trips exactly.
class QtSettingsStore final : public SettingsStore {
 public:
  QtSettingsStore();
  ~QtSettingsStore() override;

 protected:
  std::optional<std::string> Lookup(std::string_view key) const override;
  void Store(std::string_view key, std::string_view value) override;
};

}  // namespace quillory
