#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/xlsx/cell_ref.h"
#include "platform/xlsx/styles.h"
#include "platform/xlsx/xml_scan.h"

namespace quillory::xlsx {

class SharedStrings;
class Styles;

// A worksheet part, kept as its XML text with an index of the rows and cells of sheetData.
// Writes are recorded beside the text; Serialize() splices them in, so everything else in the
// part (unknown elements, attributes, namespaces, extension lists) is carried over unchanged.
class WorksheetPart {
 public:
  enum class CellType : std::uint8_t {
    Number,
    SharedString,
    InlineString,
    FormulaString,
    Boolean,
    Error,
    Date
  };
  enum class FormulaKind : std::uint8_t {
    None,
    Plain,
    SharedMaster,
    SharedMember,
    Array,
    DataTable
  };

  struct Cell {
    std::uint32_t begin = 0;  // span of the c element in the text
    std::uint32_t end = 0;
    std::uint32_t value_begin = 0;  // span of the v content
    std::uint32_t value_size = 0;
    std::int32_t column = 0;
    std::uint32_t style = 0;
    std::int32_t edit = -1;  // index of the string written into it, if any
    CellType type = CellType::Number;
    FormulaKind formula = FormulaKind::None;
    bool has_ref = true;
    bool has_value = false;
  };

  // What a write did to the workbook, beyond the cell itself.
  enum class WriteResult { Written, FormulaRemoved };

  // Throws WorkbookError naming `file` and the part when the XML is malformed, TooManyCells when
  // it holds more than `most_cells` cells. Sheets from `parallel_from` bytes up are read with two
  // threads.
  WorksheetPart(std::string xml, std::string file, std::string part, std::string sheet_name,
                std::size_t parallel_from = kParallelScanBytes,
                std::size_t most_cells = static_cast<std::size_t>(-1));
  static constexpr std::size_t kParallelScanBytes = std::size_t{8} << 20;

  // A sheet with more cells than it may index: 32 bytes each, from as little as four of text.
  struct TooManyCells {
    std::size_t most;
  };

  // The memory its index of rows and cells takes.
  std::size_t IndexBytes() const {
    return cells_.capacity() * sizeof(Cell) + rows_.capacity() * sizeof(Row);
  }

  std::int32_t LastRow() const { return last_row_; }
  // True when the sheet is protected: its locked cells cannot be written.
  bool protected_sheet() const { return protected_; }
  // The style of a cell (0 for one the sheet does not have).
  std::uint32_t StyleAt(std::int32_t row, std::int32_t column) const {
    const Cell* cell = Find(row, column);
    return cell ? cell->style : 0;
  }
  std::int32_t LastColumn() const { return last_column_; }

  // How many cells rows `first_row` to `last_row` hold (empty or not).
  std::size_t CellCount(std::int32_t first_row, std::int32_t last_row) const;
  std::string Text(std::int32_t row, std::int32_t column, const SharedStrings& strings,
                   const Styles& styles) const;
  // Calls `visit(row, column, text)` for every cell of the rectangle with a non-empty text,
  // row by row, left to right.
  template <typename Visit>
  void ForEachText(std::int32_t first_row, std::int32_t first_column, std::int32_t last_row,
                   std::int32_t last_column, const SharedStrings& strings, const Styles& styles,
                   Visit&& visit) const;

  // Throws CellWriteRefused for a cell of a multi-cell array formula or a data table.
  WriteResult WriteString(std::int32_t row, std::int32_t column, std::string_view value);

  bool changed() const { return changed_; }
  // The part's text with every write applied.
  std::string Serialize() const;
  // About how many bytes Serialize() returns.
  std::size_t SerializedSizeHint() const;
  // Serialize() cut at rows into pieces of about `piece_bytes`: the first row of each piece, the
  // first piece starting at 0. AppendPiece(starts, i, out) appends piece i; the pieces in order
  // are Serialize(), and they can be made on several threads at once.
  std::vector<std::size_t> PieceStarts(std::size_t piece_bytes) const;
  void AppendPiece(const std::vector<std::size_t>& starts, std::size_t index,
                   std::string* out) const;

 private:
  struct Row {
    std::int32_t row = 0;
    std::uint32_t begin = 0;  // span of the row element
    std::uint32_t end = 0;
    std::uint32_t tag_end = 0;  // end of its start tag
    std::uint32_t first_cell = 0;
    std::uint32_t cell_count = 0;
    bool has_ref = true;
    bool empty_tag = false;
    bool cells_have_refs = true;
  };
  struct Edit {
    std::uint32_t offset = 0;  // into written_
    std::uint32_t size = 0;
  };
  struct SharedGroup {
    std::int64_t master = -1;            // cell index
    std::vector<std::uint32_t> members;  // row by row
    std::size_t next = 0;                // members before it hold the group's formula no more
    RangeRef bounds{{kMaxRows, kMaxColumns}, {0, 0}};  // of all members
  };
  struct NewMaster {
    std::string formula;
    RangeRef range;
  };
  struct BlockedRange {
    RangeRef range;
    bool data_table = false;
  };
  // A cell a write created where the sheet had none.
  struct AddedCell {
    std::int32_t edit = -1;
  };

  // The rows and cells read from one stretch of sheetData.
  struct RowScan {
    std::vector<Row> rows;
    std::vector<Cell> cells;
    std::vector<BlockedRange> blocked;
    std::int32_t first_row = kMaxRows;
    std::int32_t first_column = kMaxColumns;
    std::int32_t last_row = 0;
    std::int32_t last_column = 0;
    std::int32_t next_row = 1;  // number of a following row without one of its own
    bool in_order = true;
    bool needs_previous_row = false;  // stopped at a first row without a number
    std::size_t end = 0;              // where reading stopped
    std::size_t close_begin = 0;      // the sheetData end tag, when reached
    std::size_t close_end = 0;
  };

  void Scan();
  void ScanSheetData(const xml::Token& start);
  void ScanRows(std::size_t from, std::size_t stop_at, std::string_view sheet_data_name,
                std::int32_t next_row, RowScan* out) const;
  void AdoptRows(RowScan&& scan);
  bool ReadPlainValue(const xml::Token& start, Cell* cell, std::size_t* end) const;
  [[noreturn]] void Malformed(std::size_t offset, std::string_view what) const;
  [[noreturn]] void Twice(const std::string& what) const;
  const Cell* Find(std::int32_t row, std::int32_t column, std::size_t* index = nullptr) const;
  // Find() for WriteString(), quicker for writes row by row.
  const Cell* FindForWrite(std::int32_t row, std::int32_t column, std::size_t* index);
  std::string CellText(const Cell& cell, const SharedStrings& strings, const Styles& styles) const;
  std::string_view Written(std::int32_t edit) const {
    return std::string_view(written_).substr(edits_[edit].offset, edits_[edit].size);
  }
  std::int32_t AddEdit(std::string_view value);
  std::int32_t RowOfCell(std::size_t index) const;
  void IndexSharedFormulas();
  std::string FormulaOf(std::size_t index) const;
  void HandOffSharedFormula(std::size_t master);

  // What comes before the first row, up to the end of the sheetData start tag; returns where
  // that ends in the text.
  std::size_t AppendHead(std::string* out) const;
  void AppendTail(std::string* out) const;
  void AppendRows(std::size_t first, std::size_t last, std::size_t copied, std::size_t copy_until,
                  std::string* out) const;
  void AppendRow(const Row& row, std::string* out) const;
  void AppendAddedRow(std::int32_t row, std::string_view prefix, std::string* out) const;
  void AppendCell(const Cell& cell, std::int32_t row, std::size_t index, std::string* out) const;
  void AppendNewCell(std::int32_t row, std::int32_t column, std::int32_t edit,
                     std::string_view prefix, std::string* out) const;
  void AppendStringContent(std::string_view value, std::string_view prefix, std::string* out) const;

  std::string xml_;
  std::size_t parallel_from_;
  std::size_t most_cells_;
  std::string file_;
  std::string part_;
  std::string sheet_name_;
  std::vector<Row> rows_;
  std::vector<Cell> cells_;
  std::uint32_t sheet_data_begin_ = 0;  // span of the sheetData element
  std::uint32_t sheet_data_end_ = 0;
  std::uint32_t sheet_data_content_ = 0;  // end of its start tag
  std::uint32_t sheet_data_close_ = 0;    // start of its end tag
  bool sheet_data_empty_tag_ = false;
  bool rows_in_order_ = true;
  std::string prefix_;  // namespace prefix of sheetData ("x:" or "")
  std::int32_t first_row_ = kMaxRows;
  std::int32_t first_column_ = kMaxColumns;
  std::int32_t last_row_ = 0;
  std::int32_t last_column_ = 0;
  std::uint32_t dimension_begin_ = 0;  // span of the dimension element, if any
  std::uint32_t dimension_end_ = 0;

  std::vector<BlockedRange> blocked_;                     // by first row
  std::int32_t blocked_tallest_ = 0;                      // rows below the first of the tallest
  std::unordered_map<std::int64_t, SharedGroup> shared_;  // by si
  std::unordered_map<std::uint32_t, std::int64_t> group_of_master_;   // cell index -> si
  std::unordered_map<std::uint32_t, NewMaster> new_masters_;          // by cell index
  std::map<std::pair<std::int32_t, std::int32_t>, AddedCell> added_;  // by (row, column)
  std::string written_;
  std::vector<Edit> edits_;
  bool changed_ = false;
  bool protected_ = false;
  std::size_t last_write_row_ = 0;  // index into rows_ of the row last written
};

template <typename Visit>
void WorksheetPart::ForEachText(std::int32_t first_row, std::int32_t first_column,
                                std::int32_t last_row, std::int32_t last_column,
                                const SharedStrings& strings, const Styles& styles,
                                Visit&& visit) const {
  auto row_it = std::lower_bound(rows_.begin(), rows_.end(), first_row,
                                 [](const Row& r, std::int32_t value) { return r.row < value; });
  auto added_it = added_.lower_bound({first_row, 0});
  auto emit_added = [&](std::int32_t row, std::int32_t before_column) {
    // Added cells of `row` left of `before_column`.
    while (added_it != added_.end() && added_it->first.first == row &&
           added_it->first.second < before_column) {
      const auto [r, c] = added_it->first;
      if (c >= first_column && c <= last_column) {
        const std::string_view value = Written(added_it->second.edit);
        if (!value.empty()) visit(r, c, styles.Text(value, 0));
      }
      ++added_it;
    }
  };
  for (;;) {
    const bool have_row = row_it != rows_.end() && row_it->row <= last_row;
    const bool have_added = added_it != added_.end() && added_it->first.first <= last_row;
    if (!have_row && !have_added) break;
    if (!have_row || (have_added && added_it->first.first < row_it->row)) {
      emit_added(added_it->first.first, kMaxColumns + 1);
      continue;
    }
    const std::int32_t row = row_it->row;
    const Cell* cell = cells_.data() + row_it->first_cell;
    const Cell* cells_end = cell + row_it->cell_count;
    cell = std::lower_bound(cell, cells_end, first_column,
                            [](const Cell& c, std::int32_t value) { return c.column < value; });
    for (; cell != cells_end && cell->column <= last_column; ++cell) {
      emit_added(row, cell->column);
      std::string text = CellText(*cell, strings, styles);
      if (!text.empty()) visit(row, cell->column, std::move(text));
    }
    emit_added(row, kMaxColumns + 1);
    ++row_it;
  }
}

}  // namespace quillory::xlsx
