#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Where cells are on a worksheet: the sheet's limits, column letters, and cell and range
// references ("B7", "$A$1:$C$9") as every layer reads and writes them.
namespace quillory::workbook {

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

// "A" -> 1, "XFD" -> 16384, either case; nothing for other text or a column past the sheet.
std::optional<std::int32_t> ParseColumnName(std::string_view letters);
// 1 -> "A", 27 -> "AA", 16384 -> "XFD".
std::string ColumnName(std::int32_t column);
// "12" -> 12; nothing for a leading zero, other text or a row past the sheet.
std::optional<std::int32_t> ParseRowNumber(std::string_view digits);

// "B7" -> {7, 2}; "$B$7" too. Nothing for other text (a row written with a leading zero among
// it) or a cell outside the sheet.
std::optional<CellRef> ParseCellRef(std::string_view text);
// (7, 2) -> "B7".
std::string CellName(std::int32_t row, std::int32_t column);
// "A1:C3" or a single cell "B2"; the corners are put in order.
std::optional<RangeRef> ParseRangeRef(std::string_view text);
// "A1:C3", or "B2" for a single cell.
std::string RangeName(const RangeRef& range);

}  // namespace quillory::workbook
