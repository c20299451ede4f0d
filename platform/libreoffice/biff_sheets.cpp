#include "platform/libreoffice/biff_sheets.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>

#include "engine/unicode.h"

namespace quillory::libreoffice {
namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr char kSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

std::uint16_t U16(std::string_view bytes, std::size_t at) {
  if (at + 2 > bytes.size()) return 0;
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
}

std::uint32_t U32(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint32_t>(U16(bytes, at)) | static_cast<std::uint32_t>(U16(bytes, at + 2))
                                                          << 16;
}

// The formula cells of the sheet substream from `start` to its end (or `stop`) whose cached
// result is a boolean, in order.
std::vector<std::pair<std::int32_t, std::int32_t>> BooleanResults(std::string_view book,
                                                                  std::size_t start,
                                                                  std::size_t stop) {
  std::vector<std::pair<std::int32_t, std::int32_t>> cells;
  if (start + 4 > book.size() || U16(book, start) != 0x0809) return cells;
  for (std::size_t at = start; at + 4 <= std::min(stop, book.size());) {
    const std::uint16_t type = U16(book, at);
    const std::uint16_t length = U16(book, at + 2);
    const std::string_view data =
        book.substr(at + 4, std::min<std::size_t>(length, book.size() - at - 4));
    at += 4 + length;
    if (type == 0x000A) break;
    // FORMULA: row, column, format, then the result; 0xFFFF in its last two bytes marks a
    // result that is not a number, whose first byte 1 says boolean.
    if (type == 0x0006 && data.size() >= 14 && U16(data, 12) == 0xFFFF && data[6] == 1) {
      cells.emplace_back(U16(data, 0) + 1, U16(data, 2) + 1);
    }
  }
  std::sort(cells.begin(), cells.end());
  return cells;
}

// A compound file (the container of .xls files): sectors chained through the allocation table.
class CompoundFile {
 public:
  explicit CompoundFile(std::string_view file) : file_(file) {}

  std::optional<std::string> Stream(std::u16string_view wanted) {
    if (file_.size() < 512 || std::memcmp(file_.data(), kSignature, 8) != 0) return std::nullopt;
    const unsigned shift = U16(file_, 0x1E);
    const unsigned mini_shift = U16(file_, 0x20);
    if (shift != 9 && shift != 12) return std::nullopt;
    if (mini_shift != 6) return std::nullopt;
    sector_size_ = std::size_t{1} << shift;
    if (!ReadAllocationTable()) return std::nullopt;

    const std::string directory = Chain(U32(file_, 0x30), fat_, sector_size_, false);
    std::optional<std::string> root_stream;
    for (std::size_t at = 0; at + 128 <= directory.size(); at += 128) {
      const std::string_view entry(directory.data() + at, 128);
      const unsigned type = static_cast<unsigned char>(entry[66]);
      const std::uint32_t start = U32(entry, 116);
      const std::uint32_t size = U32(entry, 120);
      if (type == 5) {  // root: holds the mini stream
        root_stream = Chain(start, fat_, sector_size_, false).substr(0, size);
        continue;
      }
      if (type != 2) continue;
      const unsigned length = U16(entry, 64);
      std::u16string name;
      for (unsigned i = 0; i + 2 < length && i < 64; i += 2) {
        char16_t c = U16(entry, i);
        if (c >= 'a' && c <= 'z') c = static_cast<char16_t>(c - 'a' + 'A');
        name += c;
      }
      if (name != wanted) continue;
      if (size < U32(file_, 0x38)) {
        if (!root_stream) return std::nullopt;
        const std::vector<std::uint32_t> mini_fat =
            Table(Chain(U32(file_, 0x3C), fat_, sector_size_, false));
        mini_source_ = *root_stream;
        return Chain(start, mini_fat, 64, true).substr(0, size);
      }
      return Chain(start, fat_, sector_size_, false).substr(0, size);
    }
    return std::nullopt;
  }

 private:
  std::string_view Sector(std::uint32_t n, std::size_t size, bool mini) const {
    const std::string_view source = mini ? std::string_view(mini_source_) : file_;
    const std::size_t at = mini ? n * size : (n + 1) * size;
    if (at >= source.size()) return {};
    return source.substr(at, size);
  }

  std::string Chain(std::uint32_t start, const std::vector<std::uint32_t>& table, std::size_t size,
                    bool mini) const {
    // A chain that loops is cut where it would outgrow its source: no stream is larger.
    const std::size_t most = mini ? mini_source_.size() : file_.size();
    std::string out;
    for (std::size_t steps = 0;
         start != kEndOfChain && start < table.size() && steps <= table.size() && out.size() < most;
         ++steps) {
      out.append(Sector(start, size, mini));
      start = table[start];
    }
    return out;
  }

  static std::vector<std::uint32_t> Table(std::string_view bytes) {
    std::vector<std::uint32_t> table;
    for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4) table.push_back(U32(bytes, at));
    return table;
  }

  bool ReadAllocationTable() {
    std::vector<std::uint32_t> sectors;
    for (std::size_t i = 0; i < 109; ++i) {
      const std::uint32_t s = U32(file_, 0x4C + 4 * i);
      if (s != kFreeSector && s != kEndOfChain) sectors.push_back(s);
    }
    std::uint32_t next = U32(file_, 0x44);
    const std::size_t per_sector = sector_size_ / 4 - 1;
    for (std::size_t guard = 0; next != kEndOfChain && next != kFreeSector && guard < 100000;
         ++guard) {
      const std::string_view sector = Sector(next, sector_size_, false);
      if (sector.empty()) return false;
      for (std::size_t i = 0; i < per_sector; ++i) {
        const std::uint32_t s = U32(sector, 4 * i);
        if (s != kFreeSector && s != kEndOfChain) sectors.push_back(s);
      }
      // More tables than the file has sectors: damaged, and possibly looping.
      if (sectors.size() > file_.size() / sector_size_) return false;
      next = U32(sector, 4 * per_sector);
    }
    std::string bytes;
    for (std::uint32_t s : sectors) bytes.append(Sector(s, sector_size_, false));
    fat_ = Table(bytes);
    return !fat_.empty();
  }

  std::string_view file_;
  std::string mini_source_;
  std::size_t sector_size_ = 512;
  std::vector<std::uint32_t> fat_;
};

}  // namespace

SourceWorkbook ReadBiffSheets(std::string_view file) {
  CompoundFile compound(file);
  SourceWorkbook workbook;
  // Excel 97 and later keep the workbook in "Workbook"; Excel 5.0/95 in "Book".
  std::optional<std::string> stream = compound.Stream(u"WORKBOOK");
  if (!stream) {
    stream = compound.Stream(u"BOOK");
    if (!stream) return {};
    workbook.excel95 = true;
  }
  auto& sheets = workbook.sheets;
  std::vector<std::uint32_t> starts;  // each sheet's substream
  const std::string_view book(*stream);
  for (std::size_t at = 0; at + 4 <= book.size();) {
    const std::uint16_t type = U16(book, at);
    const std::uint16_t length = U16(book, at + 2);
    const std::string_view data =
        book.substr(at + 4, std::min<std::size_t>(length, book.size() - at - 4));
    at += 4 + length;
    if (type == 0x002F) return {};  // encrypted: the names cannot be read
    if (type == 0x000A) break;      // end of the workbook globals
    if (type == 0x003D && data.size() >= 12 && workbook.active < 0) workbook.active = U16(data, 10);
    if (type != 0x0085 || data.size() < (workbook.excel95 ? 7 : 8)) continue;
    SourceSheet sheet;
    switch (static_cast<unsigned char>(data[5])) {
      case 0:
        sheet.kind = SheetKind::Worksheet;
        break;
      case 1:
        sheet.kind = SheetKind::MacroSheet;
        break;
      case 2:
        sheet.kind = SheetKind::Chart;
        break;
      case 6:
        sheet.kind = SheetKind::Module;
        break;
      default:
        sheet.kind = SheetKind::Other;
        break;
    }
    const unsigned count = static_cast<unsigned char>(data[6]);
    if (workbook.excel95) {
      // Bytes of the workbook's code page, taken as Windows-1252 (Western), the usual one.
      for (unsigned i = 0; i < count && 7 + i < data.size(); ++i) {
        unicode::AppendUtf8(unicode::Windows1252ToUnicode(static_cast<unsigned char>(data[7 + i])),
                            sheet.name);
      }
    } else {
      const bool wide = (static_cast<unsigned char>(data[7]) & 1) != 0;
      for (unsigned i = 0; i < count; ++i) {
        const std::size_t pos = 8 + (wide ? 2 * i : i);
        if (pos + (wide ? 2 : 1) > data.size()) break;
        unicode::AppendUtf8(wide ? U16(data, pos) : static_cast<unsigned char>(data[pos]),
                            sheet.name);
      }
    }
    starts.push_back(U32(data, 0));
    sheets.push_back(std::move(sheet));
  }
  // Substreams do not overlap: each is read up to the next one at most, and once, so that a
  // damaged list of sheets cannot make the file read over and over.
  std::vector<std::uint32_t> sorted = starts;
  std::sort(sorted.begin(), sorted.end());
  std::map<std::uint32_t, std::vector<std::pair<std::int32_t, std::int32_t>>> read;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    if (sheets[i].kind != SheetKind::Worksheet) continue;
    auto found = read.find(starts[i]);
    if (found == read.end()) {
      const auto next = std::upper_bound(sorted.begin(), sorted.end(), starts[i]);
      found = read.emplace(starts[i], BooleanResults(book, starts[i],
                                                     next == sorted.end() ? book.size() : *next))
                  .first;
    }
    sheets[i].booleans = found->second;
  }
  return workbook;
}

}  // namespace quillory::libreoffice
