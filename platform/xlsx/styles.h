#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/xlsx/number_format.h"
#include "platform/xlsx/read_budget.h"

namespace quillory::xlsx {

// xl/styles.xml as far as displayed text needs it: each cell style's number format.
class Styles {
 public:
  Styles() = default;
  Styles(const std::string& xml, const std::string& file, const std::string& part,
         const ReadLimits& limits = {});

  void SetDate1904(bool date1904) {
    date1904_ = date1904;
    formats_.SetDate1904(date1904);
  }
  bool date1904() const { return date1904_; }

  // The number format id of cell style `style` (0, General, for an unknown style).
  int NumberFormatId(std::uint32_t style) const {
    return style < format_ids_.size() ? format_ids_[style] : 0;
  }
  // Whether cell style `style` locks its cells when the sheet is protected (the default).
  bool Locked(std::uint32_t style) const { return style >= unlocked_.size() || !unlocked_[style]; }
  std::string Number(double value, std::uint32_t style) const {
    return formats_.Number(value, NumberFormatId(style));
  }
  std::string Text(std::string_view text, std::uint32_t style) const {
    const int id = NumberFormatId(style);
    return id == 0 ? std::string(text) : formats_.Text(text, id);
  }

 private:
  NumberFormats formats_;
  bool date1904_ = false;
  std::vector<int> format_ids_;  // by cellXfs index
  std::vector<bool> unlocked_;   // by cellXfs index
};

}  // namespace quillory::xlsx
