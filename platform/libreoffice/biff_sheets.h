#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillory::libreoffice {

enum class SheetKind { Worksheet, MacroSheet, Chart, Module, Other };

struct SourceSheet {
  std::string name;  // UTF-8
  SheetKind kind = SheetKind::Worksheet;
  // Formula cells whose result the file keeps as TRUE or FALSE, (row, column) 1-based, in order.
  // LibreOffice reads them as the numbers 1 and 0.
  std::vector<std::pair<std::int32_t, std::int32_t>> booleans;
};

struct SourceWorkbook {
  std::vector<SourceSheet> sheets;  // in workbook order
  int active = -1;                  // index into sheets, -1 when unknown
  bool excel95 = false;             // an Excel 5.0/95 workbook (BIFF5)
};

// The sheets of an Excel 97-2003 or Excel 5.0/95 workbook (.xls, .xlt) as the file lists them, the
// active one, and the cells showing a boolean formula result. LibreOffice turns chart sheets into
// ordinary sheets and opens hidden workbooks on their first sheet, so these are read from the file
// itself. No sheets when the bytes are not such a workbook or are encrypted.
SourceWorkbook ReadBiffSheets(std::string_view file);

// The sheets of an xlsx-family package, from its workbook part and relationships; the active
// sheet is left unknown (LibreOffice reads it right). No sheets when the file is not such a
// package.
SourceWorkbook ReadOoxmlSheets(const std::string& path);

}  // namespace quillory::libreoffice
