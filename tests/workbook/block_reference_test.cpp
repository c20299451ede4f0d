#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <string_view>

#include "workbook/block_reference.h"

namespace quillory::workbook {
namespace {

struct ReferenceRow {
  const char* text;
  const char* sheet;  // nullptr: no sheet; "-": not a reference
  std::int32_t first_row, first_column, last_row, last_column;
};

void PrintTo(const ReferenceRow& row, std::ostream* out) {
  *out << '"' << row.text << '"';
}

class BlockReferences : public ::testing::TestWithParam<ReferenceRow> {};

TEST_P(BlockReferences, ParseAsUsersTypeThem) {
  const ReferenceRow& row = GetParam();
  const auto parsed = ParseBlockReference(row.text);
  if (row.sheet != nullptr && std::string_view(row.sheet) == "-") {
    EXPECT_FALSE(parsed) << row.text;
    return;
  }
  ASSERT_TRUE(parsed) << row.text;
  EXPECT_EQ(parsed->sheet, row.sheet ? std::optional<std::string>(row.sheet) : std::nullopt);
  EXPECT_EQ(parsed->first_row, row.first_row);
  EXPECT_EQ(parsed->first_column, row.first_column);
  EXPECT_EQ(parsed->last_row, row.last_row);
  EXPECT_EQ(parsed->last_column, row.last_column);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BlockReferences,
    ::testing::Values(
        ReferenceRow{"Sheet 1!B2:D9", "Sheet 1", 2, 2, 9, 4},
        ReferenceRow{"'My Sheet'!A1:B2", "My Sheet", 1, 1, 2, 2},
        ReferenceRow{"'Bob''s'!c3", "Bob's", 3, 3, 3, 3},
        ReferenceRow{"'a!b'!A1", "a!b", 1, 1, 1, 1}, ReferenceRow{"$A$1:$C$9", nullptr, 1, 1, 9, 3},
        ReferenceRow{"C9:A1", nullptr, 1, 1, 9, 3},
        ReferenceRow{"S!XFD1048576", "S", 1048576, 16384, 1048576, 16384},
        ReferenceRow{"S!XFE1", "-", 0, 0, 0, 0}, ReferenceRow{"S!A1048577", "-", 0, 0, 0, 0},
        ReferenceRow{"S!A0", "-", 0, 0, 0, 0}, ReferenceRow{"S!A1:", "-", 0, 0, 0, 0},
        ReferenceRow{"S!1:2", "-", 0, 0, 0, 0}, ReferenceRow{"!A1", "-", 0, 0, 0, 0},
        ReferenceRow{"''!A1", "-", 0, 0, 0, 0}, ReferenceRow{"'open!A1", "-", 0, 0, 0, 0},
        ReferenceRow{"A1B2", "-", 0, 0, 0, 0}, ReferenceRow{"", "-", 0, 0, 0, 0}),
    [](const ::testing::TestParamInfo<ReferenceRow>& info) {
      // Names from the typed text: letters and digits kept, anything else spelled as "_".
      std::string name = "row" + std::to_string(info.index) + "_";
      for (const char c : std::string_view(info.param.text)) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      }
      return name;
    });

}  // namespace
}  // namespace quillory::workbook
