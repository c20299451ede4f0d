#include "platform/xlsx/content_types.h"

#include "engine/ascii.h"
#include "platform/xlsx/xml_scan.h"

namespace quillory::xlsx {

std::string ContentTypes::WithoutOverride(const std::string& xml, std::string_view part) {
  std::string wanted(1, '/');
  wanted.append(part);
  std::string out;
  const bool ok = xml::RemoveRootChildren(
      xml,
      [&](const xml::Token& tag) {
        std::string_view value;
        return xml::LocalName(tag.name) == "Override" &&
               xml::FindAttribute(tag.attributes, "PartName", &value) &&
               ascii::EqualsIgnoringCase(xml::Decoded(value), wanted);
      },
      &out);
  return ok ? out : xml;
}

}  // namespace quillory::xlsx
