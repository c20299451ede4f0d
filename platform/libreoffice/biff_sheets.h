#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillory::libreoffice {

enum class SheetKind { Worksheet, MacroSheet, Chart, Module, Other };

struct SourceSheet {
  std::string name;  // UTF-8
  SheetKind kind = SheetKind::Worksheet;
};

struct SourceWorkbook {
  std::vector<SourceSheet> sheets;  // in workbook order
  int active = -1;                  // index into sheets, -1 when unknown
};

// The sheets of an Excel 97-2003 workbook (.xls, .xlt) as the file lists them, and the active one.
// LibreOffice turns chart sheets into ordinary sheets and opens hidden workbooks on their first
// sheet, so both are read from the file itself. No sheets when the bytes are not such a workbook
// or are encrypted.
SourceWorkbook ReadBiffSheets(std::string_view file);

// The sheets of an xlsx-family package, from its workbook part and relationships; the active
// sheet is left unknown (LibreOffice reads it right). No sheets when the file is not such a
// package.
SourceWorkbook ReadOoxmlSheets(const std::string& path);

}  // namespace quillory::libreoffice
