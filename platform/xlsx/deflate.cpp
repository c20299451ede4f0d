#include "platform/xlsx/deflate.h"

#include <zlib.h>

#include <algorithm>
#include <new>
#include <system_error>
#include <thread>

namespace quillory::xlsx {
namespace {

constexpr std::size_t kWindow = 32768;
constexpr std::size_t kTwoThreadsFrom = std::size_t{4} << 20;

// Compresses `piece`; `dictionary` is the data just before it, `last` ends the stream.
bool DeflatePiece(std::string_view piece, std::string_view dictionary, bool last, int level,
                  std::string* out, std::uint32_t* crc) {
  // Sized before the stream exists, so a failing allocation leaves nothing behind.
  out->resize(compressBound(static_cast<uLong>(piece.size())) + 64);
  z_stream stream{};
  if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  bool ok = true;
  if (!dictionary.empty()) {
    ok = deflateSetDictionary(&stream, reinterpret_cast<const Bytef*>(dictionary.data()),
                              static_cast<uInt>(dictionary.size())) == Z_OK;
  }
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
  stream.avail_in = static_cast<uInt>(piece.size());
  stream.next_out = reinterpret_cast<Bytef*>(out->data());
  stream.avail_out = static_cast<uInt>(out->size());
  // A piece that is not the last ends on a byte boundary with no final block, so the next
  // piece's blocks can follow it directly.
  const int result = ok ? deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH) : Z_STREAM_ERROR;
  ok = ok && (last ? result == Z_STREAM_END : result == Z_OK) && stream.avail_in == 0;
  out->resize(out->size() - stream.avail_out);
  deflateEnd(&stream);
  *crc = static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(piece.data()), static_cast<uInt>(piece.size())));
  return ok;
}

}  // namespace

Deflated DeflateRaw(std::string_view data, int level) {
  Deflated result;
  // zlib counts in 32-bit units; a part that large is written by libzip itself.
  if (data.size() >= (std::size_t{1} << 31)) return result;
  if (data.size() < kTwoThreadsFrom) {
    result.ok = DeflatePiece(data, {}, true, level, &result.bytes, &result.crc);
    return result;
  }
  const std::size_t half = data.size() / 2;
  const std::string_view first = data.substr(0, half);
  const std::string_view second = data.substr(half);
  const std::string_view dictionary = first.substr(first.size() - std::min(kWindow, first.size()));
  std::string second_bytes;
  std::uint32_t second_crc = 0;
  bool second_ok = false;
  std::thread worker;
  try {
    worker = std::thread([&] {
      try {
        second_ok = DeflatePiece(second, dictionary, true, level, &second_bytes, &second_crc);
      } catch (const std::bad_alloc&) {  // not ok: libzip compresses the part itself
      }
    });
  } catch (const std::system_error&) {
    result.ok = DeflatePiece(data, {}, true, level, &result.bytes, &result.crc);
    return result;
  }
  std::uint32_t first_crc = 0;
  bool first_ok = false;
  try {
    first_ok = DeflatePiece(first, {}, false, level, &result.bytes, &first_crc);
  } catch (const std::bad_alloc&) {
  }
  worker.join();
  if (!first_ok || !second_ok) return result;
  result.bytes.append(second_bytes);
  result.crc = static_cast<std::uint32_t>(
      crc32_combine(first_crc, second_crc, static_cast<z_off_t>(second.size())));
  result.ok = true;
  return result;
}

}  // namespace quillory::xlsx
