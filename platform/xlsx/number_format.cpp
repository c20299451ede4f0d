#include "platform/xlsx/number_format.h"

#include <cstdio>

namespace quillory::xlsx {

struct ParsedFormat {
  std::string code;
};

std::string_view BuiltInFormatCode(int id) { return id == 0 ? "General" : ""; }

std::string FormatGeneral(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.10G", value);
  return buffer;
}

std::string FormatNumber(double value, std::string_view, bool) { return FormatGeneral(value); }

std::string FormatText(std::string_view text, std::string_view) { return std::string(text); }

NumberFormats::NumberFormats() = default;
NumberFormats::~NumberFormats() = default;
NumberFormats::NumberFormats(NumberFormats&&) noexcept = default;
NumberFormats& NumberFormats::operator=(NumberFormats&&) noexcept = default;

void NumberFormats::AddCustom(int id, std::string code) { custom_[id] = std::move(code); }

const ParsedFormat& NumberFormats::Parsed(int id) const {
  auto& slot = parsed_[id];
  if (!slot) slot = std::make_unique<ParsedFormat>();
  return *slot;
}

std::string NumberFormats::Number(double value, int id) const {
  Parsed(id);
  return FormatNumber(value, "", date1904_);
}

std::string NumberFormats::Text(std::string_view text, int) const { return std::string(text); }

}  // namespace quillory::xlsx
