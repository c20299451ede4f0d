#include "platform/xlsx/xml_scan.h"

#include <cstdint>
#include <cstring>

#include "engine/unicode.h"

namespace quillory::xlsx::xml {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameChar(char c) {
  return !IsSpace(c) && c != '/' && c != '>' && c != '<' && c != '=' && c != '"' && c != '\'' &&
         c != '\0';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string_view LocalName(std::string_view qualified) {
  const auto colon = qualified.find(':');
  return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

std::string_view Prefix(std::string_view qualified) {
  const auto colon = qualified.find(':');
  return colon == std::string_view::npos ? std::string_view{} : qualified.substr(0, colon + 1);
}

Token Scanner::Next() {
  Token token;
  token.begin = pos_;
  if (pos_ >= doc_.size()) {
    token.kind = TokenKind::End;
    token.end = pos_;
    return token;
  }
  auto fail = [&] {
    token.kind = TokenKind::Error;
    token.end = pos_;
    return token;
  };
  if (doc_[pos_] != '<') {
    auto next = doc_.find('<', pos_);
    if (next == std::string_view::npos) next = doc_.size();
    token.kind = TokenKind::Text;
    token.text = doc_.substr(pos_, next - pos_);
    pos_ = next;
    token.end = pos_;
    return token;
  }
  const std::string_view rest = doc_.substr(pos_);
  auto skip_to = [&](std::string_view terminator, std::size_t from) -> bool {
    const auto found = doc_.find(terminator, pos_ + from);
    if (found == std::string_view::npos) return false;
    pos_ = found + terminator.size();
    return true;
  };
  if (rest.starts_with("<!--")) {
    if (!skip_to("-->", 4)) return fail();
    token.kind = TokenKind::Other;
  } else if (rest.starts_with("<![CDATA[")) {
    const auto found = doc_.find("]]>", pos_ + 9);
    if (found == std::string_view::npos) return fail();
    token.kind = TokenKind::CData;
    token.text = doc_.substr(pos_ + 9, found - pos_ - 9);
    pos_ = found + 3;
  } else if (rest.starts_with("<?")) {
    if (!skip_to("?>", 2)) return fail();
    token.kind = TokenKind::Other;
  } else if (rest.starts_with("<!")) {
    // A doctype, possibly with an internal subset in brackets. The bracket is looked for only
    // up to the first '>': searching the rest of the document for each "<!" made a flood of
    // them take quadratic time.
    const auto close = doc_.find('>', pos_);
    if (close == std::string_view::npos) return fail();
    const auto bracket = doc_.substr(pos_, close - pos_).find('[');
    if (bracket != std::string_view::npos) {
      if (!skip_to("]", bracket) || !skip_to(">", 0)) return fail();
    } else if (!skip_to(">", 2)) {
      return fail();
    }
    token.kind = TokenKind::Other;
  } else if (rest.starts_with("</")) {
    std::size_t p = pos_ + 2;
    const std::size_t name_begin = p;
    while (p < doc_.size() && IsNameChar(doc_[p])) ++p;
    if (p == name_begin) return fail();
    token.name = doc_.substr(name_begin, p - name_begin);
    while (p < doc_.size() && IsSpace(doc_[p])) ++p;
    if (p >= doc_.size() || doc_[p] != '>') return fail();
    pos_ = p + 1;
    token.kind = TokenKind::EndTag;
  } else {
    std::size_t p = pos_ + 1;
    const std::size_t name_begin = p;
    while (p < doc_.size() && IsNameChar(doc_[p])) ++p;
    if (p == name_begin) return fail();
    token.name = doc_.substr(name_begin, p - name_begin);
    const std::size_t attributes_begin = p;
    // Attributes: name = "value" pairs; '>' may appear inside quoted values.
    for (;;) {
      while (p < doc_.size() && IsSpace(doc_[p])) ++p;
      if (p >= doc_.size()) return fail();
      if (doc_[p] == '>') {
        token.kind = TokenKind::StartTag;
        token.attributes = doc_.substr(attributes_begin, p - attributes_begin);
        pos_ = p + 1;
        break;
      }
      if (doc_[p] == '/') {
        if (p + 1 >= doc_.size() || doc_[p + 1] != '>') return fail();
        token.kind = TokenKind::EmptyTag;
        token.attributes = doc_.substr(attributes_begin, p - attributes_begin);
        pos_ = p + 2;
        break;
      }
      if (p == attributes_begin) return fail();  // no space between name and attribute
      const std::size_t attribute_name = p;
      while (p < doc_.size() && IsNameChar(doc_[p])) ++p;
      if (p == attribute_name) return fail();
      while (p < doc_.size() && IsSpace(doc_[p])) ++p;
      if (p >= doc_.size() || doc_[p] != '=') return fail();
      ++p;
      while (p < doc_.size() && IsSpace(doc_[p])) ++p;
      if (p >= doc_.size() || (doc_[p] != '"' && doc_[p] != '\'')) return fail();
      const char quote = doc_[p];
      const auto close = doc_.find(quote, p + 1);
      if (close == std::string_view::npos) return fail();
      if (doc_.substr(p + 1, close - p - 1).find('<') != std::string_view::npos) return fail();
      p = close + 1;
      if (p < doc_.size() && !IsSpace(doc_[p]) && doc_[p] != '>' && doc_[p] != '/') return fail();
    }
  }
  token.end = pos_;
  return token;
}

bool Scanner::FindRoot(Token* root) {
  do {
    *root = Next();
  } while (root->kind == TokenKind::Text || root->kind == TokenKind::Other);  // the prolog
  return root->kind == TokenKind::StartTag || root->kind == TokenKind::EmptyTag;
}

bool Scanner::NextChild(Token* child) {
  do {
    *child = Next();  // passing over text, CDATA, comments and processing instructions
  } while (child->kind == TokenKind::Text || child->kind == TokenKind::CData ||
           child->kind == TokenKind::Other);
  return child->kind == TokenKind::StartTag || child->kind == TokenKind::EmptyTag;
}

bool Scanner::SkipElement(const Token& start, std::size_t* end) {
  if (start.kind == TokenKind::EmptyTag) {
    if (end) *end = start.end;
    return true;
  }
  std::vector<std::string_view> open{start.name};
  for (;;) {
    const Token token = Next();
    switch (token.kind) {
      case TokenKind::StartTag:
        open.push_back(token.name);
        break;
      case TokenKind::EndTag:
        if (token.name != open.back()) return false;
        open.pop_back();
        if (open.empty()) {
          if (end) *end = token.end;
          return true;
        }
        break;
      case TokenKind::Error:
      case TokenKind::End:
        return false;
      default:
        break;
    }
  }
}

bool Scanner::ReadSimpleContent(const Token& start, std::string* decoded) {
  if (start.kind == TokenKind::EmptyTag) return true;
  for (;;) {
    const Token token = Next();
    switch (token.kind) {
      case TokenKind::Text:
        if (!AppendDecoded(token.text, decoded)) return false;
        break;
      case TokenKind::CData:
        decoded->append(token.text);
        break;
      case TokenKind::StartTag:
        if (!SkipElement(token)) return false;
        break;
      case TokenKind::EndTag:
        return token.name == start.name;
      case TokenKind::Error:
      case TokenKind::End:
        return false;
      default:
        break;
    }
  }
}

bool AttributeReader::Next(std::string_view* name, std::string_view* raw_value) {
  while (pos_ < raw_.size() && IsSpace(raw_[pos_])) ++pos_;
  if (pos_ >= raw_.size()) return false;
  last_begin_ = pos_;
  const std::size_t name_begin = pos_;
  while (pos_ < raw_.size() && IsNameChar(raw_[pos_])) ++pos_;
  if (pos_ == name_begin) {
    malformed_ = true;
    return false;
  }
  *name = raw_.substr(name_begin, pos_ - name_begin);
  while (pos_ < raw_.size() && IsSpace(raw_[pos_])) ++pos_;
  if (pos_ >= raw_.size() || raw_[pos_] != '=') {
    malformed_ = true;
    return false;
  }
  ++pos_;
  while (pos_ < raw_.size() && IsSpace(raw_[pos_])) ++pos_;
  if (pos_ >= raw_.size() || (raw_[pos_] != '"' && raw_[pos_] != '\'')) {
    malformed_ = true;
    return false;
  }
  const char quote = raw_[pos_];
  const auto close = raw_.find(quote, pos_ + 1);
  if (close == std::string_view::npos) {
    malformed_ = true;
    return false;
  }
  *raw_value = raw_.substr(pos_ + 1, close - pos_ - 1);
  pos_ = close + 1;
  return true;
}

bool FindAttribute(std::string_view raw_attributes, std::string_view local, std::string_view* value,
                   bool prefixed) {
  AttributeReader reader(raw_attributes);
  std::string_view name, raw;
  while (reader.Next(&name, &raw)) {
    if (prefixed) {
      if (name.find(':') == std::string_view::npos || name.starts_with("xmlns")) continue;
      if (LocalName(name) != local) continue;
    } else if (name != local) {
      continue;
    }
    *value = raw;
    return true;
  }
  return false;
}

bool AppendDecoded(std::string_view raw, std::string* out) {
  std::size_t pos = 0;
  for (;;) {
    const auto amp = raw.find('&', pos);
    if (amp == std::string_view::npos) {
      out->append(raw.substr(pos));
      return true;
    }
    out->append(raw.substr(pos, amp - pos));
    const auto semi = raw.find(';', amp);
    if (semi == std::string_view::npos || semi - amp > 12) {
      out->append(raw.substr(amp));
      return false;
    }
    const std::string_view entity = raw.substr(amp + 1, semi - amp - 1);
    if (entity == "amp") {
      out->push_back('&');
    } else if (entity == "lt") {
      out->push_back('<');
    } else if (entity == "gt") {
      out->push_back('>');
    } else if (entity == "quot") {
      out->push_back('"');
    } else if (entity == "apos") {
      out->push_back('\'');
    } else if (entity.size() >= 2 && entity[0] == '#') {
      std::uint32_t cp = 0;
      const bool hex = entity[1] == 'x' || entity[1] == 'X';
      const std::string_view digits = entity.substr(hex ? 2 : 1);
      if (digits.empty()) return false;
      for (const char c : digits) {
        const int v = hex ? HexValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (v < 0) return false;
        cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(v);
        if (cp > 0x10FFFF) return false;
      }
      if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
      unicode::AppendUtf8(cp, *out);
    } else {
      out->append(raw.substr(amp, semi - amp + 1));
      return false;
    }
    pos = semi + 1;
  }
}

std::string Decoded(std::string_view raw) {
  std::string out;
  AppendDecoded(raw, &out);
  return out;
}

void AppendEscaped(std::string_view text, std::string* out, bool attribute) {
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char* replacement = nullptr;
    switch (c) {
      case '&':
        replacement = "&amp;";
        break;
      case '<':
        replacement = "&lt;";
        break;
      case '>':
        replacement = "&gt;";
        break;
      case '"':
        replacement = attribute ? "&quot;" : nullptr;
        break;
      case '\t':
        replacement = attribute ? "&#9;" : nullptr;
        break;
      case '\n':
        replacement = attribute ? "&#10;" : nullptr;
        break;
      case '\r':
        replacement = "&#13;";
        break;
      default:
        break;
    }
    if (!replacement) continue;
    out->append(text.substr(run, i - run));
    out->append(replacement);
    run = i + 1;
  }
  out->append(text.substr(run));
}

bool NeedsPreserve(std::string_view text) {
  if (text.empty()) return false;
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  if (space(text.front()) || space(text.back())) return true;
  return text.find("  ") != std::string_view::npos || text.find('\n') != std::string_view::npos ||
         text.find('\t') != std::string_view::npos;
}

bool RemoveRootChildren(std::string_view document, const std::function<bool(const Token&)>& remove,
                        std::string* out) {
  Scanner scanner(document);
  Token root;
  if (!scanner.FindRoot(&root) || root.kind == TokenKind::EmptyTag) return false;
  out->clear();
  std::size_t copied = 0;
  Token token;
  while (scanner.NextChild(&token)) {
    std::size_t end = token.end;
    if (!scanner.SkipElement(token, &end)) return false;
    if (remove(token)) {
      out->append(document.substr(copied, token.begin - copied));
      copied = end;
    }
  }
  if (token.kind != TokenKind::EndTag) return false;
  out->append(document.substr(copied));
  return true;
}

}  // namespace quillory::xlsx::xml
