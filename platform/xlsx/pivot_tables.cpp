#include "platform/xlsx/pivot_tables.h"

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>

#include "platform/xlsx/part_xml.h"

namespace quillory::xlsx {
namespace {

std::int32_t Count(pugi::xml_node node, const char* name) {
  const std::string_view text = AttributeNamed(node, name).value();
  std::int32_t value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc{} || value < 0) return 0;
  return std::min(value, kMaxRows);
}

}  // namespace

std::optional<PivotTableCells> ReadPivotTableCells(const std::string& xml) {
  pugi::xml_document document;
  if (!document.load_buffer(xml.data(), xml.size())) return std::nullopt;
  const pugi::xml_node root = document.document_element();
  if (xml::LocalName(root.name()) != "pivotTableDefinition") return std::nullopt;
  const pugi::xml_node location = ChildNamed(root, "location");
  const std::optional<RangeRef> range = ParseRangeRef(AttributeNamed(location, "ref").value());
  if (!range) return std::nullopt;
  PivotTableCells cells{AttributeNamed(root, "name").value(), *range};
  // Filter fields stand above the table, two columns each, a blank row between them and it.
  if (const std::int32_t rows = Count(location, "rowPageCount"); rows > 0) {
    const std::int32_t columns = std::max(Count(location, "colPageCount"), 1);
    cells.range.first.row = std::max(1, range->first.row - rows - 1);
    cells.range.last.column =
        std::max(range->last.column, std::min(kMaxColumns, range->first.column + 3 * columns - 2));
  }
  return cells;
}

}  // namespace quillory::xlsx
