#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "workbook/sheet_geometry.h"

namespace quillory::xlsx {

using workbook::CellName;
using workbook::CellRef;
using workbook::ColumnName;
using workbook::kMaxColumns;
using workbook::kMaxRows;
using workbook::ParseCellRef;
using workbook::ParseColumnName;
using workbook::ParseRangeRef;
using workbook::RangeName;
using workbook::RangeRef;

// The formula `formula` as it reads when copied `rows` down and `columns` right: relative cell,
// column and row references move, absolute ($) parts stay; strings, sheet names, function names,
// defined names and structured references are left alone. A reference pushed off the sheet
// becomes #REF!.
std::string ShiftFormula(std::string_view formula, std::int32_t rows, std::int32_t columns);

}  // namespace quillory::xlsx
