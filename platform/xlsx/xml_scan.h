#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A small pull scanner over XML text that reports where each piece of markup begins and ends.
// Worksheets are read with it (a DOM of a million cells costs too much memory) and edited parts
// are changed by splicing new text into the old, so everything not touched stays as it was.
namespace quillory::xlsx::xml {

enum class TokenKind {
  StartTag,  // <a ...>
  EmptyTag,  // <a .../>
  EndTag,    // </a>
  Text,      // character data, entities still encoded
  CData,     // <![CDATA[...]]>: `text` holds the content
  Other,     // comment, processing instruction, declaration, doctype
  End,       // end of input
  Error,     // malformed markup at `begin`
};

struct Token {
  TokenKind kind = TokenKind::End;
  std::string_view name;        // qualified name of a tag
  std::string_view attributes;  // raw text between the name and '>' or '/>'
  std::string_view text;        // Text and CData content
  std::size_t begin = 0;        // span of the whole token in the document
  std::size_t end = 0;
};

// The part of a qualified name after the prefix: "x:row" -> "row".
std::string_view LocalName(std::string_view qualified);
// The prefix of a qualified name including the colon: "x:row" -> "x:", "row" -> "".
std::string_view Prefix(std::string_view qualified);

class Scanner {
 public:
  explicit Scanner(std::string_view document, std::size_t position = 0)
      : doc_(document), pos_(position) {}

  Token Next();
  std::size_t position() const { return pos_; }
  // Continues at `position`, after markup the caller has read itself.
  void Seek(std::size_t position) { pos_ = position; }

  // At the start of a document: moves past the prolog to the root element's tag (StartTag or
  // EmptyTag) in `root`. False when there is none before malformed markup or the end.
  bool FindRoot(Token* root);
  // Inside an element: the next child element's tag (StartTag or EmptyTag) in `child`, passing
  // over text, comments and CDATA. The caller reads or skips each child before asking for the
  // next. False at the element's end tag, and at the end of the input or on malformed markup:
  // `child->kind` then says which (EndTag, End or Error).
  bool NextChild(Token* child);

  // After a StartTag: skips to the matching end tag, checking the nesting. Returns false on
  // malformed markup. `end` receives the offset just after the end tag.
  bool SkipElement(const Token& start, std::size_t* end = nullptr);
  // After a StartTag: the element's character data (text with its entity and character
  // references decoded, and CDATA) appended to `decoded` up to its end tag; nested elements are
  // skipped. Returns false on malformed markup or a malformed reference.
  bool ReadSimpleContent(const Token& start, std::string* decoded);

 private:
  std::string_view doc_;
  std::size_t pos_;
};

// Iterates the attributes of a tag's raw attribute text.
class AttributeReader {
 public:
  explicit AttributeReader(std::string_view raw) : raw_(raw) {}
  // Returns false at the end or on malformed text (then `malformed()` is true).
  bool Next(std::string_view* name, std::string_view* raw_value);
  bool malformed() const { return malformed_; }
  // Span of the attribute just returned (from its name to its closing quote) within `raw`.
  std::size_t last_begin() const { return last_begin_; }
  std::size_t last_end() const { return pos_; }

 private:
  std::string_view raw_;
  std::size_t pos_ = 0;
  std::size_t last_begin_ = 0;
  bool malformed_ = false;
};

// The raw value of the attribute whose local name is `local` (any prefix when `prefixed` is false;
// only a prefixed one, like r:id, when true). Returns false when there is none.
bool FindAttribute(std::string_view raw_attributes, std::string_view local, std::string_view* value,
                   bool prefixed = false);

// Appends `raw` with entity and character references decoded. Returns false on a malformed
// reference (the text is appended as far as it could be read).
bool AppendDecoded(std::string_view raw, std::string* out);
std::string Decoded(std::string_view raw);

// Appends `text` escaped for character data (&, <, >) or, with `attribute`, for a double-quoted
// attribute value (also ", tab, LF, CR).
void AppendEscaped(std::string_view text, std::string* out, bool attribute = false);

// True when character data must keep its surrounding white space (xml:space="preserve").
bool NeedsPreserve(std::string_view text);

// `document` without the children of its root element for which `remove(tag)` is true, in `out`;
// the rest is kept byte for byte. Returns false (with `out` unfinished) when the markup is
// malformed or there is no root element with children.
bool RemoveRootChildren(std::string_view document, const std::function<bool(const Token&)>& remove,
                        std::string* out);

}  // namespace quillory::xlsx::xml
