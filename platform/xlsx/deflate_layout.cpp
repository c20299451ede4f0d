#include "platform/xlsx/deflate_layout.h"

#include <array>
#include <cstring>
#include <memory>

namespace quillory::xlsx {
namespace {

// Codes up to this many bits are decoded by one table look-up; longer ones, which are rare, one
// bit at a time.
constexpr int kLiteralTableBits = 11;
constexpr int kDistanceTableBits = 8;
constexpr int kMostCodeBits = 15;

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                           15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                           67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistanceBase[30] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
// The order in which a dynamic block gives the lengths of its code-length code.
constexpr std::uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                               11, 4,  12, 3, 13, 2, 14, 1, 15};

// What a symbol means, packed with its code length into one table entry:
// bits 0-3 code length (0: not in the table), 4-7 extra bits, 8-9 kind, 16-31 base.
enum Kind : std::uint32_t { kLiteral = 0, kEndOfBlock = 1, kCopy = 2, kInvalid = 3 };

constexpr std::uint32_t Meaning(Kind kind, std::uint32_t extra = 0, std::uint32_t base = 0) {
  return (extra << 4) | (static_cast<std::uint32_t>(kind) << 8) | (base << 16);
}
constexpr int LengthOf(std::uint32_t entry) {
  return static_cast<int>(entry & 15);
}
constexpr int ExtraOf(std::uint32_t entry) {
  return static_cast<int>((entry >> 4) & 15);
}
constexpr Kind KindOf(std::uint32_t entry) {
  return static_cast<Kind>((entry >> 8) & 3);
}
constexpr std::uint32_t BaseOf(std::uint32_t entry) {
  return entry >> 16;
}

std::uint32_t LiteralMeaning(int symbol) {
  if (symbol < 256) return Meaning(kLiteral);
  if (symbol == 256) return Meaning(kEndOfBlock);
  if (symbol <= 285) return Meaning(kCopy, kLengthExtra[symbol - 257], kLengthBase[symbol - 257]);
  return Meaning(kInvalid);
}

std::uint32_t DistanceMeaning(int symbol) {
  if (symbol >= 30) return Meaning(kInvalid);
  return Meaning(kCopy, symbol < 4 ? 0 : symbol / 2 - 1, kDistanceBase[symbol]);
}

// Reads a stream's bits, least significant first, a 64-bit word at a time. Past the end it reads
// zeros, far enough to finish a symbol; the caller checks that nothing past the end was used.
class BitReader {
 public:
  explicit BitReader(std::string_view bytes)
      : begin_(reinterpret_cast<const unsigned char*>(bytes.data())),
        next_(begin_),
        end_(begin_ + bytes.size()) {}

  // At least 56 bits are buffered afterwards. False once reading has run well past the end.
  bool Refill() {
    if (end_ - next_ >= 8) {
      std::uint64_t word;
      std::memcpy(&word, next_, 8);
      // Bits above have_ already hold the same bytes, or zeros: or-ing them again is harmless.
      bits_ |= word << have_;
      next_ += (63 - have_) >> 3;
      have_ |= 56;
      return true;
    }
    while (have_ <= 56) {
      if (next_ < end_) {
        bits_ |= static_cast<std::uint64_t>(*next_++) << have_;
      } else {
        ++past_end_;
      }
      have_ += 8;
    }
    return past_end_ <= 16;
  }
  std::uint32_t Peek(int count) const {
    return static_cast<std::uint32_t>(bits_ & ((std::uint64_t{1} << count) - 1));
  }
  void Drop(int count) {
    bits_ >>= count;
    have_ -= count;
  }
  std::uint32_t Take(int count) {
    const std::uint32_t value = Peek(count);
    Drop(count);
    return value;
  }
  // Bits read so far, zeros past the end included.
  std::uint64_t used() const {
    return (static_cast<std::uint64_t>(next_ - begin_) + past_end_) * 8 -
           static_cast<std::uint64_t>(have_);
  }

  void ToByteBoundary() { Drop(have_ & 7); }
  // Skips `count` whole bytes from a byte boundary; false when the stream ends first.
  bool SkipBytes(std::uint64_t count) {
    const auto buffered = static_cast<std::uint64_t>(have_ >> 3);
    if (count <= buffered) {
      Drop(static_cast<int>(count * 8));
      return true;
    }
    count -= buffered;
    if (past_end_ > 0 || static_cast<std::uint64_t>(end_ - next_) < count) return false;
    bits_ = 0;
    have_ = 0;
    next_ += count;
    return true;
  }

 private:
  const unsigned char* begin_;
  const unsigned char* next_;  // the first byte not yet buffered
  const unsigned char* end_;
  std::uint64_t bits_ = 0;
  int have_ = 0;                // bits buffered
  std::uint64_t past_end_ = 0;  // zero bytes buffered past the end
};

// A canonical Huffman code: a table for short codes, counts and sorted symbols for the rest.
template <int kTableBits>
class Code {
 public:
  // False when the lengths over-subscribe the code. An incomplete code is accepted; reading one
  // of its missing codes fails.
  bool Build(const std::uint8_t* lengths, int symbols, std::uint32_t (*meaning)(int)) {
    std::array<std::uint16_t, kMostCodeBits + 1> count{};
    for (int s = 0; s < symbols; ++s) ++count[lengths[s]];
    count[0] = 0;
    int left = 1;
    for (int length = 1; length <= kMostCodeBits; ++length) {
      left = (left << 1) - count[length];
      if (left < 0) return false;
    }
    std::array<std::uint16_t, kMostCodeBits + 1> offset{};
    for (int length = 1; length < kMostCodeBits; ++length) {
      offset[length + 1] = static_cast<std::uint16_t>(offset[length] + count[length]);
    }
    std::array<std::uint32_t, kMostCodeBits + 1> next{};
    std::uint32_t code = 0;
    for (int length = 1; length <= kMostCodeBits; ++length) {
      code = (code + count[length - 1]) << 1;
      next[length] = code;
    }
    count_ = count;
    table_.fill(0);
    for (int s = 0; s < symbols; ++s) {
      const int length = lengths[s];
      if (length == 0) continue;
      sorted_[offset[length]++] = static_cast<std::uint16_t>(s);
      meaning_[s] = meaning(s);
      const std::uint32_t value = next[length]++;
      if (length > kTableBits) continue;
      std::uint32_t reversed = 0;
      for (int bit = 0; bit < length; ++bit) reversed |= ((value >> bit) & 1) << (length - 1 - bit);
      const std::uint32_t entry = meaning_[s] | static_cast<std::uint32_t>(length);
      for (std::uint32_t i = reversed; i < table_.size(); i += 1u << length) table_[i] = entry;
    }
    return true;
  }

  // The entry of the next symbol with its code consumed, or one of kind kInvalid.
  std::uint32_t Decode(BitReader& in) const {
    const std::uint32_t entry = table_[in.Peek(kTableBits)];
    if (LengthOf(entry) != 0) {
      in.Drop(LengthOf(entry));
      return entry;
    }
    const int symbol = DecodeSlowly(in);
    return symbol < 0 ? Meaning(kInvalid) : meaning_[symbol];
  }

  // The next symbol read bit by bit, or -1 for a code the stream does not define.
  int DecodeSlowly(BitReader& in) const {
    int code = 0, first = 0, index = 0;
    for (int length = 1; length <= kMostCodeBits; ++length) {
      code |= static_cast<int>(in.Take(1));
      const int count = count_[length];
      if (code - first < count) return sorted_[index + code - first];
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    return -1;
  }

 private:
  std::array<std::uint32_t, std::size_t{1} << kTableBits> table_{};
  std::array<std::uint16_t, kMostCodeBits + 1> count_{};
  std::array<std::uint16_t, 320> sorted_{};
  std::array<std::uint32_t, 320> meaning_{};
};

std::uint32_t NoMeaning(int) {
  return Meaning(kInvalid);
}

// Reads a dynamic block's header into `lengths`: literal/length code lengths, then distance ones.
bool ReadDynamicLengths(BitReader& in, std::uint8_t* lengths, int* literals, int* distances) {
  in.Refill();
  *literals = static_cast<int>(in.Take(5)) + 257;
  *distances = static_cast<int>(in.Take(5)) + 1;
  const int code_lengths = static_cast<int>(in.Take(4)) + 4;
  if (*literals > 286 || *distances > 30) return false;
  std::uint8_t code_length_lengths[19] = {};
  for (int i = 0; i < code_lengths; ++i) {
    in.Refill();
    code_length_lengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(in.Take(3));
  }
  Code<7> code_length_code;
  if (!code_length_code.Build(code_length_lengths, 19, NoMeaning)) return false;
  const int total = *literals + *distances;
  for (int i = 0; i < total;) {
    if (!in.Refill()) return false;
    const int symbol = code_length_code.DecodeSlowly(in);
    if (symbol < 0) return false;
    if (symbol < 16) {
      lengths[i++] = static_cast<std::uint8_t>(symbol);
      continue;
    }
    std::uint8_t value = 0;
    int repeat = 0;
    if (symbol == 16) {
      if (i == 0) return false;
      value = lengths[i - 1];
      repeat = 3 + static_cast<int>(in.Take(2));
    } else if (symbol == 17) {
      repeat = 3 + static_cast<int>(in.Take(3));
    } else {
      repeat = 11 + static_cast<int>(in.Take(7));
    }
    if (i + repeat > total) return false;
    std::memset(lengths + i, value, static_cast<std::size_t>(repeat));
    i += repeat;
  }
  return lengths[256] != 0;  // a block without an end cannot end
}

}  // namespace

DeflateLayout ReadDeflateLayout(std::string_view stream) {
  BitReader in(stream);
  // Big tables, kept off the stack.
  auto literal_code = std::make_unique<Code<kLiteralTableBits>>();
  auto distance_code = std::make_unique<Code<kDistanceTableBits>>();
  std::uint64_t size = 0;
  std::uint64_t last_block = 0;
  bool final_block = false;
  while (!final_block) {
    if (!in.Refill()) return {};
    last_block = in.used();
    final_block = in.Take(1) != 0;
    const std::uint32_t type = in.Take(2);
    if (type == 0) {  // stored
      in.ToByteBoundary();
      in.Refill();
      const std::uint32_t length = in.Take(16);
      if ((in.Take(16) ^ 0xFFFFu) != length || !in.SkipBytes(length)) return {};
      size += length;
      continue;
    }
    if (type == 3) return {};
    std::uint8_t lengths[286 + 30] = {};
    int literals = 288, distances = 30;
    if (type == 1) {  // the fixed codes
      std::memset(lengths, 8, 144);
      std::memset(lengths + 144, 9, 112);
      std::memset(lengths + 256, 7, 24);
      std::memset(lengths + 280, 8, 8);
      literal_code->Build(lengths, 288, LiteralMeaning);
      std::uint8_t fixed_distances[30];
      std::memset(fixed_distances, 5, 30);
      distance_code->Build(fixed_distances, 30, DistanceMeaning);
    } else {
      if (!ReadDynamicLengths(in, lengths, &literals, &distances) ||
          !literal_code->Build(lengths, literals, LiteralMeaning) ||
          !distance_code->Build(lengths + literals, distances, DistanceMeaning)) {
        return {};
      }
    }
    for (;;) {
      // One literal, or a length and a distance: at most 48 bits.
      if (!in.Refill()) return {};
      const std::uint32_t entry = literal_code->Decode(in);
      const Kind kind = KindOf(entry);
      if (kind == kLiteral) {
        ++size;
        continue;
      }
      if (kind == kEndOfBlock) break;
      if (kind == kInvalid) return {};
      const std::uint32_t length = BaseOf(entry) + in.Take(ExtraOf(entry));
      const std::uint32_t distance_entry = distance_code->Decode(in);
      if (KindOf(distance_entry) == kInvalid) return {};
      const std::uint32_t distance = BaseOf(distance_entry) + in.Take(ExtraOf(distance_entry));
      if (distance > size) return {};  // before the start: the stream is not whole on its own
      size += length;
    }
  }
  if (in.used() > static_cast<std::uint64_t>(stream.size()) * 8) return {};
  DeflateLayout layout;
  layout.last_block = last_block;
  layout.end = in.used();
  layout.size = size;
  layout.ok = true;
  return layout;
}

void MakeFollowable(const DeflateLayout& layout, std::string* stream) {
  std::string& bytes = *stream;
  bytes.resize(static_cast<std::size_t>((layout.end + 7) / 8));
  bytes[layout.last_block / 8] = static_cast<char>(
      static_cast<unsigned char>(bytes[layout.last_block / 8]) & ~(1u << (layout.last_block % 8)));
  const unsigned used = static_cast<unsigned>(layout.end % 8);
  if (used != 0) {
    bytes.back() = static_cast<char>(static_cast<unsigned char>(bytes.back()) & ((1u << used) - 1));
  }
  // The stored block's three header bits, all zero, take what is left of the last byte, or a new
  // one; its length and the length's complement start on the next byte boundary.
  if (used == 0 || used > 5) bytes.push_back('\0');
  bytes.append("\x00\x00\xff\xff", 4);
}

}  // namespace quillory::xlsx
