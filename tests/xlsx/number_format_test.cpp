#include "platform/xlsx/number_format.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "platform/xlsx/number_format_internal.h"

namespace quillory::xlsx {
namespace {

// One row of a golden table: kind, value, format code, displayed text, origin.
struct Row {
  std::string table;
  int line = 0;
  std::string kind;
  std::string value;
  std::string code;
  std::string expected;
  std::string origin;
};

// Failures and test listings show the row as it stands in its table.
void PrintTo(const Row& row, std::ostream* out) {
  *out << row.table << ':' << row.line << " [" << row.kind << "] " << row.value << " with "
       << row.code << " -> " << row.expected;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

std::vector<Row> LoadTables() {
  std::vector<Row> rows;
  for (const char* table : {"numfmt_corpus", "numfmt_features"}) {
    std::ifstream in(std::string(QUILLORY_TEST_DATA) + "/" + table + ".tsv");
    EXPECT_TRUE(in) << table;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
      ++number;
      if (line.empty() || line[0] == '#') continue;
      const std::vector<std::string> f = SplitTabs(line);
      EXPECT_EQ(f.size(), 5u) << table << ":" << number;
      if (f.size() != 5) continue;
      rows.push_back({table, number, f[0], f[1], f[2], f[3], f[4]});
    }
  }
  return rows;
}

std::string Show(const Row& row) {
  const double value = std::strtod(row.value.c_str(), nullptr);
  if (row.kind == "n") return FormatNumber(value, row.code);
  if (row.kind == "n1904") return FormatNumber(value, row.code, true);
  if (row.kind == "g") return FormatGeneral(value);
  if (row.kind == "t") return FormatText(row.value, row.code);
  NumberFormats formats;
  if (row.kind == "id") return formats.Number(value, std::atoi(row.code.c_str()));
  if (row.kind == "tid") return formats.Text(row.value, std::atoi(row.code.c_str()));
  ADD_FAILURE() << "unknown kind " << row.kind;
  return {};
}

class NumberFormatTable : public ::testing::TestWithParam<Row> {};

TEST_P(NumberFormatTable, ShowsTheDisplayedText) {
  const Row& row = GetParam();
  EXPECT_EQ(Show(row), row.expected) << row.table << ".tsv:" << row.line << "  value " << row.value
                                     << "  code [" << row.code << "]  (" << row.origin << ")";
}

INSTANTIATE_TEST_SUITE_P(Golden, NumberFormatTable, ::testing::ValuesIn(LoadTables()),
                         [](const ::testing::TestParamInfo<Row>& info) {
                           return info.param.table + "_line" + std::to_string(info.param.line);
                         });

// The 15 significant digits the renderer starts from, as a correctly rounded print gives them.
std::string ReferenceDigits(double value) {
  char buffer[40];
  const char* end =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14).ptr;
  std::string digits(1, buffer[0]);
  const char* p = buffer + 1;
  if (*p == '.') {
    for (++p; *p != 'e'; ++p) digits.push_back(*p);
  }
  const int exponent = std::atoi(std::string(p + 1, end).c_str());
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  return digits + "e" + std::to_string(exponent + 1);
}

TEST(Decimal, ShortDecimalsAndLongDoublesGiveTheRoundedDigits) {
  std::mt19937_64 random(7);
  for (int i = 0; i < 60000; ++i) {
    double value;
    if (i % 3 == 0) {
      value = static_cast<double>(random() % 1000000000000000ULL) / std::pow(10.0, random() % 16);
    } else if (i % 3 == 1) {
      value = std::uniform_real_distribution<double>(0, 1e6)(random);
    } else {
      const std::uint64_t bits = random() & 0x7fefffffffffffffULL;
      std::memcpy(&value, &bits, sizeof value);
    }
    if (!(value > 0)) continue;
    const numfmt::Decimal d = numfmt::ToDecimal(value);
    const std::string digits = std::string(d.digits, d.count) + "e" + std::to_string(d.point);
    ASSERT_EQ(digits, ReferenceDigits(value)) << value;
  }
}

TEST(NumberFormats, OwnCodeWinsOverTheBuiltInOne) {
  NumberFormats formats;
  EXPECT_EQ(formats.Number(1234.5, 4), "1,234.50");
  formats.AddCustom(4, "0.0");
  EXPECT_EQ(formats.Number(1234.5, 4), "1234.5");
  formats.AddCustom(164, "[$€-407]#,##0.00");
  EXPECT_EQ(formats.Number(-2.5, 164), "-€2.50");
}

TEST(NumberFormats, UnknownIdAndEmptyCodeShowGeneral) {
  NumberFormats formats;
  EXPECT_EQ(formats.Number(2.0 / 3, 200), "0.666666667");
  EXPECT_EQ(formats.Number(5, 24), "5");
  formats.AddCustom(165, "");
  EXPECT_EQ(formats.Number(0.25, 165), "0.25");
}

TEST(NumberFormats, DateSystemAppliesToEveryDateFormat) {
  NumberFormats formats;
  formats.AddCustom(170, "yyyy-mm-dd");
  EXPECT_EQ(formats.Number(0, 170), "1900-01-00");
  formats.SetDate1904(true);
  EXPECT_EQ(formats.Number(0, 170), "1904-01-01");
  EXPECT_EQ(formats.Number(0, 14), "1/1/1904");
  EXPECT_EQ(formats.Number(-1.5, 46), "-36:00:00");
}

TEST(NumberFormats, TextCellsUseTheTextSection) {
  NumberFormats formats;
  EXPECT_EQ(formats.Text("abc", 0), "abc");
  EXPECT_EQ(formats.Text("abc", 44), " abc ");
  formats.AddCustom(171, "0;-0;0;\"<\"@\">\"");
  EXPECT_EQ(formats.Text("x", 171), "<x>");
}

TEST(NumberFormats, MovedFormatsKeepTheirCodes) {
  NumberFormats formats;
  formats.AddCustom(172, "0.000");
  EXPECT_EQ(formats.Number(1, 172), "1.000");
  NumberFormats moved = std::move(formats);
  EXPECT_EQ(moved.Number(1, 172), "1.000");
}

TEST(BuiltInFormatCode, EnglishUnitedStatesCodes) {
  EXPECT_EQ(BuiltInFormatCode(0), "General");
  EXPECT_EQ(BuiltInFormatCode(14), "m/d/yyyy");
  EXPECT_EQ(BuiltInFormatCode(22), "m/d/yyyy h:mm");
  EXPECT_EQ(BuiltInFormatCode(49), "@");
  EXPECT_EQ(BuiltInFormatCode(23), "");
  EXPECT_EQ(BuiltInFormatCode(50), "");
}

TEST(FormatNumber, NonFiniteValuesShowAnError) {
  EXPECT_EQ(FormatNumber(std::numeric_limits<double>::infinity(), "0.00"), "#NUM!");
  EXPECT_EQ(FormatGeneral(std::numeric_limits<double>::quiet_NaN()), "#NUM!");
}

}  // namespace
}  // namespace quillory::xlsx

namespace quillory::xlsx {
namespace {

TEST(FormatThroughGeneral, OnlyCodesThatShowNumbersThroughGeneral) {
  EXPECT_EQ(FormatThroughGeneral(0.205818150587141, "General"), "0.205818151");
  EXPECT_EQ(FormatThroughGeneral(-123456789.12, "General;[RED]-General"), "-123456789.1");
  EXPECT_EQ(FormatThroughGeneral(-5, "General;\"minus \"General"), "minus 5");
  EXPECT_EQ(FormatThroughGeneral(2.5, "General\" kg\""), "2.5 kg");
  EXPECT_EQ(FormatThroughGeneral(1234567.891234, "[<0]\"below\";General"), "1234567.891");
  for (const char* code : {"", "0", "0.00;General", "General%", "d/m/yyyy", "@", "\"x\""}) {
    EXPECT_EQ(FormatThroughGeneral(1.5, code), std::nullopt) << code;
  }
}

}  // namespace
}  // namespace quillory::xlsx
