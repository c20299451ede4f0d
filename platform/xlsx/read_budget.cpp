#include "platform/xlsx/read_budget.h"

#include <algorithm>
#include <cstdio>

#include "workbook/spreadsheet.h"

namespace quillory::xlsx {
namespace {

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
  return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

std::uint64_t SaturatingMultiply(std::uint64_t a, std::uint64_t b) {
  return b != 0 && a > UINT64_MAX / b ? UINT64_MAX : a * b;
}

std::uint64_t Left(std::uint64_t limit, std::uint64_t used) {
  return limit > used ? limit - used : 0;
}

}  // namespace

void RefuseTooLarge(const std::string& file, const std::string& what) {
  throw workbook::WorkbookError(file, "the workbook is too large to convert safely: " + what);
}

std::string SizeText(std::uint64_t bytes) {
  static const char* const kUnits[] = {"bytes", "kB", "MB", "GB", "TB", "PB", "EB"};
  double value = static_cast<double>(bytes);
  std::size_t unit = 0;
  while (value >= 1000 && unit + 1 < std::size(kUnits)) {
    value /= 1000;
    ++unit;
  }
  char text[32];
  if (unit == 0) {
    std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
  } else {
    std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, kUnits[unit]);
  }
  return text;
}

std::string CountText(std::uint64_t count) {
  const std::string digits = std::to_string(count);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

std::uint64_t ReadBudget::PackedCounted(std::uint64_t packed) const {
  const std::uint64_t total = SaturatingAdd(packed_, packed);
  return file_size_ == 0 ? total : std::min(total, file_size_);
}

std::uint64_t ReadBudget::Allowance(std::uint64_t packed) const {
  const std::uint64_t by_packing = SaturatingAdd(
      limits_.free_bytes, SaturatingMultiply(PackedCounted(packed), limits_.unpacked_per_packed));
  return std::min(
      {limits_.part_bytes, Left(limits_.total_bytes, unpacked_), Left(by_packing, unpacked_)});
}

void ReadBudget::Spend(std::uint64_t packed, std::uint64_t unpacked) {
  packed_ = SaturatingAdd(packed_, packed);
  unpacked_ = SaturatingAdd(unpacked_, unpacked);
}

void ReadBudget::Refuse(const std::string& file, std::string_view part,
                        std::uint64_t packed) const {
  const std::uint64_t allowance = Allowance(packed);
  const std::string name = "/" + std::string(part);
  if (allowance == limits_.part_bytes) {
    RefuseTooLarge(file,
                   "its part " + name + " unpacks to more than " + SizeText(limits_.part_bytes));
  }
  if (allowance == Left(limits_.total_bytes, unpacked_)) {
    RefuseTooLarge(file,
                   "its parts unpack to more than " + SizeText(limits_.total_bytes) + " in all");
  }
  RefuseTooLarge(file, "its parts, up to " + name + ", unpack to more than " +
                           SizeText(unpacked_ + allowance) + " from " +
                           SizeText(PackedCounted(packed)) + " in the file");
}

}  // namespace quillory::xlsx
