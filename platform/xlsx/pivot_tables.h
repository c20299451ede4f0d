#pragma once

#include <optional>
#include <string>

#include "platform/xlsx/cell_ref.h"

namespace quillory::xlsx {

// The cells a pivot table fills, as its definition part gives them.
struct PivotTableCells {
  std::string name;
  // Its location and, above it, the rows of its filter fields.
  RangeRef range;
};

// Nothing when the part is not a pivot table definition with a readable location.
std::optional<PivotTableCells> ReadPivotTableCells(const std::string& xml);

}  // namespace quillory::xlsx
