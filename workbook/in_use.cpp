#include "workbook/in_use.h"

namespace quillory::workbook {

bool SpreadsheetInUse(const std::vector<std::string>&) { return false; }

}  // namespace quillory::workbook
