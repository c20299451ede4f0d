#pragma once

#include <memory>

#include "engine/settings.h"

namespace quillory {

// The user's settings on QSettings: organisation "Orvanta", application "Quillory", every key in
// group "Quillory". Any key and any value round-trip exactly. Make one per process; it needs no
// QCoreApplication, and reads and writes may come from different threads.
class QtSettingsStore final : public SettingsStore {
 public:
  QtSettingsStore();
  ~QtSettingsStore() override;
  QtSettingsStore(const QtSettingsStore&) = delete;
  QtSettingsStore& operator=(const QtSettingsStore&) = delete;

  // The file the settings live in.
  std::string FilePath() const;

  std::string WriteError() const override;

 protected:
  std::optional<std::string> Lookup(std::string_view key) const override;
  void Store(std::string_view key, std::string_view value) override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace quillory
