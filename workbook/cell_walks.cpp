#include "workbook/cell_walks.h"

#include <algorithm>
#include <string_view>

#include "engine/letters.h"
#include "engine/number_words.h"
#include "engine/words.h"
#include "workbook/sheet_geometry.h"

namespace quillory::workbook {
namespace {

// How many non-empty cells pass between two progress reports.
constexpr std::int64_t kProgressEvery = 4096;
// How many rows of a sheet are fetched at a time.
constexpr std::int64_t kBandRows = 4096;

// Puts the text the cell should hold into `out`. Returns false when the cell is to stay as it is;
// `why` then says why ("does not appear to be a number"), unless there is nothing to tell.
bool ConvertText(std::string_view text, CellWalk& walk, std::string& out, std::string& why) {
  if (walk.kind == Kind::Letters) {
    if (!DigitsToLetters(text, walk.letters_base, out)) {
      throw WorkbookError(walk.workbook, "letters counted from " +
                                             std::to_string(walk.letters_base) +
                                             " run past the character set (the number for A must "
                                             "lie between -180 and 66)");
    }
    // A text without digits comes back as it was: writing it would only freeze a formula.
    return out != text;
  }
  const WordSet& words = walk.words.Words();
  const WordsOutcome outcome = walk.kind == Kind::Currency ? CurrencyToWords(text, words, out)
                                                           : NumberToWords(text, words, out);
  if (!outcome.converted()) {
    why = DescribeReason(outcome);
    return false;
  }
  return true;
}

void Note(CellWalk& walk, const std::string& sheet_name, std::int32_t row, std::int32_t column,
          std::string_view text, std::string message, std::string reason) {
  if (walk.messages.size() >= walk.max_messages) {
    ++walk.messages_left_out;
    return;
  }
  walk.messages.push_back({walk.workbook, sheet_name, CellName(row, column), std::move(message),
                           std::string(text), std::move(reason)});
}

void StopIfCancelled(const CellWalk& walk) {
  if (walk.cancel != nullptr && walk.cancel->load(std::memory_order_relaxed)) {
    throw RunCancelled();
  }
}

void ConvertOne(Worksheet& sheet, const std::string& sheet_name, std::int32_t row,
                std::int32_t column, std::string_view text, CellWalk& walk, std::string& out) {
  StopIfCancelled(walk);
  std::string why;
  if (!ConvertText(text, walk, out, why)) {
    if (!why.empty()) {
      std::string message(text);
      message += ' ';
      message += why;
      Note(walk, sheet_name, row, column, text, std::move(message), std::move(why));
    }
  } else {
    bool written = false;
    try {
      sheet.WriteString(row, column, out);
      written = true;
    } catch (const CellWriteRefused& refused) {
      Note(walk, sheet_name, row, column, text, refused.reason(), refused.reason());
    }
    if (written) {
      ++walk.cells_converted;
      if (walk.on_change) {
        walk.on_change({walk.workbook, sheet_name, CellName(row, column), std::string(text), out});
      }
    }
  }
  ++walk.cells_visited;
}

std::int64_t CellsIn(const Worksheet& sheet) {
  return std::int64_t{sheet.LastRow()} * sheet.LastColumn();
}

void ConvertRectangle(Worksheet& sheet, std::int32_t first_row, std::int32_t first_column,
                      std::int32_t last_row, std::int32_t last_column, CellWalk& walk) {
  const std::string sheet_name = sheet.Name();
  const std::int64_t columns = std::int64_t{last_column} - first_column + 1;
  const std::int64_t passed_before = walk.cells_passed;
  const auto report = [&](std::int64_t row, std::int64_t column) {
    const std::int64_t passed =
        passed_before + (row - first_row) * columns + (column - first_column + 1);
    if (passed == walk.cells_passed) return;
    walk.cells_passed = passed;
    if (walk.on_progress) walk.on_progress(walk.cells_passed, walk.cells_total);
  };
  std::string out;
  // Fetched in bands of rows, so that a large sheet's texts are never all held at once.
  for (std::int64_t band = first_row; band <= last_row; band += kBandRows) {
    StopIfCancelled(walk);
    const auto band_last =
        static_cast<std::int32_t>(std::min<std::int64_t>(band + kBandRows - 1, last_row));
    for (const CellText& cell : sheet.NonEmptyCells(static_cast<std::int32_t>(band), first_column,
                                                    band_last, last_column)) {
      ConvertOne(sheet, sheet_name, cell.row, cell.column, cell.text, walk, out);
      if (walk.cells_visited % kProgressEvery == 0) report(cell.row, cell.column);
    }
    report(band_last, last_column);
  }
}

void ConvertSheet(Worksheet& sheet, CellWalk& walk) {
  ConvertRectangle(sheet, 1, 1, sheet.LastRow(), sheet.LastColumn(), walk);
}

}  // namespace

void ConvertWorkbook(Workbook& workbook, CellWalk& walk) {
  const std::vector<Worksheet*> sheets = workbook.Worksheets();
  for (const Worksheet* sheet : sheets) walk.cells_total += CellsIn(*sheet);
  for (Worksheet* sheet : sheets) ConvertSheet(*sheet, walk);
}

void ConvertActiveSheet(Workbook& workbook, CellWalk& walk) {
  Worksheet& sheet = workbook.ActiveSheet();
  walk.cells_total += CellsIn(sheet);
  ConvertSheet(sheet, walk);
}

void ConvertBlock(const Block& block, CellWalk& walk) {
  if (block.sheet == nullptr) throw WorkbookError(walk.workbook, "the block has no worksheet");
  if (block.first_row < 1 || block.first_column < 1 || block.last_row < block.first_row ||
      block.last_column < block.first_column) {
    throw WorkbookError(walk.workbook, "the block " +
                                           CellName(block.first_row, block.first_column) + ":" +
                                           CellName(block.last_row, block.last_column) +
                                           " is not a range of cells");
  }
  // Widened so that blocks reaching the last row of a sheet cannot overflow.
  const std::int64_t rows = std::int64_t{block.last_row} - block.first_row + 1;
  const std::int64_t columns = std::int64_t{block.last_column} - block.first_column + 1;
  if (rows > kMaxBlockSpan || columns > kMaxBlockSpan) {
    throw WorkbookError(walk.workbook,
                        "the block has " + std::to_string(rows) + " rows and " +
                            std::to_string(columns) +
                            " columns; at most 32767 of each can be converted at once");
  }
  walk.cells_total += rows * columns;
  ConvertRectangle(*block.sheet, block.first_row, block.first_column, block.last_row,
                   block.last_column, walk);
}

void ConvertCell(Worksheet& sheet, std::int32_t row, std::int32_t column, CellWalk& walk) {
  const std::string text = sheet.Text(row, column);
  if (text.empty()) return;
  std::string out;
  ConvertOne(sheet, sheet.Name(), row, column, text, walk, out);
}

}  // namespace quillory::workbook
