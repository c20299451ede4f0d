#include "tests/xlsx/hostile_packages.h"

#include <zip.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace quillory::xlsx::testing {
namespace {

constexpr char kMain[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr char kRelationships[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr char kPackageRelationships[] =
    "http://schemas.openxmlformats.org/package/2006/relationships";

std::string Type(const std::string& kind) {
  return std::string(kRelationships) + "/" + kind;
}

// Digits of all the numbers 1 to n together.
std::uint64_t DigitsUpTo(std::uint64_t n) {
  std::uint64_t digits = 0;
  for (std::uint64_t low = 1, width = 1; low <= n; low *= 10, ++width) {
    digits += (std::min(n, low * 10 - 1) - low + 1) * width;
  }
  return digits;
}

// Hands a part's text to libzip piece by piece, as it packs it.
struct PartSource {
  PartText text;
  std::size_t run = 0;     // the run being written
  std::uint64_t next = 0;  // units of it written
  std::string buffer;
  std::string repeated;  // a block of a plain unit
  std::size_t offset = 0;
  int stage = 0;  // 0 head, 1 runs, 2 tail, 3 done
  zip_error_t error;

  void Start() {
    run = 0;
    next = 0;
    stage = 0;
    buffer.clear();
    offset = 0;
  }

  void Refill() {
    buffer.clear();
    offset = 0;
    if (stage == 0) {
      buffer = text.head;
      stage = 1;
      if (!buffer.empty()) return;
    }
    while (stage == 1 && buffer.size() < (1u << 20)) {
      if (run == text.runs.size()) {
        stage = 2;
        break;
      }
      const PartText::Run& current = text.runs[run];
      if (next == current.count) {
        ++run;
        next = 0;
        continue;
      }
      if (current.unit.find('#') == std::string::npos) {
        // Plain units in blocks: gigabytes of one character go by quickly.
        const std::uint64_t block = std::max<std::uint64_t>(1, 65536 / current.unit.size());
        const std::uint64_t take = std::min(block, current.count - next);
        if (repeated.size() != take * current.unit.size() ||
            repeated.compare(0, current.unit.size(), current.unit) != 0) {
          repeated.clear();
          for (std::uint64_t i = 0; i < take; ++i) repeated += current.unit;
        }
        buffer += repeated;
        next += take;
        continue;
      }
      ++next;
      const std::string number = std::to_string(next);
      for (const char c : current.unit) {
        if (c == '#') {
          buffer += number;
        } else {
          buffer += c;
        }
      }
    }
    if (!buffer.empty()) return;
    if (stage == 2) {
      buffer = text.tail;
      stage = 3;
    }
  }
};

zip_int64_t ReadPart(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
  auto* source = static_cast<PartSource*>(state);
  switch (command) {
    case ZIP_SOURCE_OPEN:
      source->Start();
      return 0;
    case ZIP_SOURCE_READ: {
      zip_uint64_t done = 0;
      auto* out = static_cast<char*>(data);
      while (done < length) {
        if (source->offset == source->buffer.size()) {
          if (source->stage == 3) break;
          source->Refill();
          continue;
        }
        const std::size_t count = static_cast<std::size_t>(
            std::min<zip_uint64_t>(length - done, source->buffer.size() - source->offset));
        std::memcpy(out + done, source->buffer.data() + source->offset, count);
        source->offset += count;
        done += count;
      }
      return static_cast<zip_int64_t>(done);
    }
    case ZIP_SOURCE_CLOSE:
      return 0;
    case ZIP_SOURCE_STAT: {
      auto* stat = static_cast<zip_stat_t*>(data);
      zip_stat_init(stat);
      stat->valid = ZIP_STAT_SIZE;
      stat->size = source->text.Size();
      return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&source->error, data, length);
    case ZIP_SOURCE_FREE:
      zip_error_fini(&source->error);
      delete source;
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                            ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      zip_error_set(&source->error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

PartText Text(std::string text) {
  PartText part;
  part.head = std::move(text);
  return part;
}

PartText Repeated(std::string head, std::string unit, std::uint64_t count, std::string tail,
                  bool stored = false) {
  PartText part;
  part.head = std::move(head);
  part.runs.push_back({std::move(unit), count});
  part.tail = std::move(tail);
  part.stored = stored;
  return part;
}

PartText Sheet(const std::string& rows) {
  return Text(std::string("<worksheet xmlns=\"") + kMain + "\"><sheetData>" + rows +
              "</sheetData></worksheet>");
}

const std::string kRows = "<row r=\"1\"><c r=\"A1\"><v>12</v></c><c r=\"B1\"><v>3.5</v></c></row>";

// A workbook of `sheets` sheets, each on its own part unless `one_part`, with `sheet` as the
// content of each sheet part, and any `extra` parts (styles, shared strings) related to the
// workbook by their kind.
struct Book {
  int sheets = 1;
  bool one_part = false;
  PartText sheet = Sheet(kRows);
  std::string workbook_inside;  // more of the workbook part, after its sheets
  std::string doctype;          // before the workbook part's root
  std::vector<std::pair<std::string, PartText>> extra;  // "styles" -> xl/styles.xml
  PartText more_relationships;                          // inside the workbook's relationships

  std::vector<std::pair<std::string, PartText>> Parts() const {
    std::vector<std::pair<std::string, PartText>> parts;
    parts.emplace_back(
        "[Content_Types].xml",
        Text("<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
             "<Default Extension=\"rels\" "
             "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
             "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>"));
    parts.emplace_back("_rels/.rels",
                       Text(std::string("<Relationships xmlns=\"") + kPackageRelationships +
                            "\"><Relationship Id=\"rId1\" Type=\"" + Type("officeDocument") +
                            "\" Target=\"xl/workbook.xml\"/></Relationships>"));
    std::string workbook =
        doctype + "<workbook xmlns=\"" + kMain + "\" xmlns:r=\"" + kRelationships + "\"><sheets>";
    PartText rels = more_relationships;
    std::string listed = std::string("<Relationships xmlns=\"") + kPackageRelationships + "\">";
    for (int i = 1; i <= sheets; ++i) {
      const std::string n = std::to_string(i);
      workbook += "<sheet name=\"Sheet" + n + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
      listed += "<Relationship Id=\"rId" + n + "\" Type=\"" + Type("worksheet") +
                "\" Target=\"worksheets/sheet" + (one_part ? "1" : n) + ".xml\"/>";
    }
    int next = sheets;
    for (const auto& [kind, text] : extra) {
      listed += "<Relationship Id=\"rId" + std::to_string(++next) + "\" Type=\"" + Type(kind) +
                "\" Target=\"" + kind + ".xml\"/>";
    }
    rels.head = listed + rels.head;
    rels.tail += "</Relationships>";
    workbook += "</sheets>" + workbook_inside + "</workbook>";
    parts.emplace_back("xl/workbook.xml", Text(workbook));
    parts.emplace_back("xl/_rels/workbook.xml.rels", rels);
    for (int i = 1; i <= (one_part ? 1 : sheets); ++i) {
      parts.emplace_back("xl/worksheets/sheet" + std::to_string(i) + ".xml", sheet);
    }
    for (const auto& [kind, text] : extra) parts.emplace_back("xl/" + kind + ".xml", text);
    return parts;
  }
};

std::function<void(const std::string&)> Writes(Book book) {
  return [book](const std::string& path) { WritePackage(path, book.Parts()); };
}

// The same text `count` times, padded out to `bytes` or a little over.
std::uint64_t Times(std::uint64_t bytes, const std::string& unit) {
  return std::max<std::uint64_t>(1, bytes / unit.size() + 1);
}

PartText Styles(const std::string& unit, std::uint64_t count) {
  return Repeated(std::string("<styleSheet xmlns=\"") + kMain + "\"><cellXfs>", unit, count,
                  "</cellXfs></styleSheet>");
}

PartText Strings(const std::string& unit, std::uint64_t count) {
  return Repeated(std::string("<sst xmlns=\"") + kMain + "\">", unit, count, "</sst>");
}

// A sheet of kRows with `runs` where sheetData ends and the rest of the sheet would follow.
PartText SheetWith(std::vector<PartText::Run> runs, std::string tail, bool stored = false) {
  PartText part;
  part.head =
      std::string("<worksheet xmlns=\"") + kMain + "\"><sheetData>" + kRows + "</sheetData>";
  part.runs = std::move(runs);
  part.tail = std::move(tail) + "</worksheet>";
  part.stored = stored;
  return part;
}

// A sheet whose sheetData holds kRows and then `runs` (rows, or things between rows).
PartText RowsOf(std::vector<PartText::Run> runs) {
  PartText part;
  part.head = std::string("<worksheet xmlns=\"") + kMain + "\"><sheetData>" + kRows;
  part.runs = std::move(runs);
  part.tail = "</sheetData></worksheet>";
  return part;
}

// Writes the package, then renames the entry `from` to `to` (names of one length) in place, so
// that two entries carry one name: libzip itself refuses to write that.
void Rename(const std::string& path, const std::string& from, const std::string& to) {
  std::string bytes;
  {
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  for (std::size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at)) {
    bytes.replace(at, from.size(), to);
  }
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace

std::uint64_t PartText::Size() const {
  std::uint64_t size = head.size() + tail.size();
  for (const Run& run : runs) {
    size += run.count * run.unit.size();
    const auto hashes =
        static_cast<std::uint64_t>(std::count(run.unit.begin(), run.unit.end(), '#'));
    if (hashes > 0) size += hashes * DigitsUpTo(run.count) - hashes * run.count;
  }
  return size;
}

void WritePackage(const std::string& path,
                  const std::vector<std::pair<std::string, PartText>>& parts) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) throw std::runtime_error("cannot create " + path);
  for (const auto& [name, text] : parts) {
    auto state = std::make_unique<PartSource>();
    state->text = text;
    zip_error_init(&state->error);
    zip_source_t* source = zip_source_function(archive, ReadPart, state.get());
    if (!source) throw std::runtime_error("cannot make a source for " + name);
    state.release();
    const zip_int64_t index = zip_file_add(archive, name.c_str(), source, 0);
    if (index < 0) {
      zip_source_free(source);
      throw std::runtime_error("cannot add " + name + ": " + zip_strerror(archive));
    }
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                             text.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 9);
  }
  if (zip_close(archive) != 0) {
    const std::string reason = zip_strerror(archive);
    zip_discard(archive);
    throw std::runtime_error("cannot write " + path + ": " + reason);
  }
}

HostileSizes TestSizes() {
  HostileSizes sizes;
  sizes.bomb = 24u << 20;
  sizes.within_free = 3u << 20;
  sizes.big_part = 1u << 20;
  sizes.stored_part = 9u << 20;
  sizes.entries = 1500;
  sizes.items = 400'000;
  sizes.strings = 30'000;
  sizes.styles = 30'000;
  sizes.relationships = 3'000;
  sizes.declarations = 700'000;
  return sizes;
}

ReadLimits TestLimits() {
  ReadLimits limits;
  limits.free_bytes = 4u << 20;
  limits.part_bytes = 8u << 20;
  limits.total_bytes = 64u << 20;
  limits.parts = 1000;
  limits.markup_items = 200'000;
  limits.shared_strings = 20'000;
  limits.styles = 20'000;
  limits.relationships = 2'000;
  return limits;
}

HostileSizes ReportedSizes() {
  HostileSizes sizes;
  sizes.bomb =
      1'900'000'000;  // under the 2 GiB one part may take, so the budget is what refuses it
  sizes.within_free = 60u << 20;
  sizes.big_part = 100u << 20;
  sizes.stored_part = 0;  // a 2 GB file is a big workbook, not a small hostile one
  sizes.entries = 300'000;
  sizes.items = 50'000'000;
  sizes.strings = 20'000'000;
  sizes.styles = 2'000'000;
  sizes.relationships = 200'000;
  sizes.declarations = 2'500'000;
  return sizes;
}

std::vector<HostileFile> HostileSet(const HostileSizes& sizes) {
  constexpr char kTooLarge[] = "too large to convert safely";
  std::vector<HostileFile> set;
  auto add = [&](std::string name, std::string expected, const Book& book) {
    set.push_back({std::move(name), std::move(expected), Writes(book)});
  };

  // One part that unpacks to gigabytes of white space between rows.
  {
    Book book;
    book.sheet = RowsOf({{" ", sizes.bomb}});
    add("padding.xlsx", kTooLarge, book);
  }
  // Styles, relationships and shared strings of gigabytes of identical items.
  {
    const std::string xf =
        "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>";
    Book book;
    book.extra.emplace_back("styles", Styles(xf, Times(sizes.bomb, xf)));
    add("styles_bomb.xlsx", kTooLarge, book);
  }
  {
    const std::string link = "<Relationship Id=\"rIdX\" Type=\"" + Type("worksheet") +
                             "\" Target=\"worksheets/sheet1.xml\"/>";
    Book book;
    book.more_relationships = Repeated("", link, Times(sizes.bomb, link), "");
    add("relationships_bomb.xlsx", kTooLarge, book);
  }
  {
    const std::string item = "<si><t>1</t></si>";
    Book book;
    book.extra.emplace_back("sharedStrings", Strings(item, Times(sizes.bomb, item)));
    add("strings_bomb.xlsx", kTooLarge, book);
  }
  // Many sheet parts, each small enough on its own.
  {
    Book book;
    book.sheets = 20;
    book.sheet = RowsOf({{" ", sizes.within_free}});
    add("many_parts.xlsx", kTooLarge, book);
  }
  // Twenty sheets naming one big part of real cells: read once, it opens.
  {
    // Six cells a row: a hundred megabytes stay within the sheet's 1,048,576 rows.
    const std::string row =
        "<row r=\"#\"><c r=\"A#\"><v>#</v></c><c r=\"B#\"><v>0.#</v></c><c r=\"C#\"><v>#.25</v>"
        "</c><c r=\"D#\"><v>-#</v></c><c r=\"E#\"><v>#</v></c><c r=\"F#\"><v>#</v></c></row>";
    Book book;
    book.sheets = 20;
    book.one_part = true;
    book.sheet = Repeated(std::string("<worksheet xmlns=\"") + kMain + "\"><sheetData>", row,
                          sizes.big_part / (row.size() + 40), "</sheetData></worksheet>");
    add("one_part_twenty_sheets.xlsx", "", book);
  }
  // A part that does not pack at all, past the limit for one part.
  if (sizes.stored_part > 0) {
    Book book;
    book.sheet = SheetWith({{"q", sizes.stored_part}}, "", true);
    book.sheet.head += "<extLst><ext uri=\"x\">";
    book.sheet.tail = "</ext></extLst>" + book.sheet.tail;
    add("stored_part.xlsx", kTooLarge, book);
  }
  // More zip entries than the limit: libzip holds each in memory.
  {
    const Book book;
    const std::uint64_t entries = sizes.entries;
    set.push_back({"many_entries.xlsx", "parts, more than", [book, entries](const std::string& p) {
                     auto parts = book.Parts();
                     for (std::uint64_t i = 1; i <= entries; ++i) {
                       parts.emplace_back("extra/" + std::to_string(i) + ".bin", Text("x"));
                     }
                     WritePackage(p, parts);
                   }});
  }
  // Deep nesting: in a sheet, where it is skipped over, and in the workbook part, which is read
  // into a tree.
  {
    Book book;
    book.sheet = SheetWith({{"<a>", sizes.items}, {"</a>", sizes.items}}, "");
    book.sheet.head += "<extLst><ext uri=\"x\">";
    book.sheet.tail = "</ext></extLst>" + book.sheet.tail;
    add("deep_nesting.xlsx", "", book);
  }
  {
    Book book;
    // The nesting goes in as text of the workbook part: built here, it is a few megabytes.
    std::string nested;
    for (std::uint64_t i = 0; i < std::min<std::uint64_t>(sizes.items, 4'000'000); ++i)
      nested += "<a>";
    for (std::uint64_t i = 0; i < std::min<std::uint64_t>(sizes.items, 4'000'000); ++i)
      nested += "</a>";
    book.workbook_inside = "<extLst><ext uri=\"x\">" + nested + "</ext></extLst>";
    add("deep_nesting_workbook.xlsx", "tags and attributes", book);
  }
  // Huge attribute values: on a cell, and as a number format code.
  {
    Book book;
    book.sheet = RowsOf({{"x", sizes.within_free}});
    book.sheet.head += "<row r=\"3\"><c r=\"A3\" x=\"";
    book.sheet.tail = "\"><v>7</v></c></row>" + book.sheet.tail;
    add("huge_attribute.xlsx", "", book);
  }
  {
    Book book;
    book.sheet = Sheet("<row r=\"1\"><c r=\"A1\" s=\"1\"><v>1234.5</v></c></row>");
    PartText styles = Repeated(std::string("<styleSheet xmlns=\"") + kMain +
                                   "\"><numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"",
                               "0", sizes.within_free / 2,
                               "\"/></numFmts><cellXfs count=\"2\"><xf numFmtId=\"0\"/>"
                               "<xf numFmtId=\"164\"/></cellXfs></styleSheet>");
    book.extra.emplace_back("styles", styles);
    add("huge_format_code.xlsx", "", book);
  }
  // Entity declarations: never expanded. In a sheet and the workbook part they are skipped; an
  // entity used in a shared string is not one of XML's own, so the part is malformed.
  {
    std::string doctype = "<!DOCTYPE lolz [<!ENTITY lol \"lol\">";
    for (int i = 1; i <= 9; ++i) {
      doctype += "<!ENTITY lol" + std::to_string(i) + " \"";
      for (int k = 0; k < 10; ++k)
        doctype += i == 1 ? "&lol;" : "&lol" + std::to_string(i - 1) + ";";
      doctype += "\">";
    }
    doctype += "]>";
    Book book;
    book.doctype = doctype;
    book.sheet = Sheet(kRows);
    book.sheet.head = doctype + book.sheet.head;
    add("entities.xlsx", "", book);
    book.extra.emplace_back("sharedStrings", Strings("<si><t>&lol9;</t></si>", 1));
    add("entities_in_strings.xlsx", "not well-formed", book);
  }
  // A flood of declarations between rows.
  {
    Book book;
    book.sheet = RowsOf({{"<!x>", sizes.declarations}});
    add("declaration_flood.xlsx", "", book);
  }
  // Empty cells without references: four bytes of text each, 32 of index.
  {
    Book book;
    const std::uint64_t row_bytes = 4 * 16384 + 11;
    book.sheet = RowsOf({{"<row>" +
                              [] {
                                std::string cells;
                                for (int i = 0; i < 16384; ++i) cells += "<c/>";
                                return cells;
                              }() +
                              "</row>",
                          std::max<std::uint64_t>(1, sizes.within_free / row_bytes)}});
    add("cell_flood.xlsx", "unpacks to more than", book);
  }
  // Counts past the limits, in parts that are small.
  {
    Book book;
    book.extra.emplace_back("sharedStrings", Strings("<si><t>#</t></si>", sizes.strings));
    add("strings_count.xlsx", "strings", book);
  }
  {
    Book book;
    book.extra.emplace_back("styles", Styles("<xf numFmtId=\"0\"/>", sizes.styles));
    add("styles_count.xlsx", "cell and number formats", book);
  }
  {
    Book book;
    book.more_relationships = Repeated("",
                                       "<Relationship Id=\"rIdx#\" Type=\"" + Type("worksheet") +
                                           "\" Target=\"worksheets/sheet1.xml\"/>",
                                       sizes.relationships, "");
    add("relationships_count.xlsx", "relationships", book);
  }
  // Ambiguous packages: two entries of one name, or of names differing only in letter case.
  {
    Book book;
    set.push_back({"duplicate_entry.xlsx", "holds the part /xl/worksheets/sheet1.xml twice",
                   [book](const std::string& p) {
                     auto parts = book.Parts();
                     parts.emplace_back("xl/worksheets/sheet1.xm~",
                                        Sheet("<row r=\"1\"><c r=\"A1\"><v>99</v></c></row>"));
                     WritePackage(p, parts);
                     Rename(p, "sheet1.xm~", "sheet1.xml");
                   }});
    set.push_back({"case_duplicate_entry.xlsx",
                   "holds the part /xl/worksheets/sheet1.xml twice, as /xl/worksheets/sheet1.xml "
                   "and /xl/worksheets/Sheet1.xml (names differing only in letter case",
                   [book](const std::string& p) {
                     auto parts = book.Parts();
                     parts.emplace_back("xl/worksheets/Sheet1.xml",
                                        Sheet("<row r=\"1\"><c r=\"A1\"><v>99</v></c></row>"));
                     WritePackage(p, parts);
                   }});
  }
  // A cell or a row written twice: one reader takes the first, another the last.
  {
    Book book;
    book.sheet = Sheet(
        "<row r=\"3\"><c r=\"A3\"><v>1</v></c><c r=\"B3\"><v>2</v></c><c r=\"B3\"><v>3</v></c>"
        "</row>");
    add("duplicate_cell.xlsx", "holds cell B3 twice", book);
    book.sheet = Sheet(
        "<row r=\"5\"><c r=\"A5\"><v>1</v></c></row><row r=\"6\"/>"
        "<row r=\"5\"><c r=\"C5\"><v>2</v></c></row>");
    add("duplicate_row.xlsx", "holds row 5 twice", book);
  }
  return set;
}

}  // namespace quillory::xlsx::testing
