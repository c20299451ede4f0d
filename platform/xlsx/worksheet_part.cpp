#include "platform/xlsx/worksheet_part.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <system_error>
#include <thread>

#include "platform/xlsx/shared_strings.h"
#include "platform/xlsx/styles.h"
#include "platform/xlsx/xml_scan.h"
#include "workbook/spreadsheet.h"

namespace quillory::xlsx {
namespace {

using xml::Token;
using xml::TokenKind;

bool ParseUnsigned(std::string_view text, std::uint32_t* value) {
  if (text.empty()) return false;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), *value);
  return result.ec == std::errc{} && result.ptr == text.data() + text.size();
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n' ||
                           text.front() == '\r')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' ||
                           text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

bool ParseNumber(std::string_view text, double* value) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), *value);
  return result.ec == std::errc{} && result.ptr == text.data() + text.size() &&
         std::isfinite(*value);
}

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// An ISO 8601 date, time or date-time (t="d" cells) as a serial number; nothing when unreadable.
bool ParseIsoDate(std::string_view text, bool date1904, double* serial) {
  text = Trim(text);
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  double second = 0;
  bool has_date = false;
  auto number = [&](std::size_t pos, std::size_t length, int* out) {
    if (pos + length > text.size()) return false;
    const auto r = std::from_chars(text.data() + pos, text.data() + pos + length, *out);
    return r.ec == std::errc{} && r.ptr == text.data() + pos + length;
  };
  std::size_t pos = 0;
  if (text.size() >= 10 && text[4] == '-' && text[7] == '-') {
    if (!number(0, 4, &year) || !number(5, 2, &month) || !number(8, 2, &day)) return false;
    if (month < 1 || month > 12 || day < 1 || day > 31) return false;
    has_date = true;
    pos = 10;
    if (pos < text.size() && (text[pos] == 'T' || text[pos] == ' ')) ++pos;
  }
  if (pos < text.size()) {
    if (!number(pos, 2, &hour) || pos + 5 > text.size() || text[pos + 2] != ':' ||
        !number(pos + 3, 2, &minute)) {
      return false;
    }
    pos += 5;
    if (pos < text.size() && text[pos] == ':') {
      std::size_t end = pos + 1;
      while (end < text.size() && ((text[end] >= '0' && text[end] <= '9') || text[end] == '.')) {
        ++end;
      }
      const auto r = std::from_chars(text.data() + pos + 1, text.data() + end, second);
      if (r.ec != std::errc{}) return false;
      pos = end;
    }
  }
  double days = 0;
  if (has_date) {
    const std::int64_t civil =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    if (date1904) {
      days = static_cast<double>(civil - DaysFromCivil(1904, 1, 1));
    } else {
      days = static_cast<double>(civil - DaysFromCivil(1899, 12, 30));
      if (days < 61) days -= 1;  // serials before 1900-03-01 skip the phantom 1900-02-29
    }
  }
  *serial = days + (hour * 3600 + minute * 60 + second) / 86400.0;
  return true;
}

// Inserts ` r="..."` after the element name of the start tag `tag` ("<c s="1">").
void AppendWithRef(std::string_view tag, std::string_view name, const std::string& ref,
                   std::string* out) {
  out->append(tag.substr(0, 1 + name.size()));
  out->append(" r=\"");
  out->append(ref);
  out->push_back('"');
  out->append(tag.substr(1 + name.size()));
}

}  // namespace

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
  for (;;) {
    root = scanner.Next();
    if (root.kind == TokenKind::StartTag) break;
    if (root.kind == TokenKind::EmptyTag) Malformed(root.begin, "no sheetData element");
    if (root.kind == TokenKind::Error || root.kind == TokenKind::End ||
        root.kind == TokenKind::EndTag || root.kind == TokenKind::CData) {
      Malformed(root.begin, "no root element");
    }
  }
  bool found = false;
  for (;;) {
    const Token token = scanner.Next();
    if (token.kind == TokenKind::Error || token.kind == TokenKind::End) {
      Malformed(token.begin, "unexpected end of the markup");
    }
    if (token.kind == TokenKind::EndTag) {
      if (token.name != root.name) Malformed(token.begin, "mismatched end tag");
      break;
    }
    if (token.kind != TokenKind::StartTag && token.kind != TokenKind::EmptyTag) continue;
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

  // Shared formula groups, members in row-major order.
  for (std::size_t i = 0; i < cells_.size(); ++i) {
    const Cell& cell = cells_[i];
    if (cell.formula != FormulaKind::SharedMaster && cell.formula != FormulaKind::SharedMember) {
      continue;
    }
    xml::Scanner cell_scanner(std::string_view(xml_).substr(0, cell.end), cell.begin);
    cell_scanner.Next();  // the c start tag
    for (;;) {
      const Token child = cell_scanner.Next();
      if (child.kind == TokenKind::EndTag || child.kind == TokenKind::End ||
          child.kind == TokenKind::Error) {
        break;
      }
      if (child.kind != TokenKind::StartTag && child.kind != TokenKind::EmptyTag) continue;
      if (xml::LocalName(child.name) == "f") {
        std::string_view si;
        std::uint32_t group = 0;
        if (xml::FindAttribute(child.attributes, "si", &si) && ParseUnsigned(si, &group)) {
          SharedGroup& shared = shared_[group];
          shared.members.push_back(static_cast<std::uint32_t>(i));
          const std::int32_t row = RowOfCell(i);
          shared.bounds.first.row = std::min(shared.bounds.first.row, row);
          shared.bounds.first.column = std::min(shared.bounds.first.column, cell.column);
          shared.bounds.last.row = std::max(shared.bounds.last.row, row);
          shared.bounds.last.column = std::max(shared.bounds.last.column, cell.column);
          if (cell.formula == FormulaKind::SharedMaster) {
            shared.master = static_cast<std::int64_t>(i);
            group_of_master_[static_cast<std::uint32_t>(i)] = group;
          }
        }
        break;
      }
      if (!cell_scanner.SkipElement(child)) break;
    }
  }
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
      for (;;) {
        const Token c = scanner.Next();
        if (c.kind == TokenKind::Error || c.kind == TokenKind::End) {
          Malformed(c.begin, "unexpected end of the markup");
        }
        if (c.kind == TokenKind::EndTag) {
          if (c.name != item.name) Malformed(c.begin, "mismatched end tag");
          row.end = static_cast<std::uint32_t>(c.end);
          break;
        }
        if (c.kind != TokenKind::StartTag && c.kind != TokenKind::EmptyTag) continue;
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
          for (;;) {
            const Token child = scanner.Next();
            if (child.kind == TokenKind::Error || child.kind == TokenKind::End) {
              Malformed(child.begin, "unexpected end of the markup");
            }
            if (child.kind == TokenKind::EndTag) {
              if (child.name != c.name) Malformed(child.begin, "mismatched end tag");
              cell.end = static_cast<std::uint32_t>(child.end);
              break;
            }
            if (child.kind != TokenKind::StartTag && child.kind != TokenKind::EmptyTag) continue;
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
        }
        out->cells.push_back(cell);
        if (out->cells.size() > most_cells_) throw TooManyCells{most_cells_};
      }
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

std::string WorksheetPart::CellText(const Cell& cell, const SharedStrings& strings,
                                    const Styles& styles) const {
  if (cell.edit >= 0) {
    const std::string_view value = Written(cell.edit);
    return value.empty() ? std::string() : styles.Text(value, cell.style);
  }
  if (!cell.has_value) return {};
  std::string_view raw = std::string_view(xml_).substr(cell.value_begin, cell.value_size);
  std::string decoded;
  if (cell.type != CellType::InlineString && raw.find_first_of("&<") != std::string_view::npos) {
    // Entities or CDATA inside v.
    std::string wrapped("<v>");
    wrapped.append(raw);
    wrapped.append("</v>");
    xml::Scanner scanner(wrapped);
    const Token start = scanner.Next();
    scanner.ReadSimpleContent(start, &decoded);
    raw = decoded;
  }
  switch (cell.type) {
    case CellType::Number: {
      double value = 0;
      if (Trim(raw).empty()) return {};
      if (!ParseNumber(raw, &value)) return std::string(raw);
      return styles.Number(value, cell.style);
    }
    case CellType::SharedString: {
      std::uint32_t index = 0;
      if (!ParseUnsigned(Trim(raw), &index)) return {};
      const std::optional<std::string_view> text = strings.At(index);
      return text ? styles.Text(*text, cell.style) : std::string();
    }
    case CellType::FormulaString:
      return styles.Text(xml::DecodeCellEscapes(raw), cell.style);
    case CellType::Boolean: {
      const std::string_view value = Trim(raw);
      if (value.empty()) return {};
      return value == "1" || value == "true" ? "TRUE" : "FALSE";
    }
    case CellType::Error:
      return std::string(Trim(raw));
    case CellType::Date: {
      double serial = 0;
      if (!ParseIsoDate(raw, styles.date1904(), &serial)) return std::string(raw);
      return styles.Number(serial, cell.style);
    }
    case CellType::InlineString: {
      xml::Scanner scanner(std::string_view(xml_).substr(0, cell.end), cell.begin);
      scanner.Next();  // the c start tag
      for (;;) {
        const Token child = scanner.Next();
        if (child.kind == TokenKind::EndTag || child.kind == TokenKind::End ||
            child.kind == TokenKind::Error) {
          return {};
        }
        if (child.kind != TokenKind::StartTag && child.kind != TokenKind::EmptyTag) continue;
        if (xml::LocalName(child.name) == "is") {
          std::string text;
          if (!ReadStringItem(scanner, child, &text)) return {};
          return text.empty() ? text : styles.Text(text, cell.style);
        }
        if (!scanner.SkipElement(child)) return {};
      }
    }
  }
  return {};
}

std::size_t WorksheetPart::CellCount(std::int32_t first_row, std::int32_t last_row) const {
  auto row = std::lower_bound(rows_.begin(), rows_.end(), first_row,
                              [](const Row& r, std::int32_t value) { return r.row < value; });
  std::size_t count = 0;
  for (; row != rows_.end() && row->row <= last_row; ++row) count += row->cell_count;
  return count;
}

std::string WorksheetPart::Text(std::int32_t row, std::int32_t column, const SharedStrings& strings,
                                const Styles& styles) const {
  if (const Cell* cell = Find(row, column)) return CellText(*cell, strings, styles);
  if (const auto added = added_.find({row, column}); added != added_.end()) {
    const std::string_view value = Written(added->second.edit);
    return value.empty() ? std::string() : styles.Text(value, 0);
  }
  return {};
}

std::int32_t WorksheetPart::AddEdit(std::string_view value) {
  if (edits_.empty()) {
    // A conversion usually writes most cells; room for that spares copies of a growing store
    // (address space only: untouched pages cost nothing).
    edits_.reserve(cells_.size() + 16);
    written_.reserve(std::min<std::size_t>(cells_.size() * (value.size() + 16) + 64, 1u << 30));
  }
  Edit edit;
  edit.offset = static_cast<std::uint32_t>(written_.size());
  edit.size = static_cast<std::uint32_t>(value.size());
  written_.append(value);
  edits_.push_back(edit);
  return static_cast<std::int32_t>(edits_.size() - 1);
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

std::string WorksheetPart::FormulaOf(std::size_t index) const {
  if (const auto promoted = new_masters_.find(static_cast<std::uint32_t>(index));
      promoted != new_masters_.end()) {
    return promoted->second.formula;
  }
  const Cell& cell = cells_[index];
  xml::Scanner scanner(std::string_view(xml_).substr(0, cell.end), cell.begin);
  scanner.Next();
  for (;;) {
    const Token child = scanner.Next();
    if (child.kind == TokenKind::EndTag || child.kind == TokenKind::End ||
        child.kind == TokenKind::Error) {
      return {};
    }
    if (child.kind != TokenKind::StartTag && child.kind != TokenKind::EmptyTag) continue;
    if (xml::LocalName(child.name) == "f") {
      std::string formula;
      scanner.ReadSimpleContent(child, &formula);
      return formula;
    }
    if (!scanner.SkipElement(child)) return {};
  }
}

void WorksheetPart::HandOffSharedFormula(std::size_t master) {
  // Found through an index and resumed where the last hand-off stopped: writing a filled-down
  // column cell by cell hands the formula on once per cell.
  const auto owner = group_of_master_.find(static_cast<std::uint32_t>(master));
  if (owner == group_of_master_.end()) return;
  const std::int64_t si = owner->second;
  group_of_master_.erase(owner);
  SharedGroup& group = shared_[si];
  if (group.master != static_cast<std::int64_t>(master)) return;
  group.master = -1;
  while (group.next < group.members.size() &&
         (group.members[group.next] == master ||
          cells_[group.members[group.next]].formula != FormulaKind::SharedMember)) {
    ++group.next;
  }
  if (group.next == group.members.size()) return;
  const std::uint32_t heir = group.members[group.next];
  const std::int32_t master_row = RowOfCell(master);
  const std::int32_t heir_row = RowOfCell(heir);
  // The members left lie from the heir's row on; in its last row, from the heir's column on.
  RangeRef range = group.bounds;
  range.first.row = std::max(range.first.row, heir_row);
  if (range.first.row == range.last.row) {
    range.first.column = std::max(range.first.column, cells_[heir].column);
  }
  NewMaster promoted;
  promoted.formula = ShiftFormula(FormulaOf(master), heir_row - master_row,
                                  cells_[heir].column - cells_[master].column);
  promoted.range = range;
  new_masters_[heir] = std::move(promoted);
  cells_[heir].formula = FormulaKind::SharedMaster;
  group.master = heir;
  group_of_master_[heir] = si;
}

WorksheetPart::WriteResult WorksheetPart::WriteString(std::int32_t row, std::int32_t column,
                                                      std::string_view value) {
  if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns) {
    throw workbook::WorkbookError(file_, "cell row " + std::to_string(row) + ", column " +
                                             std::to_string(column) + " is outside the sheet");
  }
  const auto starts_above = [](const BlockedRange& range, std::int32_t first_row) {
    return range.range.first.row < first_row;
  };
  auto blocked =
      std::lower_bound(blocked_.begin(), blocked_.end(), row - blocked_tallest_, starts_above);
  for (; blocked != blocked_.end() && blocked->range.first.row <= row; ++blocked) {
    if (!blocked->range.Contains(row, column)) continue;
    throw workbook::CellWriteRefused(
        file_, "cell " + sheet_name_ + "!" + CellName(row, column) + " is part of " +
                   (blocked->data_table ? "a data table" : "an array formula") + " (" +
                   RangeName(blocked->range) + ") and cannot be replaced on its own");
  }
  std::size_t index = 0;
  const Cell* found = Find(row, column, &index);
  const bool added_before = !found && added_.count({row, column}) > 0;
  if (!found && !added_before && value.empty()) return WriteResult::Written;  // stays empty
  changed_ = true;
  const std::int32_t edit = AddEdit(value);
  if (!found) {
    added_[{row, column}].edit = edit;
    last_row_ = std::max(last_row_, row);
    last_column_ = std::max(last_column_, column);
    return WriteResult::Written;
  }
  Cell& cell = cells_[index];
  WriteResult result = WriteResult::Written;
  if (cell.formula != FormulaKind::None) {
    result = WriteResult::FormulaRemoved;
    if (cell.formula == FormulaKind::SharedMaster) HandOffSharedFormula(index);
    cell.formula = FormulaKind::None;
    new_masters_.erase(static_cast<std::uint32_t>(index));
  }
  cell.edit = edit;
  return result;
}

// ---- Writing the part back ----

void WorksheetPart::AppendStringContent(std::string_view value, std::string_view prefix,
                                        std::string* out) const {
  // Most strings need no _xHHHH_ escape; they are written without a copy.
  const bool plain = std::all_of(value.begin(), value.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 0x20 && u < 0x7F && c != '_') || c == '\n' || c == '\t';
  });
  std::string escaped;
  if (!plain) escaped = xml::EncodeCellEscapes(value);
  const std::string_view encoded = plain ? value : std::string_view(escaped);
  out->push_back('<');
  out->append(prefix);
  out->append("is><");
  out->append(prefix);
  out->append(xml::NeedsPreserve(encoded) ? "t xml:space=\"preserve\">" : "t>");
  xml::AppendEscaped(encoded, out);
  out->append("</");
  out->append(prefix);
  out->append("t></");
  out->append(prefix);
  out->append("is>");
}

void WorksheetPart::AppendNewCell(std::int32_t row, std::int32_t column, std::int32_t edit,
                                  std::string_view prefix, std::string* out) const {
  const std::string_view value = Written(edit);
  out->push_back('<');
  out->append(prefix);
  out->append("c r=\"");
  out->append(CellName(row, column));
  if (value.empty()) {
    out->append("\"/>");
    return;
  }
  out->append("\" t=\"inlineStr\">");
  AppendStringContent(value, prefix, out);
  out->append("</");
  out->append(prefix);
  out->append("c>");
}

void WorksheetPart::AppendCell(const Cell& cell, std::int32_t row, std::size_t index,
                               std::string* out) const {
  const auto promoted = new_masters_.find(static_cast<std::uint32_t>(index));
  const bool is_promoted = promoted != new_masters_.end();
  if (cell.edit < 0 && !is_promoted && cell.has_ref) {
    out->append(xml_, cell.begin, cell.end - cell.begin);
    return;
  }
  const std::string_view span = std::string_view(xml_).substr(cell.begin, cell.end - cell.begin);
  xml::Scanner scanner(span);
  const Token start = scanner.Next();
  const std::string_view prefix = xml::Prefix(start.name);
  if (cell.edit < 0 && !is_promoted) {  // only the reference is missing
    AppendWithRef(span, start.name, CellName(row, cell.column), out);
    return;
  }
  if (cell.edit < 0) {
    // The heir of a shared formula: its f element becomes the group's master.
    std::string_view tag = span.substr(0, start.end);
    if (!cell.has_ref) {
      AppendWithRef(tag, start.name, CellName(row, cell.column), out);
    } else {
      out->append(tag);
    }
    std::size_t copied = start.end;
    for (;;) {
      const Token child = scanner.Next();
      if (child.kind == TokenKind::EndTag || child.kind == TokenKind::End ||
          child.kind == TokenKind::Error) {
        break;
      }
      if (child.kind != TokenKind::StartTag && child.kind != TokenKind::EmptyTag) continue;
      std::size_t end = child.end;
      scanner.SkipElement(child, &end);
      if (xml::LocalName(child.name) != "f") continue;
      out->append(span.substr(copied, child.begin - copied));
      out->push_back('<');
      out->append(child.name);
      xml::AttributeReader attributes(child.attributes);
      std::string_view name, value;
      while (attributes.Next(&name, &value)) {
        if (name == "ref") continue;
        out->push_back(' ');
        out->append(child.attributes.substr(attributes.last_begin(),
                                            attributes.last_end() - attributes.last_begin()));
      }
      out->append(" ref=\"");
      out->append(RangeName(promoted->second.range));
      out->append("\">");
      xml::AppendEscaped(promoted->second.formula, out);
      out->append("</");
      out->append(child.name);
      out->push_back('>');
      copied = end;
    }
    out->append(span.substr(copied));
    return;
  }
  // A written cell: same attributes but the type, its value as an inline string, and whatever
  // else it held besides formula and value (extension lists).
  const std::string_view value = Written(cell.edit);
  out->push_back('<');
  out->append(start.name);
  if (!cell.has_ref) {
    out->append(" r=\"");
    out->append(CellName(row, cell.column));
    out->push_back('"');
  }
  xml::AttributeReader attributes(start.attributes);
  std::string_view name, attribute_value;
  while (attributes.Next(&name, &attribute_value)) {
    // cm and vm point at formula and value metadata that no longer apply.
    if (name == "t" || name == "cm" || name == "vm") continue;
    out->push_back(' ');
    out->append(start.attributes.substr(attributes.last_begin(),
                                        attributes.last_end() - attributes.last_begin()));
  }
  if (!value.empty()) out->append(" t=\"inlineStr\"");
  // Most cells hold only <v>text</v>; anything else is looked at child by child.
  auto only_value = [&] {
    std::string_view rest = span.substr(start.end);
    auto take = [&](std::string_view text) {
      if (!rest.starts_with(text)) return false;
      rest.remove_prefix(text.size());
      return true;
    };
    if (!take("<") || !take(prefix) || !take("v>")) return false;
    const auto lt = rest.find('<');
    if (lt == std::string_view::npos) return false;
    rest.remove_prefix(lt);
    return take("</") && take(prefix) && take("v></") && take(start.name) && take(">") &&
           rest.empty();
  };
  std::string kept;
  if (start.kind == TokenKind::StartTag && !only_value()) {
    for (;;) {
      const Token child = scanner.Next();
      if (child.kind == TokenKind::EndTag || child.kind == TokenKind::End ||
          child.kind == TokenKind::Error) {
        break;
      }
      if (child.kind != TokenKind::StartTag && child.kind != TokenKind::EmptyTag) continue;
      std::size_t end = child.end;
      scanner.SkipElement(child, &end);
      const std::string_view local = xml::LocalName(child.name);
      if (local == "f" || local == "v" || local == "is") continue;
      kept.append(span.substr(child.begin, end - child.begin));
    }
  }
  if (value.empty() && kept.empty()) {
    out->append("/>");
    return;
  }
  out->push_back('>');
  if (!value.empty()) AppendStringContent(value, prefix, out);
  out->append(kept);
  out->append("</");
  out->append(start.name);
  out->push_back('>');
}

void WorksheetPart::AppendRow(const Row& row, std::string* out) const {
  const auto added_first = added_.lower_bound({row.row, 0});
  const bool has_added = added_first != added_.end() && added_first->first.first == row.row;
  bool edited = false;
  for (std::uint32_t i = row.first_cell; i < row.first_cell + row.cell_count && !edited; ++i) {
    edited = cells_[i].edit >= 0 || new_masters_.count(i) > 0;
  }
  if (!edited && !has_added && row.has_ref && row.cells_have_refs) {
    out->append(xml_, row.begin, row.end - row.begin);
    return;
  }
  const std::string_view tag = std::string_view(xml_).substr(row.begin, row.tag_end - row.begin);
  xml::Scanner scanner(tag);
  const Token start = scanner.Next();
  std::string open(tag);
  if (row.empty_tag || has_added) {
    // Rebuilt as a start tag; a spans hint no longer covers an added cell, so it goes.
    open.assign(1, '<');
    open.append(start.name);
    xml::AttributeReader attributes(start.attributes);
    std::string_view name, value;
    while (attributes.Next(&name, &value)) {
      if (has_added && name == "spans") continue;
      open.push_back(' ');
      open.append(start.attributes.substr(attributes.last_begin(),
                                          attributes.last_end() - attributes.last_begin()));
    }
    open.push_back('>');
  }
  if (!row.has_ref) {
    AppendWithRef(open, start.name, std::to_string(row.row), out);
  } else {
    out->append(open);
  }
  const std::string_view prefix = xml::Prefix(start.name);
  auto added = added_first;
  for (std::uint32_t i = row.first_cell; i < row.first_cell + row.cell_count; ++i) {
    while (added != added_.end() && added->first.first == row.row &&
           added->first.second < cells_[i].column) {
      AppendNewCell(row.row, added->first.second, added->second.edit, prefix, out);
      ++added;
    }
    AppendCell(cells_[i], row.row, i, out);
  }
  while (added != added_.end() && added->first.first == row.row) {
    AppendNewCell(row.row, added->first.second, added->second.edit, prefix, out);
    ++added;
  }
  if (!row.empty_tag) {
    // What follows the last cell (an extension list) stays at the end of the row.
    std::uint32_t tail = row.tag_end;
    for (std::uint32_t i = row.first_cell; i < row.first_cell + row.cell_count; ++i) {
      tail = std::max(tail, cells_[i].end);
    }
    const std::size_t close = xml_.rfind('<', row.end - 1);
    if (close != std::string::npos && close > tail) out->append(xml_, tail, close - tail);
  }
  out->append("</");
  out->append(start.name);
  out->push_back('>');
}

void WorksheetPart::AppendAddedRow(std::int32_t row, std::string_view prefix,
                                   std::string* out) const {
  out->push_back('<');
  out->append(prefix);
  out->append("row r=\"");
  out->append(std::to_string(row));
  out->append("\">");
  for (auto it = added_.lower_bound({row, 0}); it != added_.end() && it->first.first == row; ++it) {
    AppendNewCell(row, it->first.second, it->second.edit, prefix, out);
  }
  out->append("</");
  out->append(prefix);
  out->append("row>");
}

std::string WorksheetPart::Serialize() const {
  if (!changed_) return xml_;
  std::string out;
  out.reserve(xml_.size() + written_.size() + written_.size() / 4 + edits_.size() * 40);
  std::size_t copied;
  if (sheet_data_empty_tag_) {
    const std::string_view tag =
        std::string_view(xml_).substr(sheet_data_begin_, sheet_data_content_ - sheet_data_begin_);
    xml::Scanner scanner(tag);
    const Token start = scanner.Next();
    out.append(xml_, 0, sheet_data_begin_);
    out.push_back('<');
    out.append(start.name);
    out.append(start.attributes);
    out.push_back('>');
    copied = sheet_data_content_;
  } else {
    out.append(xml_, 0, sheet_data_content_);
    copied = sheet_data_content_;
  }
  if (!added_.empty() && dimension_end_ > dimension_begin_ && dimension_end_ <= sheet_data_begin_) {
    // The dimension hint grows to take in the added cells.
    RangeRef used{{first_row_, first_column_}, {last_row_, last_column_}};
    for (const auto& [cell, added_cell] : added_) {
      used.first.row = std::min(used.first.row, cell.first);
      used.first.column = std::min(used.first.column, cell.second);
    }
    std::string tag(1, '<');
    const std::string_view old_tag =
        std::string_view(xml_).substr(dimension_begin_, dimension_end_ - dimension_begin_);
    xml::Scanner scanner(old_tag);
    const Token start = scanner.Next();
    tag.append(start.name);
    tag.append(" ref=\"");
    tag.append(RangeName(used));
    tag.append("\"/>");
    std::string head = out.substr(0, dimension_begin_);
    head.append(tag);
    head.append(out, dimension_end_, std::string::npos);
    out = std::move(head);
  }
  // Big sheets are written in two halves at once, split at a row in the middle.
  const std::size_t middle = rows_.size() / 2;
  std::string second;
  std::exception_ptr second_failed;
  std::thread worker;
  if (rows_in_order_ && middle > 0 && xml_.size() + written_.size() >= parallel_from_) {
    // Sized here: once the worker runs, `out` grows on this thread.
    const std::size_t second_size = (out.capacity() - out.size()) / 2;
    try {
      worker = std::thread([&, second_size] {
        try {
          second.reserve(second_size);
          AppendRows(middle, rows_.size(), rows_[middle].begin, sheet_data_close_, &second);
        } catch (...) {  // out of memory: reported by the caller, not the end of the program
          second_failed = std::current_exception();
        }
      });
    } catch (const std::system_error&) {  // no thread to be had: all of it here
    }
  }
  if (worker.joinable()) {
    try {
      AppendRows(0, middle, copied, rows_[middle].begin, &out);
    } catch (...) {
      worker.join();
      throw;
    }
    worker.join();
    if (second_failed) std::rethrow_exception(second_failed);
    out.append(second);
  } else {
    AppendRows(0, rows_.size(), copied, sheet_data_close_, &out);
  }
  if (sheet_data_empty_tag_) {
    out.append("</");
    out.append(prefix_);
    out.append("sheetData>");
    out.append(xml_, sheet_data_end_, std::string::npos);
  } else {
    out.append(xml_, sheet_data_close_, std::string::npos);
  }
  return out;
}

void WorksheetPart::AppendRows(std::size_t first, std::size_t last, std::size_t copied,
                               std::size_t copy_until, std::string* out) const {
  // Rows rows_[first, last) and the added rows numbered from rows_[first] (the very first: from
  // row 1) up to rows_[last] (the very last: to the end).
  const std::int32_t from_row = first == 0 ? 0 : rows_[first].row;
  const std::int32_t to_row = last == rows_.size() ? kMaxRows + 1 : rows_[last].row;
  auto added = added_.lower_bound({from_row, 0});
  auto emit_added_rows_before = [&](std::int32_t row) {
    while (added != added_.end() && added->first.first < row) {
      const std::int32_t added_row = added->first.first;
      AppendAddedRow(added_row, prefix_, out);
      while (added != added_.end() && added->first.first == added_row) ++added;
    }
  };
  for (std::size_t i = first; i < last; ++i) {
    const Row& row = rows_[i];
    emit_added_rows_before(row.row);
    while (added != added_.end() && added->first.first == row.row) ++added;
    if (rows_in_order_) {
      // White space and comments between rows come along.
      out->append(xml_, copied, row.begin - copied);
      copied = row.end;
    }
    AppendRow(row, out);
  }
  emit_added_rows_before(to_row);
  if (rows_in_order_ && copy_until > copied) out->append(xml_, copied, copy_until - copied);
}

}  // namespace quillory::xlsx
