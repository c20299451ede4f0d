// The layout reader on arbitrary bytes, checked against zlib's inflate: whatever zlib inflates
// whole, the layout reader must find whole, of the same size and ending on the same byte; and a
// stream made followable must be followed by another as zlib reads them.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/xlsx/deflate_layout.h"

namespace {

// What zlib makes of `stream`: its inflated size, or -1 when it is not one whole stream.
long long Inflated(const std::string& stream, std::size_t* used) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) std::abort();
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
  z.avail_in = static_cast<uInt>(stream.size());
  long long size = 0;
  int result = Z_OK;
  unsigned char buffer[1 << 14];
  while (result == Z_OK && size < (1 << 24)) {
    z.next_out = buffer;
    z.avail_out = sizeof buffer;
    result = inflate(&z, Z_NO_FLUSH);
    size += static_cast<long long>(sizeof buffer - z.avail_out);
    if (result == Z_BUF_ERROR && z.avail_out == 0) result = Z_OK;
  }
  *used = stream.size() - z.avail_in;
  inflateEnd(&z);
  return result == Z_STREAM_END ? size : -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillory::xlsx;
  std::string stream(reinterpret_cast<const char*>(data), size);
  const DeflateLayout layout = ReadDeflateLayout(stream);
  std::size_t used = 0;
  const long long inflated = Inflated(stream, &used);
  if (inflated < 0 || inflated >= (1 << 24)) return 0;
  if (!layout.ok || layout.size != static_cast<std::uint64_t>(inflated) ||
      (layout.end + 7) / 8 != used) {
    std::abort();
  }
  MakeFollowable(layout, &stream);
  stream += std::string("\x03\x00", 2);  // an empty final block
  if (Inflated(stream, &used) != inflated) std::abort();
  return 0;
}
