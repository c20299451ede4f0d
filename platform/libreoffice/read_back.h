#pragma once

// Checking a file LibreOffice saved against the workbook it was saved from: both are read into
// the same plain form, which is compared here, without LibreOffice.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "workbook/sheet_geometry.h"

namespace quillory::libreoffice {

// One non-empty cell as a saved file must give it back.
struct CellState {
  std::int32_t row = 0;     // 1-based
  std::int32_t column = 0;  // 1-based
  bool formula = false;
  std::string content;  // the formula of a formula cell, else the constant as LibreOffice edits it
  std::string shown;    // the displayed text
};

// A rectangle of cells, 1-based and inclusive.
struct CellArea {
  std::int32_t first_row = 0, first_column = 0, last_row = 0, last_column = 0;
  bool Contains(std::int32_t row, std::int32_t column) const {
    return row >= first_row && row <= last_row && column >= first_column && column <= last_column;
  }
};

struct SheetState {
  std::string name;
  std::vector<CellState> cells;        // row by row, left to right
  std::vector<CellArea> pivot_tables;  // where pivot tables put their output
};

// Cells whose content or (for cells without a formula) displayed text differ, in sheet order
// and then row by row: the first `most` described as "Data!A1: =CORREL(B1,C1) -> =(,,B1,C1)",
// and how many there are in all. A sheet missing or added counts as one change.
//
// The displayed text of a formula cell is left out: it is the result of the latest calculation,
// which a workbook's writes or a volatile function (NOW, RAND) legitimately change between the
// workbook and its saved copy; its formula is what the file keeps. For the same reason the cells
// of a pivot table (in either) are left out: they are refilled from its source data, which
// LibreOffice does when it opens an .xlsx.
struct ReadBackChanges {
  std::vector<std::string> first;
  std::size_t count = 0;
};
ReadBackChanges CompareReadBack(const std::vector<SheetState>& saved_from,
                                const std::vector<SheetState>& read_back, std::size_t most = 5);

// The failure reason for a saved copy that read back with `changes` (count > 0).
std::string DescribeReadBackChanges(const ReadBackChanges& changes);

using workbook::CellName;

}  // namespace quillory::libreoffice
