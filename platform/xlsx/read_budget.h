#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// What reading one workbook may cost. A few megabytes of package can unpack to gigabytes, or to
// more strings, styles or relationships than memory holds; every read is held to these limits
// and a workbook that passes one is refused as too large to convert safely. Real workbooks,
// a plain sheet of ten million cells among them, stay well inside.
namespace quillory::xlsx {

struct ReadLimits {
  // Unpacked bytes always allowed, however well they were packed: small workbooks of very
  // repetitive XML (hundreds of identical styles, say) pack far better than big ones do.
  std::uint64_t free_bytes = std::uint64_t{64} << 20;
  // Beyond those, each packed byte read may unpack to this many bytes. Deflate reaches about
  // 1000; sheets, string tables and styles written by spreadsheet programs stay below 30.
  std::uint64_t unpacked_per_packed = 100;
  // One part (a worksheet indexes its text with 32-bit offsets) and all parts of a workbook.
  std::uint64_t part_bytes = (std::uint64_t{2} << 30) - 1;
  std::uint64_t total_bytes = std::uint64_t{4} << 30;
  // Entries in the zip directory; libzip keeps each one in memory.
  std::uint64_t parts = 100'000;
  // Tags and attributes of a part read into a document tree (workbook, styles, relationships),
  // counted as its '<' and '=' characters: each costs the tree 40 to 64 bytes.
  std::uint64_t markup_items = 8'000'000;
  std::uint64_t shared_strings = 16'000'000;
  // Cell formats and number formats of the styles part (Excel allows 64,000 formats).
  std::uint64_t styles = 1'000'000;
  // Relationships of one relationships part: one per sheet, external link and so on.
  std::uint64_t relationships = 100'000;
};

// Throws WorkbookError naming `file`: the workbook is too large to convert safely, because
// `what` ("its shared string table holds more than 16,000,000 strings").
[[noreturn]] void RefuseTooLarge(const std::string& file, const std::string& what);

// "2.1 MB", "264 MB", "4.3 GB": decimal units, as file managers show sizes.
std::string SizeText(std::uint64_t bytes);
// "16,000,000"
std::string CountText(std::uint64_t count);

// The unpacked bytes one opened package has read so far, held to ReadLimits.
class ReadBudget {
 public:
  explicit ReadBudget(ReadLimits limits = {}, std::uint64_t file_size = 0)
      : limits_(limits), file_size_(file_size) {}

  const ReadLimits& limits() const { return limits_; }
  std::uint64_t file_size() const { return file_size_; }

  // How many bytes the part about to be read may unpack to, its `packed` bytes counted in.
  std::uint64_t Allowance(std::uint64_t packed) const;
  // Records a part read: `packed` bytes in the file that unpacked to `unpacked`.
  void Spend(std::uint64_t packed, std::uint64_t unpacked);
  // Refuses a part of `packed` bytes that unpacks (or says it does) to more than
  // Allowance(packed), saying which limit it passed.
  [[noreturn]] void Refuse(const std::string& file, std::string_view part,
                           std::uint64_t packed) const;

  // Starts over, as after a save: the parts read before are no longer held.
  void Reset(std::uint64_t file_size) {
    file_size_ = file_size;
    packed_ = 0;
    unpacked_ = 0;
  }

 private:
  // Packed bytes counted toward the allowance: overlapping entries cannot count the same bytes
  // of the file twice.
  std::uint64_t PackedCounted(std::uint64_t packed) const;

  ReadLimits limits_;
  std::uint64_t file_size_;
  std::uint64_t packed_ = 0;
  std::uint64_t unpacked_ = 0;
};

}  // namespace quillory::xlsx
