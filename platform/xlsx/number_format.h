#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quillory::xlsx {

struct ParsedFormat;  // a format code cut into its sections, parsed once

// The code of a built-in number format id (0-49), en-US; empty for ids without one.
std::string_view BuiltInFormatCode(int id);

// How a number is shown under `code` in a column wide enough ("General" for the General format).
// `date1904` selects the 1904 date system.
std::string FormatNumber(double value, std::string_view code, bool date1904 = false);

// How a number is shown under `code` when its numeric sections show numbers only through General,
// with literals, colours and conditions around it ("General", "General;[Red]-General",
// "General\" kg\""); nothing for any other code.
std::optional<std::string> FormatThroughGeneral(double value, std::string_view code);

// How a text cell is shown under `code` (a text section or "@"; the text itself otherwise).
std::string FormatText(std::string_view text, std::string_view code);

// General as a standard-width column shows it: at most 11 characters, a minus sign not counted.
std::string FormatGeneral(double value);

// The number formats of one workbook: its own codes by id, then the built-in table. Each code is
// parsed once, on first use.
class NumberFormats {
 public:
  NumberFormats();
  ~NumberFormats();
  NumberFormats(NumberFormats&&) noexcept;
  NumberFormats& operator=(NumberFormats&&) noexcept;

  void SetDate1904(bool date1904) { date1904_ = date1904; }
  // A numFmt element of the workbook; it wins over the built-in code of the same id.
  void AddCustom(int id, std::string code);

  std::string Number(double value, int id) const;
  std::string Text(std::string_view text, int id) const;

 private:
  const ParsedFormat& Parsed(int id) const;

  bool date1904_ = false;
  std::unordered_map<int, std::string> custom_;
  mutable std::unordered_map<int, std::unique_ptr<ParsedFormat>> parsed_;
};

}  // namespace quillory::xlsx
