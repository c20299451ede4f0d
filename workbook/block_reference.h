#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillory::workbook {

// A block written the way users type one: "Sheet 1!B2:D9", "'My Sheet'!A1:B2" (a quote inside a
// quoted name is doubled), "$A$1:$C$9", or a single cell "B7". Without a sheet name the block is
// on the active sheet.
struct BlockReference {
  std::optional<std::string> sheet;
  std::int32_t first_row = 1;
  std::int32_t first_column = 1;
  std::int32_t last_row = 1;
  std::int32_t last_column = 1;
};

// Nothing when `text` is not such a reference, or names a cell beyond XFD1048576. Corners given
// in any order are put in order.
std::optional<BlockReference> ParseBlockReference(std::string_view text);

}  // namespace quillory::workbook
