#include "platform/xlsx/relationships.h"

#include "platform/xlsx/part_xml.h"

namespace quillory::xlsx {

std::string Relationships::PathFor(std::string_view source_part) {
  const auto slash = source_part.find_last_of('/');
  if (slash == std::string_view::npos) return "_rels/" + std::string(source_part) + ".rels";
  return std::string(source_part.substr(0, slash)) + "/_rels/" +
         std::string(source_part.substr(slash + 1)) + ".rels";
}

Relationships::Relationships(const std::string& xml, std::string_view source_part,
                             const std::string& file, const ReadLimits& limits) {
  pugi::xml_document document;
  const std::string part = PathFor(source_part);
  ParsePart(document, xml, file, part, limits);
  ForEachChildNamed(document.document_element(), "Relationship", [&](pugi::xml_node node) {
    if (all_.size() == limits.relationships) {
      RefuseTooLarge(file, "its relationships part /" + part + " holds more than " +
                               CountText(limits.relationships) + " relationships");
    }
    Relationship relationship;
    relationship.id = node.attribute("Id").value();
    relationship.type = node.attribute("Type").value();
    relationship.target = node.attribute("Target").value();
    if (std::string_view(node.attribute("TargetMode").value()) != "External") {
      relationship.part = ResolveTarget(source_part, relationship.target);
    }
    all_.push_back(std::move(relationship));
  });
  // Looked up once per sheet: a search through all of them each time is quadratic.
  by_id_.reserve(all_.size());
  for (std::size_t i = 0; i < all_.size(); ++i) by_id_.emplace(all_[i].id, i);
}

const Relationship* Relationships::ById(std::string_view id) const {
  const auto found = by_id_.find(std::string(id));
  return found == by_id_.end() ? nullptr : &all_[found->second];
}

const Relationship* Relationships::OfKind(std::string_view kind) const {
  for (const auto& relationship : all_) {
    if (TypeIs(relationship.type, kind) && !relationship.part.empty()) return &relationship;
  }
  return nullptr;
}

std::string Relationships::Without(const std::string& xml, std::string_view id) {
  std::string out;
  const bool ok = xml::RemoveRootChildren(
      xml,
      [&](const xml::Token& tag) {
        std::string_view value;
        return xml::LocalName(tag.name) == "Relationship" &&
               xml::FindAttribute(tag.attributes, "Id", &value) && xml::Decoded(value) == id;
      },
      &out);
  return ok ? out : xml;
}

bool TypeIs(std::string_view type, std::string_view kind) {
  return type.size() > kind.size() && type.ends_with(kind) &&
         type[type.size() - kind.size() - 1] == '/';
}

std::string ResolveTarget(std::string_view source_part, std::string_view target) {
  // Percent-encoded characters stand for themselves in part names.
  std::string decoded;
  for (std::size_t i = 0; i < target.size(); ++i) {
    auto hex = [](char c) {
      return (c >= '0' && c <= '9')   ? c - '0'
             : (c >= 'a' && c <= 'f') ? c - 'a' + 10
             : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                      : -1;
    };
    if (target[i] == '%' && i + 2 < target.size() && hex(target[i + 1]) >= 0 &&
        hex(target[i + 2]) >= 0) {
      decoded.push_back(static_cast<char>(hex(target[i + 1]) * 16 + hex(target[i + 2])));
      i += 2;
    } else {
      decoded.push_back(target[i]);
    }
  }
  std::string path;
  if (!decoded.empty() && decoded.front() == '/') {
    path = decoded.substr(1);
  } else {
    const auto slash = source_part.find_last_of('/');
    if (slash != std::string_view::npos) path = std::string(source_part.substr(0, slash + 1));
    path += decoded;
  }
  // Fold "." and ".." segments.
  std::vector<std::string> segments;
  std::size_t start = 0;
  while (start <= path.size()) {
    auto slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    const std::string segment = path.substr(start, slash - start);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = slash + 1;
  }
  std::string result;
  for (const auto& segment : segments) {
    if (!result.empty()) result.push_back('/');
    result += segment;
  }
  return result;
}

}  // namespace quillory::xlsx
