#include "platform/xlsx/content_types.h"

#include <algorithm>
#include <cctype>

#include "platform/xlsx/xml_scan.h"

namespace quillory::xlsx {

std::string ContentTypes::WithoutOverride(const std::string& xml, std::string_view part) {
  auto same = [](std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
             return std::tolower(x) == std::tolower(y);
           });
  };
  std::string wanted(1, '/');
  wanted.append(part);
  std::string out;
  const bool ok = xml::RemoveRootChildren(
      xml,
      [&](const xml::Token& tag) {
        std::string_view value;
        return xml::LocalName(tag.name) == "Override" &&
               xml::FindAttribute(tag.attributes, "PartName", &value) &&
               same(xml::Decoded(value), wanted);
      },
      &out);
  return ok ? out : xml;
}

}  // namespace quillory::xlsx
