#include "platform/xlsx/cell_ref.h"

#include <algorithm>
#include <optional>

#include "engine/ascii.h"

namespace quillory::xlsx {
namespace {

using ascii::IsDigit;
using ascii::IsLetter;

// A piece of a reference: "$AB" or "12" or "$12", with its absolute flag.
struct Part {
  bool absolute = false;
  std::int32_t value = 0;
};

std::optional<Part> ParseColumnPart(std::string_view text) {
  Part part;
  if (!text.empty() && text.front() == '$') {
    part.absolute = true;
    text.remove_prefix(1);
  }
  const auto column = ParseColumnName(text);
  if (!column) return std::nullopt;
  part.value = *column;
  return part;
}

std::optional<Part> ParseRowPart(std::string_view text) {
  Part part;
  if (!text.empty() && text.front() == '$') {
    part.absolute = true;
    text.remove_prefix(1);
  }
  const auto row = workbook::ParseRowNumber(text);
  if (!row) return std::nullopt;
  part.value = *row;
  return part;
}

// Splits "$AB$12" into its column and row pieces.
bool SplitCell(std::string_view text, std::string_view* column, std::string_view* row) {
  std::size_t i = 0;
  if (i < text.size() && text[i] == '$') ++i;
  const std::size_t letters = i;
  while (i < text.size() && IsLetter(text[i])) ++i;
  if (i == letters) return false;
  *column = text.substr(0, i);
  *row = text.substr(i);
  return true;
}

void AppendColumnPart(const Part& part, std::string* out) {
  if (part.absolute) out->push_back('$');
  out->append(ColumnName(part.value));
}

void AppendRowPart(const Part& part, std::string* out) {
  if (part.absolute) out->push_back('$');
  out->append(std::to_string(part.value));
}

bool Shift(Part* part, std::int32_t by, std::int32_t limit) {
  if (part->absolute) return true;
  const std::int64_t moved = static_cast<std::int64_t>(part->value) + by;
  if (moved < 1 || moved > limit) return false;
  part->value = static_cast<std::int32_t>(moved);
  return true;
}

// `text` as a cell reference moved by `rows` and `columns` into `moved`, which is left empty
// when it falls off the sheet. False when `text` is no cell reference.
bool ShiftCell(std::string_view text, std::int32_t rows, std::int32_t columns, std::string* moved) {
  std::string_view column_text, row_text;
  if (!SplitCell(text, &column_text, &row_text)) return false;
  auto column = ParseColumnPart(column_text);
  auto row = ParseRowPart(row_text);
  if (!column || !row) return false;
  moved->clear();
  if (Shift(&*column, columns, kMaxColumns) && Shift(&*row, rows, kMaxRows)) {
    AppendColumnPart(*column, moved);
    AppendRowPart(*row, moved);
  }
  return true;
}

bool IsWordChar(char c) {
  return IsLetter(c) || IsDigit(c) || c == '_' || c == '.' || c == '$' || c == '\\' ||
         static_cast<unsigned char>(c) >= 0x80;
}

}  // namespace

std::string ShiftFormula(std::string_view formula, std::int32_t rows, std::int32_t columns) {
  std::string out;
  out.reserve(formula.size() + 8);
  std::size_t pos = 0;
  const std::size_t size = formula.size();

  // Copies a quoted piece ("string" or 'sheet name') whose quote doubles as its escape.
  auto copy_quoted = [&](char quote) {
    std::size_t end = pos + 1;
    for (;;) {
      end = formula.find(quote, end);
      if (end == std::string_view::npos) {
        end = size;
        break;
      }
      if (end + 1 < size && formula[end + 1] == quote) {
        end += 2;
        continue;
      }
      ++end;
      break;
    }
    out.append(formula.substr(pos, end - pos));
    pos = end;
  };

  while (pos < size) {
    const char c = formula[pos];
    if (c == '"' || c == '\'') {
      copy_quoted(c);
      continue;
    }
    if (c == '[') {  // external book index or structured reference: copied as is
      std::size_t depth = 0, end = pos;
      for (; end < size; ++end) {
        if (formula[end] == '[') ++depth;
        if (formula[end] == ']' && --depth == 0) break;
      }
      end = std::min(end + 1, size);
      out.append(formula.substr(pos, end - pos));
      pos = end;
      continue;
    }
    if (c == '#') {  // error literal such as #REF! or #N/A
      std::size_t end = pos + 1;
      while (end < size && (IsLetter(formula[end]) || formula[end] == '/' || IsDigit(formula[end])))
        ++end;
      if (end < size && (formula[end] == '!' || formula[end] == '?')) ++end;
      out.append(formula.substr(pos, end - pos));
      pos = end;
      continue;
    }
    if (!IsWordChar(c)) {
      out.push_back(c);
      ++pos;
      continue;
    }
    std::size_t end = pos;
    while (end < size && IsWordChar(formula[end])) ++end;
    const std::string_view word = formula.substr(pos, end - pos);
    const char next = end < size ? formula[end] : '\0';
    pos = end;
    if (next == '(' || next == '!' || next == '[') {  // function, sheet or table name
      out.append(word);
      continue;
    }
    std::string_view column_text, row_text;
    if (SplitCell(word, &column_text, &row_text) && !row_text.empty()) {
      std::string moved;
      if (!ShiftCell(word, rows, columns, &moved)) {
        out.append(word);
        continue;
      }
      // A range with a corner pushed off the sheet becomes a single #REF!, not "A3:#REF!".
      if (next == ':') {
        std::size_t second_end = end + 1;
        while (second_end < size && IsWordChar(formula[second_end])) ++second_end;
        const char after = second_end < size ? formula[second_end] : '\0';
        std::string second;
        if (after != '(' && after != '!' && after != '[' &&
            ShiftCell(formula.substr(end + 1, second_end - end - 1), rows, columns, &second)) {
          const bool off = moved.empty() || second.empty();
          out.append(off ? "#REF!" : moved + ":" + second);
          pos = second_end;
          continue;
        }
      }
      out.append(moved.empty() ? "#REF!" : moved);
      continue;
    }
    // Whole columns (A:C) and whole rows (1:3) come in pairs around a colon.
    if (next == ':') {
      std::size_t second_end = end + 1;
      while (second_end < size && IsWordChar(formula[second_end])) ++second_end;
      const std::string_view second = formula.substr(end + 1, second_end - end - 1);
      auto first_column = ParseColumnPart(word);
      auto second_column = ParseColumnPart(second);
      auto first_row = ParseRowPart(word);
      auto second_row = ParseRowPart(second);
      const char after = second_end < size ? formula[second_end] : '\0';
      if (after != '(' && after != '!' && after != '[') {
        if (first_column && second_column) {
          if (Shift(&*first_column, columns, kMaxColumns) &&
              Shift(&*second_column, columns, kMaxColumns)) {
            AppendColumnPart(*first_column, &out);
            out.push_back(':');
            AppendColumnPart(*second_column, &out);
          } else {
            out.append("#REF!");
          }
          pos = second_end;
          continue;
        }
        if (first_row && second_row) {
          if (Shift(&*first_row, rows, kMaxRows) && Shift(&*second_row, rows, kMaxRows)) {
            AppendRowPart(*first_row, &out);
            out.push_back(':');
            AppendRowPart(*second_row, &out);
          } else {
            out.append("#REF!");
          }
          pos = second_end;
          continue;
        }
      }
    }
    out.append(word);
  }
  return out;
}

}  // namespace quillory::xlsx
