// Feeds arbitrary bytes to the embedded engine's readers. A zip is opened as a workbook held in
// memory, under limits small enough for the fuzzer to reach them, and every sheet's text read;
// anything else is taken as a worksheet part, read, written into and written back, and the
// written part must read again. Seeds: fuzz/corpus/xlsx_package_fuzz (small hostile packages).
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/xlsx/shared_strings.h"
#include "platform/xlsx/styles.h"
#include "platform/xlsx/worksheet_part.h"
#include "platform/xlsx/xlsx_application.h"

namespace {

using quillory::xlsx::SharedStrings;
using quillory::xlsx::Styles;
using quillory::xlsx::WorksheetPart;

quillory::xlsx::ReadLimits FuzzLimits() {
  quillory::xlsx::ReadLimits limits;
  limits.free_bytes = 8u << 20;
  limits.part_bytes = 32u << 20;
  limits.total_bytes = 64u << 20;
  limits.parts = 2000;
  limits.markup_items = 400'000;
  limits.shared_strings = 100'000;
  limits.styles = 100'000;
  limits.relationships = 10'000;
  return limits;
}

void ReadWorkbook(std::string bytes) {
  try {
    auto book = quillory::xlsx::OpenWorkbookFromMemory(std::move(bytes), "fuzz.xlsx", FuzzLimits());
    for (auto* sheet : book->Worksheets()) {
      const int last_row = std::min(sheet->LastRow(), 5000);
      const int last_column = std::min(sheet->LastColumn(), 200);
      sheet->NonEmptyCells(1, 1, last_row, last_column);
      sheet->Text(1, 1);
    }
    book->ActiveSheet();
  } catch (const quillory::workbook::WorkbookError&) {
  }
}

void RoundTripSheet(const std::string& xml) {
  const SharedStrings strings;
  const Styles styles;
  struct Write {
    int row, column;
    std::string value;
  };
  std::vector<Write> writes;
  std::string written;
  try {
    WorksheetPart part(xml, "fuzz.xlsx", "sheet.xml", "Sheet", std::string::npos);
    const int last_row = std::min(part.LastRow(), 2000);
    const int last_column = std::min(part.LastColumn(), 100);
    std::vector<std::pair<int, int>> shown;
    part.ForEachText(1, 1, last_row, last_column, strings, styles,
                     [&](int row, int column, std::string) { shown.emplace_back(row, column); });
    for (std::size_t i = 0; i < shown.size(); i += 2) {
      writes.push_back({shown[i].first, shown[i].second, i % 4 ? "x\x01<&>_x0041_" : ""});
    }
    writes.push_back({std::min(part.LastRow() + 1, 1048576), 3, " new "});
    writes.push_back({1, std::min(part.LastColumn() + 1, 16384), "edge\r\n"});
    std::vector<Write> done;
    for (const auto& write : writes) {
      try {
        part.WriteString(write.row, write.column, write.value);
        done.push_back(write);
      } catch (const quillory::workbook::CellWriteRefused&) {
      }
    }
    writes = done;
    written = part.Serialize();
  } catch (const quillory::workbook::WorkbookError&) {
    return;
  }
  // Reading and writing in two halves gives the same part as doing it in one pass.
  {
    WorksheetPart halves(xml, "fuzz.xlsx", "sheet.xml", "Sheet", 0);
    for (const auto& write : writes) halves.WriteString(write.row, write.column, write.value);
    if (halves.Serialize() != written) std::abort();
  }
  // What was written must read back, the written strings in place (the last write to a cell
  // wins).
  WorksheetPart again(written, "fuzz.xlsx", "sheet.xml", "Sheet");
  std::map<std::pair<int, int>, std::string> expected;
  for (const auto& write : writes) expected[{write.row, write.column}] = write.value;
  for (const auto& [cell, value] : expected) {
    if (again.Text(cell.first, cell.second, strings, styles) != value) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (bytes.size() >= 2 && bytes[0] == 'P' && bytes[1] == 'K') {
    ReadWorkbook(std::move(bytes));
  } else {
    RoundTripSheet(bytes);
  }
  return 0;
}
