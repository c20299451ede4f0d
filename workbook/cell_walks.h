#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "workbook/conversion_run.h"
#include "workbook/spreadsheet.h"

namespace quillory {
class WordSource;
}

namespace quillory::workbook {

// The most cell messages one run keeps.
inline constexpr std::size_t kMaxCellMessages = 10000;

// Thrown by a walk that finds its cancel flag set, before the next cell.
class RunCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "the run was cancelled"; }
};

// The settings one workbook is converted with, and what the walks hand back. A cell whose text
// is not converted is left untouched and described in `messages`.
struct CellWalk {
  CellWalk(Kind kind, std::int16_t letters_base, WordSource& words, std::string workbook)
      : kind(kind), letters_base(letters_base), words(words), workbook(std::move(workbook)) {}

  Kind kind;
  std::int16_t letters_base;
  WordSource& words;
  std::string workbook;  // names the workbook in messages

  // Called with every cell written, its text before and after (a dry run lists them).
  std::function<void(const CellChange&)> on_change;
  // Called now and then with the cells of the walk's range passed so far and their total (the
  // used ranges of the sheets walked, or the block).
  std::function<void(std::int64_t cells, std::int64_t cells_total)> on_progress;
  // Checked before every cell; when it reads true the walk throws RunCancelled.
  const std::atomic<bool>* cancel = nullptr;

  std::vector<CellMessage> messages;
  // Messages past this many are only counted, so that a sheet full of labels cannot fill memory.
  std::size_t max_messages = kMaxCellMessages;
  std::int64_t messages_left_out = 0;
  std::int64_t cells_visited = 0;    // non-empty cells handled
  std::int64_t cells_converted = 0;  // cells written
  std::int64_t cells_total = 0;      // cells in the range of the walk
  std::int64_t cells_passed = 0;     // of those, the ones passed so far
};

// Every worksheet of the workbook, in workbook order, each from row 1 and column 1 to its last
// used row and column, row by row, left to right.
void ConvertWorkbook(Workbook& workbook, CellWalk& walk);

// The sheet that is active when the workbook opened; throws WorkbookError when it is not a
// worksheet.
void ConvertActiveSheet(Workbook& workbook, CellWalk& walk);

// The block on its worksheet. Throws WorkbookError, before any cell is written, for a block of
// more than 32,767 rows or columns, or one without a worksheet.
void ConvertBlock(const Block& block, CellWalk& walk);

// One cell; an empty one is passed over.
void ConvertCell(Worksheet& sheet, std::int32_t row, std::int32_t column, CellWalk& walk);

// The largest block, in rows and in columns, that ConvertBlock takes.
inline constexpr std::int32_t kMaxBlockSpan = 32767;

}  // namespace quillory::workbook
