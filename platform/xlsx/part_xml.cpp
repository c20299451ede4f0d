#include "platform/xlsx/part_xml.h"

#include <new>

#include "workbook/spreadsheet.h"

namespace quillory::xlsx {

void ParsePart(pugi::xml_document& document, const std::string& text, const std::string& file,
               std::string_view part, const ReadLimits& limits) {
  // Every tag and attribute costs the tree 40 to 64 bytes, however short its text: counted
  // before the tree is built.
  std::uint64_t items = 0;
  for (const char c : text) items += c == '<' || c == '=';
  if (items > limits.markup_items) {
    RefuseTooLarge(file, "its part /" + std::string(part) + " holds more than " +
                             CountText(limits.markup_items) + " tags and attributes");
  }
  const pugi::xml_parse_result result = document.load_buffer(
      text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata_single);
  if (result.status == pugi::status_out_of_memory) throw std::bad_alloc();
  if (!result || !document.document_element()) {
    throw workbook::WorkbookError(
        file, "the part /" + std::string(part) + " is not well-formed XML (" +
                  (result ? std::string("no root element") : std::string(result.description())) +
                  " at byte " + std::to_string(result.offset) + "); the file is damaged");
  }
}

pugi::xml_node ChildNamed(pugi::xml_node node, std::string_view local) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element && xml::LocalName(child.name()) == local) return child;
  }
  return {};
}

pugi::xml_attribute AttributeNamed(pugi::xml_node node, std::string_view name) {
  pugi::xml_attribute prefixed;
  for (pugi::xml_attribute attribute = node.first_attribute(); attribute;
       attribute = attribute.next_attribute()) {
    const std::string_view full = attribute.name();
    if (full == name) return attribute;
    if (!prefixed && !full.starts_with("xmlns") && full.find(':') != std::string_view::npos &&
        xml::LocalName(full) == name) {
      prefixed = attribute;
    }
  }
  return prefixed;
}

bool ParseXmlBool(std::string_view text) {
  return text == "1" || text == "true";
}

}  // namespace quillory::xlsx
