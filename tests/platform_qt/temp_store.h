#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quillory {

class QtSettingsStore;

namespace test {

// The folder XDG_CONFIG_HOME points to for this test process.
const std::string& TempConfigHome();

// The one store of the test process, in TempConfigHome().
QtSettingsStore& TempStore();

// Reads `keys` in a separate process over the same folder: proves the values reached the file.
std::vector<std::optional<std::string>> ReadInOtherProcess(const std::vector<std::string>& keys);

// Writes one value in a separate process whose settings live under `config_home`; returns that
// store's WriteError() afterwards.
std::string WriteInOtherProcess(const std::string& config_home, const std::string& key,
                                const std::string& value);

}  // namespace test
}  // namespace quillory
