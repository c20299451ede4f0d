#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/xlsx/xml_scan.h"

namespace quillory::xlsx {

// xl/sharedStrings.xml: the workbook's string table, looked up by index.
class SharedStrings {
 public:
  SharedStrings() = default;
  SharedStrings(const std::string& xml, const std::string& file, const std::string& part);

  // The string at `index`; nothing for an index past the table.
  const std::string* At(std::size_t index) const {
    return index < strings_.size() ? &strings_[index] : nullptr;
  }
  std::size_t size() const { return strings_.size(); }

 private:
  std::vector<std::string> strings_;
};

// Reads a string item (si, or a cell's is) after its start tag: plain text and rich runs joined,
// phonetic runs left out, _xHHHH_ escapes decoded. Returns false on malformed markup.
bool ReadStringItem(xml::Scanner& scanner, const xml::Token& start, std::string* text);

}  // namespace quillory::xlsx
