#pragma once

#include <string>
#include <string_view>

namespace quillory::xlsx {

// [Content_Types].xml: the content type of each part.
class ContentTypes {
 public:
  static constexpr std::string_view kPart = "[Content_Types].xml";

  // `xml` without the Override entry for `part` (a part name without the leading slash).
  static std::string WithoutOverride(const std::string& xml, std::string_view part);
};

}  // namespace quillory::xlsx
