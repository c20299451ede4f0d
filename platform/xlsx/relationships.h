#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/xlsx/read_budget.h"

namespace quillory::xlsx {

struct Relationship {
  std::string id;
  std::string type;
  std::string target;  // as written
  std::string part;    // the target resolved to a part name; empty for an external target
};

// A part's relationships (its .rels part).
class Relationships {
 public:
  // "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels"; "" (the package) -> "_rels/.rels".
  static std::string PathFor(std::string_view source_part);

  Relationships() = default;
  Relationships(const std::string& xml, std::string_view source_part, const std::string& file,
                const ReadLimits& limits = {});

  const Relationship* ById(std::string_view id) const;
  // The first relationship whose type ends with "/" + `kind` (transitional and Strict alike).
  const Relationship* OfKind(std::string_view kind) const;
  const std::vector<Relationship>& all() const { return all_; }

  // `xml` without the relationship `id`.
  static std::string Without(const std::string& xml, std::string_view id);

 private:
  std::vector<Relationship> all_;
  std::unordered_map<std::string, std::size_t> by_id_;  // the first of each id
};

// The part a relative or absolute target names, seen from `source_part`.
std::string ResolveTarget(std::string_view source_part, std::string_view target);

bool TypeIs(std::string_view type, std::string_view kind);

}  // namespace quillory::xlsx
