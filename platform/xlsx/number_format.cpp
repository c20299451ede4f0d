#include "platform/xlsx/number_format.h"

#include <cmath>

#include "platform/xlsx/number_format_internal.h"

namespace quillory::xlsx {

std::string_view BuiltInFormatCode(int id) {
  switch (id) {
    case 0:
      return "General";
    case 1:
      return "0";
    case 2:
      return "0.00";
    case 3:
      return "#,##0";
    case 4:
      return "#,##0.00";
    case 5:
      return "$#,##0_);($#,##0)";
    case 6:
      return "$#,##0_);[Red]($#,##0)";
    case 7:
      return "$#,##0.00_);($#,##0.00)";
    case 8:
      return "$#,##0.00_);[Red]($#,##0.00)";
    case 9:
      return "0%";
    case 10:
      return "0.00%";
    case 11:
      return "0.00E+00";
    case 12:
      return "# ?/?";
    case 13:
      return "# ?\?/??";
    case 14:
      return "m/d/yyyy";
    case 15:
      return "d-mmm-yy";
    case 16:
      return "d-mmm";
    case 17:
      return "mmm-yy";
    case 18:
      return "h:mm AM/PM";
    case 19:
      return "h:mm:ss AM/PM";
    case 20:
      return "h:mm";
    case 21:
      return "h:mm:ss";
    case 22:
      return "m/d/yyyy h:mm";
    // East Asian date ids: an en-US installation shows its short date.
    case 27:
    case 28:
    case 29:
    case 30:
    case 31:
    case 32:
    case 33:
    case 34:
    case 35:
    case 36:
      return "m/d/yyyy";
    case 37:
      return "#,##0_);(#,##0)";
    case 38:
      return "#,##0_);[Red](#,##0)";
    case 39:
      return "#,##0.00_);(#,##0.00)";
    case 40:
      return "#,##0.00_);[Red](#,##0.00)";
    case 41:
      return "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)";
    case 42:
      return "_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)";
    case 43:
      return "_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"??_);_(@_)";
    case 44:
      return "_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"??_);_(@_)";
    case 45:
      return "mm:ss";
    case 46:
      return "[h]:mm:ss";
    case 47:
      return "mm:ss.0";
    case 48:
      return "##0.0E+0";
    case 49:
      return "@";
    default:
      return "";
  }
}

namespace {

ParsedFormat ParseCode(std::string_view code) {
  ParsedFormat parsed;
  numfmt::Parse(code.empty() ? std::string_view("General") : code, parsed);
  return parsed;
}

}  // namespace

std::string FormatGeneral(double value) {
  if (!std::isfinite(value)) return "#NUM!";
  std::string out;
  numfmt::AppendGeneral(out, numfmt::ToDecimal(std::fabs(value)), value < 0, 11);
  return out;
}

std::string FormatNumber(double value, std::string_view code, bool date1904) {
  return numfmt::Render(ParseCode(code), value, date1904);
}

std::optional<std::string> FormatThroughGeneral(double value, std::string_view code) {
  if (code.empty()) return std::nullopt;
  const ParsedFormat parsed = ParseCode(code);
  bool general = false;
  for (int i = 0; i < parsed.numeric_count; ++i) {
    const numfmt::Section& section = parsed.sections[static_cast<std::size_t>(i)];
    if (section.is_date || section.has_digits || section.percent != 0) return std::nullopt;
    for (const numfmt::Token& token : section.tokens) {
      if (token.kind == numfmt::Tok::kGeneral) {
        general = true;
      } else if (token.kind != numfmt::Tok::kLiteral) {
        return std::nullopt;
      }
    }
  }
  if (!general) return std::nullopt;
  return numfmt::Render(parsed, value, false);
}

std::string FormatText(std::string_view text, std::string_view code) {
  return numfmt::RenderText(ParseCode(code), text);
}

NumberFormats::NumberFormats() = default;
NumberFormats::~NumberFormats() = default;
NumberFormats::NumberFormats(NumberFormats&&) noexcept = default;
NumberFormats& NumberFormats::operator=(NumberFormats&&) noexcept = default;

void NumberFormats::AddCustom(int id, std::string code) {
  custom_[id] = std::move(code);
  parsed_.erase(id);
}

const ParsedFormat& NumberFormats::Parsed(int id) const {
  auto& slot = parsed_[id];
  if (!slot) {
    const auto custom = custom_.find(id);
    const std::string_view code =
        custom != custom_.end() ? std::string_view(custom->second) : BuiltInFormatCode(id);
    slot = std::make_unique<ParsedFormat>(ParseCode(code));
  }
  return *slot;
}

std::string NumberFormats::Number(double value, int id) const {
  return numfmt::Render(Parsed(id), value, date1904_);
}

std::string NumberFormats::Text(std::string_view text, int id) const {
  return numfmt::RenderText(Parsed(id), text);
}

}  // namespace quillory::xlsx
