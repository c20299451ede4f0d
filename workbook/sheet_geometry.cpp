#include "workbook/sheet_geometry.h"

#include <algorithm>

#include "engine/ascii.h"

namespace quillory::workbook {
namespace {

using ascii::IsDigit;
using ascii::IsLetter;

std::string_view WithoutDollar(std::string_view text) {
  if (!text.empty() && text.front() == '$') text.remove_prefix(1);
  return text;
}

}  // namespace

std::optional<std::int32_t> ParseColumnName(std::string_view letters) {
  if (letters.empty() || letters.size() > 3) return std::nullopt;
  std::int32_t column = 0;
  for (const char c : letters) {
    if (!IsLetter(c)) return std::nullopt;
    column = column * 26 + ((c | 0x20) - 'a' + 1);
  }
  if (column > kMaxColumns) return std::nullopt;
  return column;
}

std::optional<std::int32_t> ParseRowNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 7 || digits.front() == '0') return std::nullopt;
  std::int32_t row = 0;
  for (const char c : digits) {
    if (!IsDigit(c)) return std::nullopt;
    row = row * 10 + (c - '0');
  }
  if (row > kMaxRows) return std::nullopt;
  return row;
}

std::string ColumnName(std::int32_t column) {
  std::string name;
  for (; column > 0; column = (column - 1) / 26) {
    name.push_back(static_cast<char>('A' + (column - 1) % 26));
  }
  std::reverse(name.begin(), name.end());
  return name;
}

std::optional<CellRef> ParseCellRef(std::string_view text) {
  text = WithoutDollar(text);
  const auto letters_end =
      std::find_if(text.begin(), text.end(), [](char c) { return !IsLetter(c); });
  const auto length = static_cast<std::size_t>(letters_end - text.begin());
  const auto column = ParseColumnName(text.substr(0, length));
  const auto row = ParseRowNumber(WithoutDollar(text.substr(length)));
  if (!column || !row) return std::nullopt;
  return CellRef{*row, *column};
}

std::string CellName(std::int32_t row, std::int32_t column) {
  return ColumnName(column) + std::to_string(row);
}

std::optional<RangeRef> ParseRangeRef(std::string_view text) {
  const auto colon = text.find(':');
  const auto first = ParseCellRef(text.substr(0, colon));
  if (!first) return std::nullopt;
  if (colon == std::string_view::npos) return RangeRef{*first, *first};
  const auto last = ParseCellRef(text.substr(colon + 1));
  if (!last) return std::nullopt;
  return RangeRef{{std::min(first->row, last->row), std::min(first->column, last->column)},
                  {std::max(first->row, last->row), std::max(first->column, last->column)}};
}

std::string RangeName(const RangeRef& range) {
  if (range.IsSingleCell()) return CellName(range.first.row, range.first.column);
  return CellName(range.first.row, range.first.column) + ":" +
         CellName(range.last.row, range.last.column);
}

}  // namespace quillory::workbook
