#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>

#include "platform/xlsx/read_budget.h"
#include "platform/xlsx/xml_scan.h"

// Helpers for the small parts read through a DOM: names are matched by local name, so prefixed
// (x:sheet) and Strict namespaces read the same way.
namespace quillory::xlsx {

// Parses `text` into `document`; throws WorkbookError naming the part on malformed XML or when
// the tree would hold more than `limits` allow, std::bad_alloc when memory runs out.
void ParsePart(pugi::xml_document& document, const std::string& text, const std::string& file,
               std::string_view part, const ReadLimits& limits);

pugi::xml_node ChildNamed(pugi::xml_node node, std::string_view local);

template <typename F>
void ForEachChildNamed(pugi::xml_node node, std::string_view local, F&& f) {
  for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element && xml::LocalName(child.name()) == local) f(child);
  }
}

// The attribute named exactly `name`, else one whose local name is `name` (a prefixed form).
pugi::xml_attribute AttributeNamed(pugi::xml_node node, std::string_view name);

bool ParseXmlBool(std::string_view text);  // "1"/"true"

}  // namespace quillory::xlsx
