// Cell references and the formula reference shifter on arbitrary text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/xlsx/cell_ref.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillory::xlsx;
  if (size < 2) return 0;
  const int rows = static_cast<std::int8_t>(data[0]);
  const int columns = static_cast<std::int8_t>(data[1]);
  const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);

  if (const auto ref = ParseCellRef(text)) {
    if (ref->row < 1 || ref->row > kMaxRows || ref->column < 1 || ref->column > kMaxColumns) {
      std::abort();
    }
    if (ParseCellRef(CellName(ref->row, ref->column)) != ref) std::abort();
  }
  if (const auto range = ParseRangeRef(text)) {
    if (range->first.row > range->last.row || range->first.column > range->last.column) {
      std::abort();
    }
    if (ParseRangeRef(RangeName(*range))->first != range->first) std::abort();
  }
  const std::string shifted = ShiftFormula(text, rows, columns);
  // Shifting there and back gives the formula again unless a reference fell off the sheet.
  if (shifted.find("#REF!") == std::string::npos && text.find("#REF!") == std::string::npos) {
    const std::string back = ShiftFormula(shifted, -rows, -columns);
    if (ShiftFormula(back, rows, columns) != shifted) std::abort();
  }
  return 0;
}
