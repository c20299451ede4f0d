#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillory::xlsx {

// `data` compressed as one raw deflate stream (what a zip entry holds), with its CRC-32. Large
// data is cut in two and compressed on two threads, the halves joined at a flush point.
struct Deflated {
  std::string bytes;
  std::uint32_t crc = 0;
  bool ok = false;
};
Deflated DeflateRaw(std::string_view data, int level);

}  // namespace quillory::xlsx
