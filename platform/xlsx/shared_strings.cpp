#include "platform/xlsx/shared_strings.h"

#include "platform/xlsx/cell_escapes.h"
#include "workbook/spreadsheet.h"

namespace quillory::xlsx {

bool ReadStringItem(xml::Scanner& scanner, const xml::Token& start, std::string* text) {
  text->clear();
  if (start.kind == xml::TokenKind::EmptyTag) return true;
  std::string raw;
  xml::Token token;
  while (scanner.NextChild(&token)) {
    const std::string_view local = xml::LocalName(token.name);
    if (local == "t") {
      if (!scanner.ReadSimpleContent(token, &raw)) return false;
    } else if (local == "r" && token.kind == xml::TokenKind::StartTag) {
      // A rich run: its text is in a t child, beside run properties.
      xml::Token inner;
      while (scanner.NextChild(&inner)) {
        if (xml::LocalName(inner.name) == "t") {
          if (!scanner.ReadSimpleContent(inner, &raw)) return false;
        } else if (!scanner.SkipElement(inner)) {
          return false;
        }
      }
      if (inner.kind != xml::TokenKind::EndTag) return false;
    } else if (!scanner.SkipElement(token)) {  // rPh, phoneticPr, extensions
      return false;
    }
  }
  if (token.kind != xml::TokenKind::EndTag) return false;
  *text = xml::DecodeCellEscapes(raw);
  return true;
}

SharedStrings::SharedStrings(const std::string& xml, const std::string& file,
                             const std::string& part, const ReadLimits& limits) {
  auto malformed = [&] {
    return workbook::WorkbookError(
        file, "the part /" + part + " is not well-formed XML; the file is damaged");
  };
  xml::Scanner scanner(xml);
  xml::Token root;
  if (!scanner.FindRoot(&root)) throw malformed();
  if (root.kind == xml::TokenKind::EmptyTag) return;
  std::string_view count;
  if (xml::FindAttribute(root.attributes, "uniqueCount", &count)) {
    std::size_t expected = 0;
    for (const char c : count) {
      if (c < '0' || c > '9' || expected > (1u << 24)) break;
      expected = expected * 10 + static_cast<std::size_t>(c - '0');
    }
    ends_.reserve(std::min<std::size_t>({expected, xml.size() / 8 + 1, limits.shared_strings}));
  }
  xml::Token token;
  while (scanner.NextChild(&token)) {
    if (xml::LocalName(token.name) == "si") {
      // Each costs 32 bytes however short: "<si/>" five bytes of text.
      if (ends_.size() == limits.shared_strings) {
        RefuseTooLarge(file, "its shared string table /" + part + " holds more than " +
                                 CountText(limits.shared_strings) + " strings");
      }
      std::string text;
      if (!ReadStringItem(scanner, token, &text)) throw malformed();
      if (text_.size() + text.size() > UINT32_MAX) {
        RefuseTooLarge(file, "its shared string table /" + part + " holds more than " +
                                 SizeText(UINT32_MAX) + " of text");
      }
      text_ += text;
      ends_.push_back(static_cast<std::uint32_t>(text_.size()));
    } else if (!scanner.SkipElement(token)) {
      throw malformed();
    }
  }
  if (token.kind != xml::TokenKind::EndTag) throw malformed();
}

}  // namespace quillory::xlsx
