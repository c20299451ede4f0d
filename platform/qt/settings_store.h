#pragma once

#include <memory>

#include "engine/settings.h"

namespace quillory {

// The user's settings on QSettings: organisation "Orvanta", application "Quillory", every key in
// group "Quillory". Any key and any value round-trip exactly. Make one per process; it needs no
// QCoreApplication, and reads and writes may come from different threads. A settings file with
// lines QSettings cannot parse is read as far as it can be but never written (WriteError() says
// so): rewriting it would drop those lines.
class QtSettingsStore final : public SettingsStore {
 public:
  QtSettingsStore();
  ~QtSettingsStore() override;
  QtSettingsStore(const QtSettingsStore&) = delete;
  QtSettingsStore& operator=(const QtSettingsStore&) = delete;

  // The file the settings live in.
  std::string FilePath() const;

  std::string WriteError() const override;
  // Under a lock file beside the settings file, after reading the file again: two processes
  // adding or deleting languages at once both keep their changes.
  bool RunExclusively(const std::function<void()>& update) override;

 protected:
  std::optional<std::string> Lookup(std::string_view key) const override;
  void Store(std::string_view key, std::string_view value) override;

 private:
  struct State;
  class UpdateLock;
  std::unique_ptr<State> state_;
};

}  // namespace quillory
