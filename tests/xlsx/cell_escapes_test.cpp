#include <gtest/gtest.h>

#include <string>

#include "platform/xlsx/cell_escapes.h"

namespace quillory::xlsx {
namespace {

TEST(CellEscapes, DecodeAndEncodeRoundTrip) {
  EXPECT_EQ(xml::DecodeCellEscapes("a_x000D__x0009_b"), "a\r\tb");
  EXPECT_EQ(xml::DecodeCellEscapes("_xD83D__xDE00_"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(xml::DecodeCellEscapes("_xD83D_x"), "\xEF\xBF\xBDx");  // lone surrogate
  EXPECT_EQ(xml::DecodeCellEscapes("_x00zz_ _x12_ _x-041_ _x+041_"),
            "_x00zz_ _x12_ _x-041_ _x+041_");
  EXPECT_EQ(xml::EncodeCellEscapes("a\rb\x01"), "a_x000D_b_x0001_");
  EXPECT_EQ(xml::EncodeCellEscapes("tab\tline\n"), "tab\tline\n");
  EXPECT_EQ(xml::EncodeCellEscapes("_x0041_"), "_x005F_x0041_");
  EXPECT_EQ(xml::EncodeCellEscapes("bad \xC3 utf8"), "bad \xEF\xBF\xBD utf8");
  for (const std::string text : {"_x0041_", "a\rb\x01\x7f", "_x005F_x", "plain", "\xE5\xA3\xB2"}) {
    EXPECT_EQ(xml::DecodeCellEscapes(xml::EncodeCellEscapes(text)), text);
  }
}

}  // namespace
}  // namespace quillory::xlsx
