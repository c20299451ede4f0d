#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quillory::libreoffice {

// Reads the comma-separated text LibreOffice exports for one sheet ("save cell contents as
// shown", quote character '"', sheet starting at A1) and calls `cell` for every non-empty field
// with its 1-based row and column.
void ForEachCsvCell(std::string_view csv,
                    const std::function<void(int row, int column, std::string text)>& cell);

}  // namespace quillory::libreoffice
