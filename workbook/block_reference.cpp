#include "workbook/block_reference.h"

#include "workbook/sheet_geometry.h"

namespace quillory::workbook {

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

  const auto range = ParseRangeRef(text);
  if (!range) return std::nullopt;
  block.first_row = range->first.row;
  block.first_column = range->first.column;
  block.last_row = range->last.row;
  block.last_column = range->last.column;
  return block;
}

}  // namespace quillory::workbook
