#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillory::xlsx {

// Where the blocks of one raw deflate stream lie, found by decoding the stream without keeping
// what it holds. A stream made whole by a compressor that cannot stop short of its final block
// needs this to be followed by another.
struct DeflateLayout {
  std::uint64_t last_block = 0;  // bit offset of the final block's header, its BFINAL bit
  std::uint64_t end = 0;         // bit offset just past the final block's end
  std::uint64_t size = 0;        // bytes the stream inflates to
  bool ok = false;               // false: not one whole, well-formed stream
};

// The layout of `stream`; not ok when it is malformed, ends early or refers back before its
// start. Never reads outside `stream`.
DeflateLayout ReadDeflateLayout(std::string_view stream);

// Makes the whole stream `stream`, laid out as `layout`, one that another stream can follow: its
// final block is final no more, and an empty stored block ends it on a byte boundary (what
// zlib's Z_SYNC_FLUSH writes). Bytes past the end are dropped.
void MakeFollowable(const DeflateLayout& layout, std::string* stream);

}  // namespace quillory::xlsx
