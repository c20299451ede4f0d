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

// Runs, in processes of their own all started at once over TempConfigHome(), `rounds` language
// rounds for each prefix: the languages PREFIX1 to PREFIXn are added one by one, and each odd one
// is deleted once the next is in, so PREFIX2, PREFIX4, ... remain. Returns when all have ended.
void LanguageRoundsInOtherProcesses(const std::vector<std::string>& prefixes, int rounds);

}  // namespace test
}  // namespace quillory
