#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillory::xlsx {

inline constexpr std::int32_t kMaxRows = 1048576;
inline constexpr std::int32_t kMaxColumns = 16384;

struct CellRef {
  std::int32_t row = 0;
  std::int32_t column = 0;
  bool operator==(const CellRef&) const = default;
};

struct RangeRef {
  CellRef first;
  CellRef last;
  bool Contains(std::int32_t row, std::int32_t column) const {
    return row >= first.row && row <= last.row && column >= first.column && column <= last.column;
  }
  bool IsSingleCell() const { return first == last; }
};

// "A" -> 1, "XFD" -> 16384; nothing for other text.
std::optional<std::int32_t> ParseColumnName(std::string_view letters);
// 1 -> "A", 16384 -> "XFD".
std::string ColumnName(std::int32_t column);

// "B7" -> {7, 2}; "$B$7" too. Nothing for other text or a cell outside the sheet.
std::optional<CellRef> ParseCellRef(std::string_view text);
std::string CellName(std::int32_t row, std::int32_t column);
// "A1:C3" or a single cell "B2"; the corners are put in order.
std::optional<RangeRef> ParseRangeRef(std::string_view text);
std::string RangeName(const RangeRef& range);

// The formula `formula` as it reads when copied `rows` down and `columns` right: relative cell,
// column and row references move, absolute ($) parts stay; strings, sheet names, function names,
// defined names and structured references are left alone. A reference pushed off the sheet
// becomes #REF!.
std::string ShiftFormula(std::string_view formula, std::int32_t rows, std::int32_t columns);

}  // namespace quillory::xlsx
