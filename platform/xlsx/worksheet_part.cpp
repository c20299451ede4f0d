#include "platform/xlsx/worksheet_part.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/xlsx/worksheet_markup.h"
#include "platform/xlsx/xml_scan.h"
#include "workbook/spreadsheet.h"

namespace quillory::xlsx {

using worksheet::ParseUnsigned;
using worksheet::Token;
using worksheet::TokenKind;

WorksheetPart::WorksheetPart(std::string xml, std::string file, std::string part,
                             std::string sheet_name, std::size_t parallel_from,
                             std::size_t most_cells)
    : xml_(std::move(xml)),
      parallel_from_(parallel_from),
      most_cells_(most_cells),
      file_(std::move(file)),
      part_(std::move(part)),
      sheet_name_(std::move(sheet_name)) {
  if (xml_.size() > UINT32_MAX) Malformed(0, "the sheet is too large");
  Scan();
}

void WorksheetPart::Malformed(std::size_t offset, std::string_view what) const {
  throw workbook::WorkbookError(file_, "the part /" + part_ + " (sheet \"" + sheet_name_ +
                                           "\") is not well-formed: " + std::string(what) +
                                           " at byte " + std::to_string(offset) +
                                           "; the file is damaged");
}

void WorksheetPart::Twice(const std::string& what) const {
  throw workbook::WorkbookError(file_, "the file is damaged: sheet \"" + sheet_name_ +
                                           "\" (part /" + part_ + ") holds " + what +
                                           " twice, and programs disagree on which one counts");
}

void WorksheetPart::Scan() {
  xml::Scanner scanner(xml_);
  Token root;
  if (!scanner.FindRoot(&root)) Malformed(root.begin, "no root element");
  if (root.kind == TokenKind::EmptyTag) Malformed(root.begin, "no sheetData element");
  bool found = false;
  Token token;
  while (scanner.NextChild(&token)) {
    if (xml::LocalName(token.name) == "dimension" && token.kind == TokenKind::EmptyTag) {
      dimension_begin_ = static_cast<std::uint32_t>(token.begin);
      dimension_end_ = static_cast<std::uint32_t>(token.end);
    }
    if (xml::LocalName(token.name) != "sheetData" || found) {
      std::string_view locked;
      if (xml::LocalName(token.name) == "sheetProtection" &&
          xml::FindAttribute(token.attributes, "sheet", &locked) &&
          (locked == "1" || locked == "true")) {
        protected_ = true;
      }
      if (!scanner.SkipElement(token)) Malformed(token.begin, "mismatched tags");
      continue;
    }
    found = true;
    prefix_ = std::string(xml::Prefix(token.name));
    sheet_data_begin_ = static_cast<std::uint32_t>(token.begin);
    sheet_data_content_ = static_cast<std::uint32_t>(token.end);
    if (token.kind == TokenKind::EmptyTag) {
      sheet_data_empty_tag_ = true;
      sheet_data_end_ = sheet_data_close_ = static_cast<std::uint32_t>(token.end);
      continue;
    }
    ScanSheetData(token);
    scanner.Seek(sheet_data_end_);
  }
  if (token.kind != TokenKind::EndTag) Malformed(token.begin, "unexpected end of the markup");
  if (token.name != root.name) Malformed(token.begin, "mismatched end tag");
  if (!found) Malformed(0, "no sheetData element");

  if (!rows_in_order_) {
    // Some producers write rows or cells out of order; the index is kept sorted. A row or cell
    // written twice is another matter: one reader takes the first, another the last.
    std::stable_sort(rows_.begin(), rows_.end(),
                     [](const Row& a, const Row& b) { return a.row < b.row; });
    for (std::size_t i = 1; i < rows_.size(); ++i) {
      if (rows_[i].row == rows_[i - 1].row) Twice("row " + std::to_string(rows_[i].row));
    }
    std::vector<Cell> sorted;
    sorted.reserve(cells_.size());
    for (Row& row : rows_) {
      const auto first = cells_.begin() + row.first_cell;
      std::vector<Cell> slice(first, first + row.cell_count);
      std::stable_sort(slice.begin(), slice.end(),
                       [](const Cell& a, const Cell& b) { return a.column < b.column; });
      for (std::size_t i = 1; i < slice.size(); ++i) {
        if (slice[i].column == slice[i - 1].column) {
          Twice("cell " + CellName(row.row, slice[i].column));
        }
      }
      row.first_cell = static_cast<std::uint32_t>(sorted.size());
      sorted.insert(sorted.end(), slice.begin(), slice.end());
    }
    cells_ = std::move(sorted);
  }

  // Array formulas and data tables by first row, so a write looks only at those near it.
  std::sort(blocked_.begin(), blocked_.end(), [](const BlockedRange& a, const BlockedRange& b) {
    return a.range.first.row < b.range.first.row;
  });
  for (const BlockedRange& blocked : blocked_) {
    blocked_tallest_ = std::max(blocked_tallest_, blocked.range.last.row - blocked.range.first.row);
  }

  IndexSharedFormulas();
}

// Reads the rows of sheetData from `from` until its end tag, or until `stop_at` is reached
// between two pieces of markup. A `next_row` of 0 means the row before is unknown.
void WorksheetPart::ScanRows(std::size_t from, std::size_t stop_at,
                             std::string_view sheet_data_name, std::int32_t next_row,
                             RowScan* out) const {
  // A cell takes at least ~20 bytes of markup; guessing a little high saves the copies of a
  // growing index.
  out->cells.reserve((std::min(stop_at, xml_.size()) - from) / 40);
  out->next_row = next_row;
  xml::Scanner scanner(xml_, from);
  for (;;) {
    if (scanner.position() >= stop_at) {
      out->end = scanner.position();
      return;
    }
    const Token item = scanner.Next();
    if (item.kind == TokenKind::Error || item.kind == TokenKind::End) {
      Malformed(item.begin, "unexpected end of the markup");
    }
    if (item.kind == TokenKind::EndTag) {
      if (item.name != sheet_data_name) Malformed(item.begin, "mismatched end tag");
      out->close_begin = item.begin;
      out->close_end = item.end;
      out->end = item.end;
      return;
    }
    if (item.kind != TokenKind::StartTag && item.kind != TokenKind::EmptyTag) continue;
    if (xml::LocalName(item.name) != "row") {
      if (!scanner.SkipElement(item)) Malformed(item.begin, "mismatched tags");
      continue;
    }
    Row row;
    row.begin = static_cast<std::uint32_t>(item.begin);
    row.tag_end = static_cast<std::uint32_t>(item.end);
    std::string_view ref;
    if (xml::FindAttribute(item.attributes, "r", &ref)) {
      std::uint32_t number = 0;
      if (!ParseUnsigned(ref, &number) || number < 1 || number > kMaxRows) {
        Malformed(item.begin, "a row number out of range");
      }
      row.row = static_cast<std::int32_t>(number);
    } else {
      row.has_ref = false;
      if (next_row == 0) {  // the stretch starts with a row that counts on the one before
        out->needs_previous_row = true;
        out->end = item.begin;
        return;
      }
      row.row = next_row;
      if (row.row > kMaxRows) Malformed(item.begin, "too many rows");
    }
    next_row = row.row + 1;
    out->next_row = next_row;
    if (!out->rows.empty() && row.row <= out->rows.back().row) out->in_order = false;
    row.first_cell = static_cast<std::uint32_t>(out->cells.size());
    if (item.kind == TokenKind::EmptyTag) {
      row.empty_tag = true;
      row.end = row.tag_end;
    } else {
      std::int32_t next_column = 1;
      Token c;
      while (scanner.NextChild(&c)) {
        if (xml::LocalName(c.name) != "c") {
          if (!scanner.SkipElement(c)) Malformed(c.begin, "mismatched tags");
          continue;
        }
        Cell cell;
        cell.begin = static_cast<std::uint32_t>(c.begin);
        xml::AttributeReader attributes(c.attributes);
        std::string_view name, value;
        cell.has_ref = false;
        while (attributes.Next(&name, &value)) {
          if (name == "r") {
            const auto parsed = ParseCellRef(value);
            if (!parsed) Malformed(c.begin, "a cell reference out of range");
            cell.column = parsed->column;
            cell.has_ref = true;
          } else if (name == "s") {
            if (!ParseUnsigned(value, &cell.style)) cell.style = 0;
          } else if (name == "t") {
            if (value == "s")
              cell.type = CellType::SharedString;
            else if (value == "str")
              cell.type = CellType::FormulaString;
            else if (value == "inlineStr")
              cell.type = CellType::InlineString;
            else if (value == "b")
              cell.type = CellType::Boolean;
            else if (value == "e")
              cell.type = CellType::Error;
            else if (value == "d")
              cell.type = CellType::Date;
          }
        }
        if (!cell.has_ref) {
          cell.column = next_column;
          if (cell.column > kMaxColumns) Malformed(c.begin, "too many columns");
          row.cells_have_refs = false;
        }
        next_column = cell.column + 1;
        std::size_t fast_end = 0;
        if (c.kind == TokenKind::EmptyTag) {
          cell.end = static_cast<std::uint32_t>(c.end);
        } else if (ReadPlainValue(c, &cell, &fast_end)) {
          cell.end = static_cast<std::uint32_t>(fast_end);
          scanner.Seek(fast_end);
        } else {
          Token child;
          while (scanner.NextChild(&child)) {
            const std::string_view local = xml::LocalName(child.name);
            if (local == "v") {
              cell.has_value = true;
              cell.value_begin = static_cast<std::uint32_t>(child.end);
              if (child.kind == TokenKind::EmptyTag) continue;
              // The common case, <v>text</v>, is read without a second pass.
              Token inner = scanner.Next();
              if (inner.kind == TokenKind::Text) inner = scanner.Next();
              if (inner.kind == TokenKind::EndTag && inner.name == child.name) {
                cell.value_size = static_cast<std::uint32_t>(inner.begin - child.end);
                continue;
              }
              if (inner.kind == TokenKind::Error || inner.kind == TokenKind::End) {
                Malformed(inner.begin, "unexpected end of the markup");
              }
              // CDATA or nested markup: keep the raw span and decode it when shown.
              std::size_t end = 0;
              if (inner.kind == TokenKind::StartTag && !scanner.SkipElement(inner)) {
                Malformed(inner.begin, "mismatched tags");
              }
              for (;;) {
                const Token more = scanner.Next();
                if (more.kind == TokenKind::EndTag && more.name == child.name) {
                  end = more.begin;
                  break;
                }
                if (more.kind == TokenKind::Error || more.kind == TokenKind::End ||
                    more.kind == TokenKind::EndTag) {
                  Malformed(more.begin, "mismatched tags");
                }
                if (more.kind == TokenKind::StartTag && !scanner.SkipElement(more)) {
                  Malformed(more.begin, "mismatched tags");
                }
              }
              cell.value_size = static_cast<std::uint32_t>(end - child.end);
              continue;
            }
            if (local == "f") {
              std::string_view type, ref;
              const bool has_type = xml::FindAttribute(child.attributes, "t", &type);
              const bool has_range = xml::FindAttribute(child.attributes, "ref", &ref);
              if (has_type && type == "shared") {
                cell.formula = has_range ? FormulaKind::SharedMaster : FormulaKind::SharedMember;
              } else if (has_type && (type == "array" || type == "dataTable")) {
                const bool table = type == "dataTable";
                cell.formula = table ? FormulaKind::DataTable : FormulaKind::Array;
                const auto range = has_range ? ParseRangeRef(ref) : std::nullopt;
                if (range && (table || !range->IsSingleCell())) {
                  out->blocked.push_back({*range, table});
                }
              } else {
                cell.formula = FormulaKind::Plain;
              }
            } else if (local == "is") {
              cell.has_value = true;
            }
            if (!scanner.SkipElement(child)) Malformed(child.begin, "mismatched tags");
          }
          if (child.kind != TokenKind::EndTag)
            Malformed(child.begin, "unexpected end of the markup");
          if (child.name != c.name) Malformed(child.begin, "mismatched end tag");
          cell.end = static_cast<std::uint32_t>(child.end);
        }
        out->cells.push_back(cell);
        if (out->cells.size() > most_cells_) throw TooManyCells{most_cells_};
      }
      if (c.kind != TokenKind::EndTag) Malformed(c.begin, "unexpected end of the markup");
      if (c.name != item.name) Malformed(c.begin, "mismatched end tag");
      row.end = static_cast<std::uint32_t>(c.end);
    }
    row.cell_count = static_cast<std::uint32_t>(out->cells.size() - row.first_cell);
    for (std::uint32_t i = row.first_cell; i < row.first_cell + row.cell_count; ++i) {
      if (i > row.first_cell && out->cells[i].column <= out->cells[i - 1].column) {
        out->in_order = false;
      }
    }
    if (row.cell_count > 0) {
      out->first_row = std::min(out->first_row, row.row);
      out->last_row = std::max(out->last_row, row.row);
      out->last_column = std::max(out->last_column, out->cells.back().column);
      for (std::uint32_t i = row.first_cell; i < row.first_cell + row.cell_count; ++i) {
        out->first_column = std::min(out->first_column, out->cells[i].column);
        out->last_column = std::max(out->last_column, out->cells[i].column);
      }
    }
    out->rows.push_back(row);
  }
}

void WorksheetPart::ScanSheetData(const xml::Token& start) {
  const std::size_t content = start.end;
  const std::string_view name = start.name;
  RowScan first;
  std::size_t split = std::string::npos;
  if (xml_.size() - content >= parallel_from_) {
    // Big sheets are read in two halves at once, split at a row start tag in the middle.
    std::string row_tag(1, '<');
    row_tag.append(prefix_);
    row_tag.append("row");
    for (std::size_t at = xml_.find(row_tag, content + (xml_.size() - content) / 2);
         at != std::string::npos; at = xml_.find(row_tag, at + 1)) {
      const char after = at + row_tag.size() < xml_.size() ? xml_[at + row_tag.size()] : '\0';
      if (after == ' ' || after == '>' || after == '/' || after == '\t' || after == '\n' ||
          after == '\r') {
        split = at;
        break;
      }
    }
  }
  if (split == std::string::npos) {
    ScanRows(content, std::string::npos, name, 1, &first);
    AdoptRows(std::move(first));
    return;
  }
  RowScan second;
  std::exception_ptr second_failed;
  std::thread worker;
  try {
    worker = std::thread([&] {
      try {
        ScanRows(split, std::string::npos, name, 0, &second);
      } catch (...) {
        second_failed = std::current_exception();
      }
    });
  } catch (const std::system_error&) {  // no thread to be had: read it all here
    ScanRows(content, std::string::npos, name, 1, &first);
    AdoptRows(std::move(first));
    return;
  }
  try {
    ScanRows(content, split, name, 1, &first);
  } catch (...) {
    worker.join();
    throw;
  }
  worker.join();
  if (first.end == split && first.close_end == 0 && !second.needs_previous_row) {
    // The first half ended exactly at the split, so the second half read real rows.
    if (second_failed) std::rethrow_exception(second_failed);
    AdoptRows(std::move(first));
    AdoptRows(std::move(second));
    return;
  }
  // The split fell inside other markup, or its row has no number: read on from where the first
  // half stopped.
  RowScan rest;
  if (first.close_end == 0) ScanRows(first.end, std::string::npos, name, first.next_row, &rest);
  AdoptRows(std::move(first));
  AdoptRows(std::move(rest));
}

void WorksheetPart::AdoptRows(RowScan&& scan) {
  if (cells_.size() + scan.cells.size() > most_cells_) throw TooManyCells{most_cells_};
  if (!scan.rows.empty() && !rows_.empty() && scan.rows.front().row <= rows_.back().row) {
    rows_in_order_ = false;
  }
  rows_in_order_ = rows_in_order_ && scan.in_order;
  const auto offset = static_cast<std::uint32_t>(cells_.size());
  for (Row& row : scan.rows) row.first_cell += offset;
  if (cells_.empty()) {
    cells_ = std::move(scan.cells);
  } else {
    cells_.insert(cells_.end(), scan.cells.begin(), scan.cells.end());
  }
  rows_.insert(rows_.end(), scan.rows.begin(), scan.rows.end());
  blocked_.insert(blocked_.end(), scan.blocked.begin(), scan.blocked.end());
  if (!scan.rows.empty()) {
    first_row_ = std::min(first_row_, scan.first_row);
    last_row_ = std::max(last_row_, scan.last_row);
    first_column_ = std::min(first_column_, scan.first_column);
    last_column_ = std::max(last_column_, scan.last_column);
  }
  if (scan.close_end != 0) {
    sheet_data_close_ = static_cast<std::uint32_t>(scan.close_begin);
    sheet_data_end_ = static_cast<std::uint32_t>(scan.close_end);
  }
}

// Most cells are <c ...><v>text</v></c>; they are read here without the general scanner.
bool WorksheetPart::ReadPlainValue(const xml::Token& start, Cell* cell, std::size_t* end) const {
  const std::string_view doc(xml_);
  const std::string_view prefix = xml::Prefix(start.name);
  std::size_t pos = start.end;
  auto take = [&](std::string_view text) {
    if (doc.compare(pos, text.size(), text) != 0) return false;
    pos += text.size();
    return true;
  };
  if (!take("<") || !take(prefix) || !take("v>")) return false;
  const std::size_t value_begin = pos;
  const std::size_t lt = doc.find('<', pos);
  if (lt == std::string_view::npos) return false;
  pos = lt;
  if (!take("</") || !take(prefix) || !take("v>") || !take("</") || !take(start.name) ||
      !take(">")) {
    return false;
  }
  cell->has_value = true;
  cell->value_begin = static_cast<std::uint32_t>(value_begin);
  cell->value_size = static_cast<std::uint32_t>(lt - value_begin);
  *end = pos;
  return true;
}

const WorksheetPart::Cell* WorksheetPart::Find(std::int32_t row, std::int32_t column,
                                               std::size_t* index) const {
  const auto row_it =
      std::lower_bound(rows_.begin(), rows_.end(), row,
                       [](const Row& r, std::int32_t value) { return r.row < value; });
  if (row_it == rows_.end() || row_it->row != row) return nullptr;
  const Cell* first = cells_.data() + row_it->first_cell;
  const Cell* last = first + row_it->cell_count;
  const Cell* cell = std::lower_bound(
      first, last, column, [](const Cell& c, std::int32_t value) { return c.column < value; });
  if (cell == last || cell->column != column) return nullptr;
  if (index) *index = static_cast<std::size_t>(cell - cells_.data());
  return cell;
}

const WorksheetPart::Cell* WorksheetPart::FindForWrite(std::int32_t row, std::int32_t column,
                                                       std::size_t* index) {
  // Cells are mostly written row by row: the row of the last write, or the next, is tried first.
  std::size_t at = last_write_row_;
  if (at >= rows_.size() || rows_[at].row != row) {
    ++at;
    if (at >= rows_.size() || rows_[at].row != row) {
      at = static_cast<std::size_t>(
          std::lower_bound(rows_.begin(), rows_.end(), row,
                           [](const Row& r, std::int32_t value) { return r.row < value; }) -
          rows_.begin());
      if (at == rows_.size() || rows_[at].row != row) return nullptr;
    }
  }
  last_write_row_ = at;
  const Cell* first = cells_.data() + rows_[at].first_cell;
  const Cell* last = first + rows_[at].cell_count;
  const Cell* cell = std::lower_bound(
      first, last, column, [](const Cell& c, std::int32_t value) { return c.column < value; });
  if (cell == last || cell->column != column) return nullptr;
  *index = static_cast<std::size_t>(cell - cells_.data());
  return cell;
}

std::size_t WorksheetPart::CellCount(std::int32_t first_row, std::int32_t last_row) const {
  auto row = std::lower_bound(rows_.begin(), rows_.end(), first_row,
                              [](const Row& r, std::int32_t value) { return r.row < value; });
  std::size_t count = 0;
  for (; row != rows_.end() && row->row <= last_row; ++row) count += row->cell_count;
  return count;
}

std::int32_t WorksheetPart::RowOfCell(std::size_t index) const {
  auto it = std::upper_bound(rows_.begin(), rows_.end(), index,
                             [](std::size_t value, const Row& r) { return value < r.first_cell; });
  while (it != rows_.begin()) {
    --it;
    if (index < it->first_cell + it->cell_count) return it->row;
  }
  return 0;
}

}  // namespace quillory::xlsx
