#include "platform/xlsx/workbook_part.h"

#include <charconv>

#include "platform/xlsx/part_xml.h"

namespace quillory::xlsx {

WorkbookPart::WorkbookPart(const std::string& xml, const std::string& file, const std::string& part,
                           const ReadLimits& limits) {
  pugi::xml_document document;
  ParsePart(document, xml, file, part, limits);
  const pugi::xml_node root = document.document_element();
  date1904_ = ParseXmlBool(ChildNamed(root, "workbookPr").attribute("date1904").value());
  ForEachChildNamed(ChildNamed(root, "sheets"), "sheet", [&](pugi::xml_node node) {
    Sheet sheet;
    sheet.name = node.attribute("name").value();
    sheet.relationship_id = AttributeNamed(node, "id").value();
    sheet.state = node.attribute("state").value();
    if (sheet.state.empty()) sheet.state = "visible";
    sheets_.push_back(std::move(sheet));
  });
  const std::string_view tab =
      ChildNamed(ChildNamed(root, "bookViews"), "workbookView").attribute("activeTab").value();
  unsigned long long value = 0;
  if (!tab.empty() &&
      std::from_chars(tab.data(), tab.data() + tab.size(), value).ec == std::errc{} &&
      value < sheets_.size()) {
    active_tab_ = static_cast<std::size_t>(value);
  }
}

std::string WorkbookPart::WithFullCalcOnLoad(const std::string& xml) {
  xml::Scanner scanner(xml);
  xml::Token root;
  if (!scanner.FindRoot(&root) || root.kind == xml::TokenKind::EmptyTag) return xml;
  // calcPr follows sheets, functionGroups, externalReferences and definedNames.
  std::size_t insert_at = std::string::npos;
  xml::Token token;
  while (scanner.NextChild(&token)) {
    const std::string_view local = xml::LocalName(token.name);
    std::size_t end = token.end;
    if (!scanner.SkipElement(token, &end)) return xml;
    if (local == "calcPr") {
      std::string tag(1, '<');
      tag.append(token.name);
      xml::AttributeReader reader(token.attributes);
      std::string_view name, value;
      while (reader.Next(&name, &value)) {
        if (name == "fullCalcOnLoad") continue;
        tag += " ";
        tag +=
            token.attributes.substr(reader.last_begin(), reader.last_end() - reader.last_begin());
      }
      tag += " fullCalcOnLoad=\"1\"";
      tag += token.kind == xml::TokenKind::EmptyTag ? "/>" : ">";
      return xml.substr(0, token.begin) + tag + xml.substr(token.end);
    }
    if (local == "sheets" || local == "functionGroups" || local == "externalReferences" ||
        local == "definedNames") {
      insert_at = end;
    }
  }
  if (token.kind != xml::TokenKind::EndTag) return xml;
  if (insert_at == std::string::npos) insert_at = token.begin;
  std::string element(1, '<');
  element.append(xml::Prefix(root.name));
  element.append("calcPr fullCalcOnLoad=\"1\"/>");
  return xml.substr(0, insert_at) + element + xml.substr(insert_at);
}

}  // namespace quillory::xlsx
