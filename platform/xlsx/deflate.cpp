#include "platform/xlsx/deflate.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/xlsx/deflate_layout.h"

namespace quillory::xlsx {
namespace {

constexpr std::uint64_t kQuickFrom = std::uint64_t{8} << 20;

// A piece compressed as a stream of its own; all but the last made followable.
struct Piece {
  std::string bytes;
  std::uint32_t crc = 0;
  std::uint64_t size = 0;
};

// What one thread compresses with, kept from piece to piece.
class Worker {
 public:
  explicit Worker(int level) : compressor_(libdeflate_alloc_compressor(level)) {
    if (!compressor_) throw std::bad_alloc();
  }
  ~Worker() { libdeflate_free_compressor(compressor_); }
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  std::string& text() { return text_; }

  // False when the compressor's stream is not what was asked for; never expected, but what goes
  // into a workbook is checked: it must stand on its own and inflate to exactly `text`.
  bool Compress(std::string_view text, bool last, Piece* piece) {
    out_.resize(libdeflate_deflate_compress_bound(compressor_, text.size()));
    const std::size_t size = libdeflate_deflate_compress(compressor_, text.data(), text.size(),
                                                         out_.data(), out_.size());
    if (size == 0) return false;
    const DeflateLayout layout = ReadDeflateLayout(std::string_view(out_.data(), size));
    if (!layout.ok || layout.size != text.size() || (layout.end + 7) / 8 != size) return false;
    piece->bytes.assign(out_.data(), size);
    if (!last) MakeFollowable(layout, &piece->bytes);
    piece->crc = static_cast<std::uint32_t>(libdeflate_crc32(0, text.data(), text.size()));
    piece->size = text.size();
    return true;
  }

 private:
  libdeflate_compressor* compressor_;
  std::string text_;
  std::string out_;
};

using CompressPiece = std::function<bool(Worker& worker, std::size_t index, Piece* piece)>;

// Compresses every piece with `compress` on up to `threads` threads, this one among them, and
// joins them in order.
Deflated CompressAll(std::size_t count, unsigned threads, int level,
                     const CompressPiece& compress) {
  Deflated result;
  std::vector<Piece> pieces(count);
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::mutex mutex;
  std::exception_ptr thrown;
  const auto work = [&] {
    try {
      Worker worker(level);
      for (;;) {
        const std::size_t index = next.fetch_add(1, std::memory_order_relaxed);
        if (index >= count || failed.load(std::memory_order_relaxed)) break;
        if (!compress(worker, index, &pieces[index])) failed = true;
      }
    } catch (const std::bad_alloc&) {
      failed = true;
    } catch (...) {
      const std::lock_guard lock(mutex);
      if (!thrown) thrown = std::current_exception();
      failed = true;
    }
  };
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t helpers_wanted = std::min<std::size_t>(threads, count) - 1;
  std::vector<std::thread> helpers;
  helpers.reserve(helpers_wanted);
  for (std::size_t i = 0; i < helpers_wanted; ++i) {
    try {
      helpers.emplace_back(work);
    } catch (const std::system_error&) {  // no more threads to be had: fewer do the work
      break;
    }
  }
  work();
  for (std::thread& helper : helpers) helper.join();
  if (thrown) std::rethrow_exception(thrown);
  if (failed) return result;

  std::size_t total = 0;
  for (const Piece& piece : pieces) total += piece.bytes.size();
  result.bytes.reserve(total);
  for (Piece& piece : pieces) {
    result.bytes.append(piece.bytes);
    result.crc = result.size == 0 ? piece.crc
                                  : static_cast<std::uint32_t>(crc32_combine(
                                        result.crc, piece.crc, static_cast<z_off_t>(piece.size)));
    result.size += piece.size;
    std::string().swap(piece.bytes);
  }
  result.ok = true;
  return result;
}

}  // namespace

int DeflateLevel(std::uint64_t size) {
  return size > kQuickFrom ? 1 : 6;
}

Deflated DeflateRaw(std::string_view data, int level, unsigned threads) {
  const std::size_t count =
      std::max<std::size_t>(1, (data.size() + kDeflatePieceBytes - 1) / kDeflatePieceBytes);
  try {
    return CompressAll(count, threads, level, [&](Worker& worker, std::size_t index, Piece* piece) {
      return worker.Compress(data.substr(index * kDeflatePieceBytes, kDeflatePieceBytes),
                             index + 1 == count, piece);
    });
  } catch (const std::bad_alloc&) {
    return {};
  }
}

Deflated DeflatePieces(std::size_t count,
                       const std::function<void(std::size_t index, std::string* text)>& make,
                       int level, unsigned threads) {
  if (count == 0) return DeflateRaw({}, level, 1);
  try {
    return CompressAll(count, threads, level, [&](Worker& worker, std::size_t index, Piece* piece) {
      std::string& text = worker.text();
      text.clear();
      make(index, &text);
      return worker.Compress(text, index + 1 == count, piece);
    });
  } catch (const std::bad_alloc&) {
    return {};
  }
}

bool Inflate(const Deflated& deflated, std::string* text) {
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  if (!decompressor) throw std::bad_alloc();
  text->resize(static_cast<std::size_t>(deflated.size));
  std::size_t size = 0;
  const libdeflate_result result =
      libdeflate_deflate_decompress(decompressor, deflated.bytes.data(), deflated.bytes.size(),
                                    text->data(), text->size(), &size);
  libdeflate_free_decompressor(decompressor);
  return result == LIBDEFLATE_SUCCESS && size == deflated.size &&
         libdeflate_crc32(0, text->data(), text->size()) == deflated.crc;
}

}  // namespace quillory::xlsx
