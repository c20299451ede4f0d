#include "platform/xlsx/styles.h"

#include "platform/xlsx/part_xml.h"

namespace quillory::xlsx {

Styles::Styles(const std::string& xml, const std::string& file, const std::string& part,
               const ReadLimits& limits) {
  pugi::xml_document document;
  ParsePart(document, xml, file, part, limits);
  const pugi::xml_node root = document.document_element();
  std::uint64_t count = 0;
  auto count_one = [&] {
    if (++count > limits.styles) {
      RefuseTooLarge(file, "its styles part /" + part + " holds more than " +
                               CountText(limits.styles) + " cell and number formats");
    }
  };
  ForEachChildNamed(ChildNamed(root, "numFmts"), "numFmt", [&](pugi::xml_node node) {
    count_one();
    const pugi::xml_attribute id = node.attribute("numFmtId");
    if (!id.empty()) formats_.AddCustom(id.as_int(), node.attribute("formatCode").value());
  });
  ForEachChildNamed(ChildNamed(root, "cellXfs"), "xf", [&](pugi::xml_node node) {
    count_one();
    format_ids_.push_back(node.attribute("numFmtId").as_int(0));
    const pugi::xml_attribute locked = ChildNamed(node, "protection").attribute("locked");
    unlocked_.push_back(!locked.empty() && !ParseXmlBool(locked.value()));
  });
}

}  // namespace quillory::xlsx
