#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xlsx/cell_escapes.h"
#include "platform/xlsx/worksheet_markup.h"
#include "platform/xlsx/worksheet_part.h"
#include "workbook/spreadsheet.h"

// Writing cells and the part back: the edits kept beside the original text, and the text of the
// part put together from both, a piece at a time so that the pieces can be compressed side by side.
namespace quillory::xlsx {
namespace {

using worksheet::ParseUnsigned;
using worksheet::Token;
using worksheet::TokenKind;

// For each byte: 1 when it cannot go into cell text as it is (not printable ASCII, a markup
// character or the escape character), 2 for a space.
constexpr std::array<std::uint8_t, 256> kCellTextBytes = [] {
  std::array<std::uint8_t, 256> kinds{};
  for (int c = 0; c < 256; ++c) {
    kinds[c] = (c < 0x20 || c >= 0x7F || c == '_' || c == '&' || c == '<' || c == '>') ? 1 : 0;
  }
  kinds[' '] = 2;
  return kinds;
}();

// Text that goes into the markup as it is, in one pass: printable ASCII without markup
// characters, the escape character or spaces that xml:space would have to keep. Number words
// always are.
bool IsPlainCellText(std::string_view text) {
  if (text.empty() || text.front() == ' ' || text.back() == ' ') return false;
  unsigned refused = 0;
  unsigned previous = 0;
  for (const char c : text) {
    const unsigned kind = kCellTextBytes[static_cast<unsigned char>(c)];
    refused |= (kind & 1) | (kind & previous);  // two spaces in a row: 2 & 2
    previous = kind;
  }
  return refused == 0;
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
  const Cell* found = FindForWrite(row, column, &index);
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
  if (IsPlainCellText(value)) {
    out->push_back('<');
    out->append(prefix);
    out->append("is><");
    out->append(prefix);
    out->append("t>");
    out->append(value);
    out->append("</");
    out->append(prefix);
    out->append("t></");
    out->append(prefix);
    out->append("is>");
    return;
  }
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
    for (Token child; scanner.NextChild(&child);) {
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
    for (Token child; scanner.NextChild(&child);) {
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
  out.reserve(SerializedSizeHint());
  const std::vector<std::size_t> whole{0};
  AppendPiece(whole, 0, &out);
  return out;
}

std::size_t WorksheetPart::SerializedSizeHint() const {
  if (!changed_) return xml_.size();
  return xml_.size() + written_.size() + written_.size() / 4 + edits_.size() * 40;
}

std::vector<std::size_t> WorksheetPart::PieceStarts(std::size_t piece_bytes) const {
  std::vector<std::size_t> starts{0};
  // Rows out of order are written in row order, so their markup cannot be cut where it lies.
  if (!changed_ || !rows_in_order_ || rows_.size() < 2 || piece_bytes == 0) return starts;
  const std::size_t pieces = std::min(SerializedSizeHint() / piece_bytes + 1, rows_.size());
  // Cut where the rows' markup is, so each piece holds about as much of the sheet.
  const std::size_t from = rows_.front().begin;
  const std::size_t span = rows_.back().end - from;
  for (std::size_t piece = 1; piece < pieces; ++piece) {
    const std::size_t at = from + span / pieces * piece;
    const auto row = std::lower_bound(
        rows_.begin() + static_cast<std::ptrdiff_t>(starts.back()) + 1, rows_.end(), at,
        [](const Row& r, std::size_t value) { return r.begin < value; });
    if (row == rows_.end()) break;
    starts.push_back(static_cast<std::size_t>(row - rows_.begin()));
  }
  return starts;
}

void WorksheetPart::AppendPiece(const std::vector<std::size_t>& starts, std::size_t index,
                                std::string* out) const {
  if (!changed_) {
    if (index == 0) out->append(xml_);
    return;
  }
  const bool first = index == 0;
  const bool last = index + 1 == starts.size();
  std::size_t copied = 0;
  if (first) copied = AppendHead(out);
  const std::size_t first_row = starts[index];
  const std::size_t end_row = last ? rows_.size() : starts[index + 1];
  if (!first) copied = rows_[first_row].begin;
  const std::size_t copy_until = last ? sheet_data_close_ : rows_[end_row].begin;
  AppendRows(first_row, end_row, copied, copy_until, out);
  if (last) AppendTail(out);
}

std::size_t WorksheetPart::AppendHead(std::string* out) const {
  if (!added_.empty() && dimension_end_ > dimension_begin_ && dimension_end_ <= sheet_data_begin_) {
    // The dimension hint grows to take in the added cells.
    RangeRef used{{first_row_, first_column_}, {last_row_, last_column_}};
    for (const auto& [cell, added_cell] : added_) {
      used.first.row = std::min(used.first.row, cell.first);
      used.first.column = std::min(used.first.column, cell.second);
    }
    const std::string_view old_tag =
        std::string_view(xml_).substr(dimension_begin_, dimension_end_ - dimension_begin_);
    xml::Scanner scanner(old_tag);
    const Token start = scanner.Next();
    out->append(xml_, 0, dimension_begin_);
    out->push_back('<');
    out->append(start.name);
    out->append(" ref=\"");
    out->append(RangeName(used));
    out->append("\"/>");
    out->append(xml_, dimension_end_, sheet_data_begin_ - dimension_end_);
  } else {
    out->append(xml_, 0, sheet_data_begin_);
  }
  if (sheet_data_empty_tag_) {
    const std::string_view tag =
        std::string_view(xml_).substr(sheet_data_begin_, sheet_data_content_ - sheet_data_begin_);
    xml::Scanner scanner(tag);
    const Token start = scanner.Next();
    out->push_back('<');
    out->append(start.name);
    out->append(start.attributes);
    out->push_back('>');
  } else {
    out->append(xml_, sheet_data_begin_, sheet_data_content_ - sheet_data_begin_);
  }
  return sheet_data_content_;
}

void WorksheetPart::AppendTail(std::string* out) const {
  if (sheet_data_empty_tag_) {
    out->append("</");
    out->append(prefix_);
    out->append("sheetData>");
    out->append(xml_, sheet_data_end_, std::string::npos);
  } else {
    out->append(xml_, sheet_data_close_, std::string::npos);
  }
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
