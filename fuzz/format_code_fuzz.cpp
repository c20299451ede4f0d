// Number-format codes: any code with any value or text renders without crashing or hanging, and
// the text stays within a bound set by the code's length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/xlsx/number_format.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Longest number the renderer can write: every digit of the largest double with separators,
// plus whatever the code itself spells out.
std::size_t Bound(std::string_view code, std::size_t text) {
  return 1024 + code.size() * (16 + text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 9) return 0;
  double value;
  std::memcpy(&value, data, sizeof value);
  const bool date1904 = (data[8] & 1) != 0;
  const std::string_view code(reinterpret_cast<const char*>(data) + 9, size - 9);
  using namespace quillory::xlsx;

  Check(FormatNumber(value, code, date1904).size() <= Bound(code, 0));
  const double simple[] = {0, -1, 0.5, 45306.75, -1234.5, 1e100, 2958465.9999999};
  for (double v : simple) Check(FormatNumber(v, code, date1904).size() <= Bound(code, 0));
  Check(FormatText("text", code).size() <= Bound(code, 4));

  NumberFormats formats;
  formats.SetDate1904(date1904);
  formats.AddCustom(164, std::string(code));
  Check(formats.Number(value, 164) == FormatNumber(value, code, date1904));
  Check(formats.Number(value, data[8] % 50).size() <= 1024);
  return 0;
}
