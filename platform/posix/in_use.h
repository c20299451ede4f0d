#pragma once

#include <string>
#include <vector>

// Whether another program has workbooks open, found the Linux way: lock files beside them and
// the open descriptors listed under /proc. The run asks through RunServices::spreadsheet_in_use.
namespace quillory::posix {

// The workbooks of `paths` that another program has, or may have, open: a lock file stands
// beside one (LibreOffice's ".~lock.NAME#", an owner file "~$NAME"), or a process holds it open.
// Processes this program started itself (an office instance behind a backend) do not count.
std::vector<std::string> WorkbooksInUse(const std::vector<std::string>& paths);

// True when WorkbooksInUse finds any.
bool SpreadsheetInUse(const std::vector<std::string>& paths);

}  // namespace quillory::posix
