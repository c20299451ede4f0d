#include "workbook/block_reference.h"

#include <algorithm>

namespace quillory::workbook {
namespace {

constexpr std::int32_t kLastRow = 1048576;
constexpr std::int32_t kLastColumn = 16384;

bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// "$B$7" -> row 7, column 2.
bool ParseCell(std::string_view text, std::int32_t& row, std::int32_t& column) {
  std::size_t at = 0;
  if (at < text.size() && text[at] == '$') ++at;
  std::int64_t letters = 0;
  const std::size_t letters_start = at;
  while (at < text.size() && IsLetter(text[at])) {
    letters = letters * 26 + ((text[at] | 0x20) - 'a' + 1);
    if (letters > kLastColumn) return false;
    ++at;
  }
  if (at == letters_start) return false;
  if (at < text.size() && text[at] == '$') ++at;
  std::int64_t number = 0;
  const std::size_t digits_start = at;
  while (at < text.size() && IsDigit(text[at])) {
    number = number * 10 + (text[at] - '0');
    if (number > kLastRow) return false;
    ++at;
  }
  if (at == digits_start || at != text.size() || number == 0) return false;
  row = static_cast<std::int32_t>(number);
  column = static_cast<std::int32_t>(letters);
  return true;
}

}  // namespace

std::optional<BlockReference> ParseBlockReference(std::string_view text) {
  BlockReference block;
  if (!text.empty() && text.front() == '\'') {
    std::string name;
    std::size_t at = 1;
    for (;; ++at) {
      if (at >= text.size()) return std::nullopt;
      if (text[at] == '\'') {
        if (at + 1 < text.size() && text[at + 1] == '\'') {
          name += '\'';
          ++at;
          continue;
        }
        break;
      }
      name += text[at];
    }
    if (name.empty() || at + 1 >= text.size() || text[at + 1] != '!') return std::nullopt;
    block.sheet = std::move(name);
    text.remove_prefix(at + 2);
  } else if (const std::size_t bang = text.rfind('!'); bang != std::string_view::npos) {
    if (bang == 0) return std::nullopt;
    block.sheet = std::string(text.substr(0, bang));
    text.remove_prefix(bang + 1);
  }

  const std::size_t colon = text.find(':');
  const std::string_view first = text.substr(0, colon);
  const std::string_view last = colon == std::string_view::npos ? first : text.substr(colon + 1);
  std::int32_t row1 = 0, column1 = 0, row2 = 0, column2 = 0;
  if (!ParseCell(first, row1, column1) || !ParseCell(last, row2, column2)) return std::nullopt;
  block.first_row = std::min(row1, row2);
  block.last_row = std::max(row1, row2);
  block.first_column = std::min(column1, column2);
  block.last_column = std::max(column1, column2);
  return block;
}

}  // namespace quillory::workbook
