#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/xlsx/deflate.h"
#include "platform/xlsx/deflate_layout.h"

// The compression of rewritten parts: streams joined from pieces compressed on their own, checked
// by zlib's inflate, which is what other programs read them with.
namespace quillory::xlsx {
namespace {

// What zlib inflates `stream` to; `whole` is false when it is not one complete stream.
std::string ZlibInflate(const std::string& stream, bool* whole, std::size_t* used = nullptr) {
  z_stream z{};
  EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
  z.avail_in = static_cast<uInt>(stream.size());
  std::string out;
  int result = Z_OK;
  char buffer[1 << 16];
  while (result == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    result = inflate(&z, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - z.avail_out);
    if (result == Z_BUF_ERROR && z.avail_in > 0) result = Z_OK;
  }
  *whole = result == Z_STREAM_END;
  if (used) *used = stream.size() - z.avail_in;
  inflateEnd(&z);
  return out;
}

// `text` compressed by zlib; `flush` Z_SYNC_FLUSH leaves it open for more.
std::string ZlibDeflate(const std::string& text, int level, int strategy = Z_DEFAULT_STRATEGY,
                        int flush = Z_FINISH, const std::string& dictionary = "") {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy), Z_OK);
  if (!dictionary.empty()) {
    deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary.data()),
                         static_cast<uInt>(dictionary.size()));
  }
  std::string out(deflateBound(&z, static_cast<uLong>(text.size())) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, flush);
  out.resize(out.size() - z.avail_out);
  deflateEnd(&z);
  return out;
}

std::uint32_t Crc(const std::string& text) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
}

// Sheet markup much like what a conversion writes: words of varying length, row after row.
std::string SheetLikeText(std::size_t size, unsigned seed = 1) {
  static const char* const kWords[] = {"One",   "Two",     "Three",    "Forty", "Hundred",
                                       "Point", "Million", "Thousand", "Seven", "Ninety"};
  std::mt19937 random(seed);
  std::string text;
  for (int row = 1; text.size() < size; ++row) {
    text += "<row r=\"" + std::to_string(row) + "\">";
    for (char column = 'A'; column <= 'J'; ++column) {
      text += "<c r=\"";
      text += column;
      text += std::to_string(row) + "\" t=\"inlineStr\"><is><t>";
      for (int w = 0; w < 4 + static_cast<int>(random() % 6); ++w) {
        text += kWords[random() % 10];
        text += ' ';
      }
      text += std::to_string(random() % 100) + "</t></is></c>";
    }
    text += "</row>";
  }
  text.resize(size);
  return text;
}

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

TEST(DeflateLayout, FindsTheEndAndTheLastBlockOfEveryKindOfBlock) {
  const std::string text = SheetLikeText(300000);
  struct Case {
    const char* name;
    int level;
    int strategy;
  } cases[] = {{"stored", 0, Z_DEFAULT_STRATEGY},
               {"fixed codes", 6, Z_FIXED},
               {"dynamic codes", 9, Z_DEFAULT_STRATEGY},
               {"Huffman only", 6, Z_HUFFMAN_ONLY},
               {"runs", 6, Z_RLE}};
  for (const Case& c : cases) {
    // An opening piece left open, then a short last piece: the last block starts where the
    // opening piece ends.
    const std::string opening = ZlibDeflate(text, c.level, c.strategy, Z_SYNC_FLUSH);
    const std::string closing = ZlibDeflate("the end", c.level, c.strategy);
    const DeflateLayout layout = ReadDeflateLayout(opening + closing);
    ASSERT_TRUE(layout.ok) << c.name;
    EXPECT_EQ(layout.size, text.size() + 7) << c.name;
    EXPECT_EQ(layout.last_block, opening.size() * 8) << c.name;
    EXPECT_EQ((layout.end + 7) / 8, opening.size() + closing.size()) << c.name;
    // Bytes after the stream are not part of it.
    const DeflateLayout trailing = ReadDeflateLayout(opening + closing + "garbage");
    EXPECT_TRUE(trailing.ok) << c.name;
    EXPECT_EQ(trailing.end, layout.end) << c.name;
  }
  const DeflateLayout empty = ReadDeflateLayout(ZlibDeflate("", 6));
  ASSERT_TRUE(empty.ok);
  EXPECT_EQ(empty.size, 0u);
  EXPECT_EQ(empty.last_block, 0u);
}

TEST(DeflateLayout, RefusesWhatIsNotOneWholeStream) {
  const std::string text = SheetLikeText(20000);
  const std::string stream = ZlibDeflate(text, 6);
  EXPECT_FALSE(ReadDeflateLayout("").ok);
  EXPECT_FALSE(ReadDeflateLayout(std::string(1, '\x07')).ok) << "block type 3";
  EXPECT_FALSE(ReadDeflateLayout(std::string("\x01\x05\x00\xfb\xff", 5) + "abc").ok)
      << "a stored block longer than what follows";
  EXPECT_FALSE(ReadDeflateLayout(std::string("\x01\x03\x00\xfb\xff", 5) + "abc").ok)
      << "a stored length whose complement does not match";
  // Referring back into a preset dictionary: not whole on its own.
  EXPECT_FALSE(ReadDeflateLayout(ZlibDeflate(text, 6, Z_DEFAULT_STRATEGY, Z_FINISH, text)).ok);
  // Cut anywhere, it ends early.
  for (std::size_t size = 0; size < stream.size(); size += 1 + size / 50) {
    EXPECT_FALSE(ReadDeflateLayout(stream.substr(0, size)).ok) << size;
  }
}

TEST(DeflateLayout, DamagedStreamsAreReadWithinTheirBytesAndNeverTakenForOthers) {
  // Whatever the damage, the layout either agrees with zlib or is refused (run under the
  // sanitizers, nothing is read outside the stream).
  const std::string stream = ZlibDeflate(SheetLikeText(5000), 9);
  std::mt19937 random(7);
  for (int round = 0; round < 3000; ++round) {
    std::string damaged = stream;
    for (int flips = 1 + static_cast<int>(random() % 3); flips > 0; --flips) {
      damaged[random() % damaged.size()] ^= static_cast<char>(1 << (random() % 8));
    }
    const DeflateLayout layout = ReadDeflateLayout(damaged);
    bool whole = false;
    std::size_t used = 0;
    const std::string inflated = ZlibInflate(damaged, &whole, &used);
    if (whole) {
      ASSERT_TRUE(layout.ok) << round;
      EXPECT_EQ(layout.size, inflated.size()) << round;
      EXPECT_EQ((layout.end + 7) / 8, used) << round;
    }
  }
}

TEST(DeflateLayout, AFollowableStreamIsFollowedAtEveryBitOfItsLastByte) {
  // Streams whose ends fall on each of the eight bit positions of a byte.
  std::vector<bool> seen(8, false);
  const std::string follower = ZlibDeflate("and what follows", 6);
  for (unsigned seed = 1; seed < 400 && std::count(seen.begin(), seen.end(), false) > 0; ++seed) {
    const std::string text = SheetLikeText(100 + seed * 37, seed);
    std::string stream = ZlibDeflate(text, 1 + static_cast<int>(seed % 9));
    const DeflateLayout layout = ReadDeflateLayout(stream);
    ASSERT_TRUE(layout.ok) << seed;
    seen[layout.end % 8] = true;
    MakeFollowable(layout, &stream);
    bool whole = false;
    EXPECT_EQ(ZlibInflate(stream + follower, &whole), text + "and what follows") << seed;
    EXPECT_TRUE(whole) << seed;
    // On its own it is no longer complete.
    ZlibInflate(stream, &whole);
    EXPECT_FALSE(whole) << seed;
  }
  EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 8);
}

TEST(Deflate, JoinedPiecesInflateToTheDataAtEveryPieceBoundaryAndThreadCount) {
  constexpr std::size_t kPiece = kDeflatePieceBytes;
  const std::string big = SheetLikeText(3 * kPiece + 4096, 3);
  const std::size_t sizes[] = {
      0, 1, 100, kPiece - 1, kPiece, kPiece + 1, 2 * kPiece, 2 * kPiece + 1, 3 * kPiece + 4096};
  for (const int level : {1, 6}) {
    for (const std::size_t size : sizes) {
      const std::string data = big.substr(0, size);
      std::string one_thread;
      for (const unsigned threads : {1u, 2u, 3u, 8u}) {
        const Deflated deflated = DeflateRaw(data, level, threads);
        ASSERT_TRUE(deflated.ok) << size << " on " << threads;
        bool whole = false;
        ASSERT_EQ(ZlibInflate(deflated.bytes, &whole), data) << size << " on " << threads;
        EXPECT_TRUE(whole);
        EXPECT_EQ(deflated.size, data.size());
        EXPECT_EQ(deflated.crc, Crc(data)) << size << " on " << threads;
        // The pieces do not depend on the threads: the file is the same however it was made.
        if (threads == 1) one_thread = deflated.bytes;
        EXPECT_EQ(deflated.bytes, one_thread) << size << " on " << threads;
      }
    }
  }
}

TEST(Deflate, DataThatDoesNotCompressIsStillWhole) {
  const std::string data = RandomBytes(kDeflatePieceBytes * 2 + 5, 11);
  const Deflated deflated = DeflateRaw(data, 6, 2);
  ASSERT_TRUE(deflated.ok);
  bool whole = false;
  EXPECT_EQ(ZlibInflate(deflated.bytes, &whole), data);
  EXPECT_TRUE(whole);
  EXPECT_EQ(deflated.crc, Crc(data));
}

TEST(Deflate, PiecesAreMadeOnTheWorkersAndJoinedInOrder) {
  // Pieces of very different sizes, empty ones among them.
  std::vector<std::string> pieces;
  std::string joined;
  for (int i = 0; i < 40; ++i) {
    pieces.push_back(i % 7 == 3 ? ""
                                : SheetLikeText(static_cast<std::size_t>(i) * 9973 % 300000, i));
    joined += pieces.back();
  }
  std::atomic<int> made{0};
  const Deflated deflated = DeflatePieces(
      pieces.size(),
      [&](std::size_t index, std::string* text) {
        EXPECT_TRUE(text->empty());
        *text += pieces[index];
        ++made;
      },
      1, 4);
  ASSERT_TRUE(deflated.ok);
  EXPECT_EQ(made, 40);
  bool whole = false;
  EXPECT_EQ(ZlibInflate(deflated.bytes, &whole), joined);
  EXPECT_TRUE(whole);
  EXPECT_EQ(deflated.crc, Crc(joined));
  EXPECT_EQ(deflated.size, joined.size());

  const Deflated none = DeflatePieces(
      0, [](std::size_t, std::string*) {}, 6);
  ASSERT_TRUE(none.ok);
  EXPECT_EQ(ZlibInflate(none.bytes, &whole), "");
  EXPECT_TRUE(whole);
}

TEST(Deflate, WhatMakingAPieceThrowsIsThrownOnceAllHaveStopped) {
  std::atomic<int> running{0};
  EXPECT_THROW(DeflatePieces(
                   100,
                   [&](std::size_t index, std::string* text) {
                     ++running;
                     *text = SheetLikeText(1000);
                     --running;
                     if (index == 17) throw std::runtime_error("piece 17");
                   },
                   6, 4),
               std::runtime_error);
  EXPECT_EQ(running, 0);
}

TEST(Deflate, InflateGivesBackTheTextAndRefusesDamage) {
  const std::string text = SheetLikeText(kDeflatePieceBytes + 99);
  Deflated deflated = DeflateRaw(text, 6);
  std::string back;
  ASSERT_TRUE(Inflate(deflated, &back));
  EXPECT_EQ(back, text);
  deflated.crc ^= 1;
  EXPECT_FALSE(Inflate(deflated, &back));
  deflated.crc ^= 1;
  deflated.bytes.resize(deflated.bytes.size() / 2);
  EXPECT_FALSE(Inflate(deflated, &back));
}

TEST(Deflate, SavedSheetsStayWithinATenthOfWhatZlibMadeOfThem) {
  // Before, sheets up to 8 MB were compressed by zlib at level 6 and bigger ones at level 1; the
  // faster compression must not make workbooks noticeably bigger.
  for (const std::size_t size : {std::size_t{200000}, std::size_t{9} << 20}) {
    const std::string text = SheetLikeText(size, 5);
    const int before = size > (std::size_t{8} << 20) ? 1 : 6;
    const Deflated deflated = DeflateRaw(text, DeflateLevel(size));
    ASSERT_TRUE(deflated.ok);
    const double zlib_size = static_cast<double>(ZlibDeflate(text, before).size());
    EXPECT_LE(static_cast<double>(deflated.bytes.size()), zlib_size * 1.10) << size;
  }
}

}  // namespace
}  // namespace quillory::xlsx
