#pragma once

#include <string>
#include <vector>

namespace quillory::workbook {

// The workbooks of `paths` that another program has, or may have, open: a lock file stands
// beside one (LibreOffice's ".~lock.NAME#", an owner file "~$NAME"), or a process holds it open.
// Processes this program started itself (an office instance behind a backend) do not count.
std::vector<std::string> WorkbooksInUse(const std::vector<std::string>& paths);

// True when WorkbooksInUse finds any.
bool SpreadsheetInUse(const std::vector<std::string>& paths);

}  // namespace quillory::workbook
