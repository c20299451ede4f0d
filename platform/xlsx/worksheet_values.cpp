#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

#include "platform/xlsx/cell_escapes.h"
#include "platform/xlsx/serial_dates.h"
#include "platform/xlsx/shared_strings.h"
#include "platform/xlsx/styles.h"
#include "platform/xlsx/worksheet_markup.h"
#include "platform/xlsx/worksheet_part.h"

// The text a cell shows, from its stored value, type and style.
namespace quillory::xlsx {
namespace {

using worksheet::ParseUnsigned;
using worksheet::Token;
using worksheet::TokenKind;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n' ||
                           text.front() == '\r')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' ||
                           text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

bool ParseNumber(std::string_view text, double* value) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), *value);
  return result.ec == std::errc{} && result.ptr == text.data() + text.size() &&
         std::isfinite(*value);
}

// An ISO 8601 date, time or date-time (t="d" cells) as a serial number; nothing when unreadable.
bool ParseIsoDate(std::string_view text, bool date1904, double* serial) {
  text = Trim(text);
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  double second = 0;
  bool has_date = false;
  auto number = [&](std::size_t pos, std::size_t length, int* out) {
    if (pos + length > text.size()) return false;
    const auto r = std::from_chars(text.data() + pos, text.data() + pos + length, *out);
    return r.ec == std::errc{} && r.ptr == text.data() + pos + length;
  };
  std::size_t pos = 0;
  if (text.size() >= 10 && text[4] == '-' && text[7] == '-') {
    if (!number(0, 4, &year) || !number(5, 2, &month) || !number(8, 2, &day)) return false;
    if (month < 1 || month > 12 || day < 1 || day > 31) return false;
    has_date = true;
    pos = 10;
    if (pos < text.size() && (text[pos] == 'T' || text[pos] == ' ')) ++pos;
  }
  if (pos < text.size()) {
    if (!number(pos, 2, &hour) || pos + 5 > text.size() || text[pos + 2] != ':' ||
        !number(pos + 3, 2, &minute)) {
      return false;
    }
    pos += 5;
    if (pos < text.size() && text[pos] == ':') {
      std::size_t end = pos + 1;
      while (end < text.size() && ((text[end] >= '0' && text[end] <= '9') || text[end] == '.')) {
        ++end;
      }
      const auto r = std::from_chars(text.data() + pos + 1, text.data() + end, second);
      if (r.ec != std::errc{}) return false;
      pos = end;
    }
  }
  double days = 0;
  if (has_date) {
    days = static_cast<double>(SerialOfDate(year, month, day, date1904));
  }
  *serial = days + (hour * 3600 + minute * 60 + second) / 86400.0;
  return true;
}

}  // namespace

std::string WorksheetPart::CellText(const Cell& cell, const SharedStrings& strings,
                                    const Styles& styles) const {
  if (cell.edit >= 0) {
    const std::string_view value = Written(cell.edit);
    return value.empty() ? std::string() : styles.Text(value, cell.style);
  }
  if (!cell.has_value) return {};
  std::string_view raw = std::string_view(xml_).substr(cell.value_begin, cell.value_size);
  std::string decoded;
  if (cell.type != CellType::InlineString && raw.find_first_of("&<") != std::string_view::npos) {
    // Entities or CDATA inside v.
    std::string wrapped("<v>");
    wrapped.append(raw);
    wrapped.append("</v>");
    xml::Scanner scanner(wrapped);
    const Token start = scanner.Next();
    scanner.ReadSimpleContent(start, &decoded);
    raw = decoded;
  }
  switch (cell.type) {
    case CellType::Number: {
      double value = 0;
      if (Trim(raw).empty()) return {};
      if (!ParseNumber(raw, &value)) return std::string(raw);
      return styles.Number(value, cell.style);
    }
    case CellType::SharedString: {
      std::uint32_t index = 0;
      if (!ParseUnsigned(Trim(raw), &index)) return {};
      const std::optional<std::string_view> text = strings.At(index);
      return text ? styles.Text(*text, cell.style) : std::string();
    }
    case CellType::FormulaString:
      return styles.Text(xml::DecodeCellEscapes(raw), cell.style);
    case CellType::Boolean: {
      const std::string_view value = Trim(raw);
      if (value.empty()) return {};
      return value == "1" || value == "true" ? "TRUE" : "FALSE";
    }
    case CellType::Error:
      return std::string(Trim(raw));
    case CellType::Date: {
      double serial = 0;
      if (!ParseIsoDate(raw, styles.date1904(), &serial)) return std::string(raw);
      return styles.Number(serial, cell.style);
    }
    case CellType::InlineString: {
      xml::Scanner scanner(std::string_view(xml_).substr(0, cell.end), cell.begin);
      scanner.Next();  // the c start tag
      for (Token child; scanner.NextChild(&child);) {
        if (xml::LocalName(child.name) == "is") {
          std::string text;
          if (!ReadStringItem(scanner, child, &text)) return {};
          return text.empty() ? text : styles.Text(text, cell.style);
        }
        if (!scanner.SkipElement(child)) return {};
      }
      return {};
    }
  }
  return {};
}

std::string WorksheetPart::Text(std::int32_t row, std::int32_t column, const SharedStrings& strings,
                                const Styles& styles) const {
  if (const Cell* cell = Find(row, column)) return CellText(*cell, strings, styles);
  if (const auto added = added_.find({row, column}); added != added_.end()) {
    const std::string_view value = Written(added->second.edit);
    return value.empty() ? std::string() : styles.Text(value, 0);
  }
  return {};
}

}  // namespace quillory::xlsx
