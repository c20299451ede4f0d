#pragma once

#include <string>
#include <vector>

namespace quillory::workbook {

// True when a LibreOffice instance of this user is running, or when one of `paths` has an owner
// or lock file beside it ("~$name", ".~lock.name#"): another program may have it open.
bool SpreadsheetInUse(const std::vector<std::string>& paths);

}  // namespace quillory::workbook
