#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xlsx/read_budget.h"
#include "platform/xlsx/xml_scan.h"

namespace quillory::xlsx {

// xl/sharedStrings.xml: the workbook's string table, looked up by index.
class SharedStrings {
 public:
  SharedStrings() = default;
  SharedStrings(const std::string& xml, const std::string& file, const std::string& part,
                const ReadLimits& limits = {});

  // The string at `index`; nothing for an index past the table.
  std::optional<std::string_view> At(std::size_t index) const {
    if (index >= ends_.size()) return std::nullopt;
    const std::size_t begin = index == 0 ? 0 : ends_[index - 1];
    return std::string_view(text_).substr(begin, ends_[index] - begin);
  }
  std::size_t size() const { return ends_.size(); }

 private:
  // All strings one after the other, and where each ends: four bytes a string besides its text,
  // where a string object of its own took 32 and a heap block.
  std::string text_;
  std::vector<std::uint32_t> ends_;
};

// Reads a string item (si, or a cell's is) after its start tag: plain text and rich runs joined,
// phonetic runs left out, _xHHHH_ escapes decoded. Returns false on malformed markup.
bool ReadStringItem(xml::Scanner& scanner, const xml::Token& start, std::string* text);

}  // namespace quillory::xlsx
