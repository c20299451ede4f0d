#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quillory::xlsx {

// One raw deflate stream (what a zip entry holds), with the CRC-32 and size of what it holds.
struct Deflated {
  std::string bytes;
  std::uint32_t crc = 0;
  std::uint64_t size = 0;
  bool ok = false;
};

// Text is compressed in pieces of about this size, as many at once as there are cores; the
// pieces are joined into one stream. The same size at every part size, so time grows with it
// evenly.
inline constexpr std::size_t kDeflatePieceBytes = std::size_t{1} << 20;

// The level for a part of about `size` bytes: parts up to 8 MB tightly, bigger ones quickly.
int DeflateLevel(std::uint64_t size);

// `data` as one raw deflate stream, compressed in pieces on up to `threads` threads at once (0:
// one per core). The stream inflates to `data` whatever the number of threads. Not ok only when
// memory runs out.
Deflated DeflateRaw(std::string_view data, int level, unsigned threads = 0);

// One stream made of `count` pieces of text: `make(i, text)` appends piece i to the empty
// `text`. Pieces are made and compressed on up to `threads` threads at once (0: one per core),
// so `make` is called from several threads; what it throws is thrown here once every thread has
// stopped. Not ok only when memory runs out.
Deflated DeflatePieces(std::size_t count,
                       const std::function<void(std::size_t index, std::string* text)>& make,
                       int level, unsigned threads = 0);

// What `deflated` holds, inflated; false when it does not inflate to its size and CRC.
bool Inflate(const Deflated& deflated, std::string* text);

}  // namespace quillory::xlsx
