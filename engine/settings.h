#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace quillory {

// The per-user store of everything the program remembers between runs. Values are texts under
// keys; a key that was never written is absent, which is not the same as an empty value. There
// is no delete and no enumeration.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // Returns the stored text, also when it is empty; `fallback` when the key is absent.
  std::string ReadSetting(std::string_view key, std::string_view fallback) const;
  // A number default is returned as its decimal text.
  std::string ReadSetting(std::string_view key, long long fallback) const;
  std::string ReadSetting(std::string_view key, const char* fallback) const {
    return ReadSetting(key, std::string_view(fallback));
  }

  // True when the key exists, its value possibly empty.
  bool HasSetting(std::string_view key) const { return Lookup(key).has_value(); }

  // Stores `value` under `key`, replacing any earlier value; visible to every later read.
  void WriteSetting(std::string_view key, std::string_view value);

  // Empty while every write has reached the store; otherwise why one did not.
  virtual std::string WriteError() const { return {}; }

  // Runs `update`, which reads stored values and writes new ones from them, so that no other
  // process changes the store in between: its reads see every write any process made before.
  // Returns false without running it when the store cannot be had (WriteError() says why).
  // A store only this process uses has nothing to shut out.
  virtual bool RunExclusively(const std::function<void()>& update) {
    update();
    return true;
  }

  // Goes up with every write through this object, so that readers holding copies of stored
  // values can tell when to read them again.
  std::uint64_t Revision() const { return revision_.load(std::memory_order_acquire); }

 protected:
  virtual std::optional<std::string> Lookup(std::string_view key) const = 0;
  virtual void Store(std::string_view key, std::string_view value) = 0;

 private:
  std::atomic<std::uint64_t> revision_{0};
};

// A store held in memory, for tests and for runs that must not touch the user's settings.
class MemorySettings final : public SettingsStore {
 protected:
  std::optional<std::string> Lookup(std::string_view key) const override;
  void Store(std::string_view key, std::string_view value) override;

 private:
  std::map<std::string, std::string, std::less<>> values_;
};

}  // namespace quillory
