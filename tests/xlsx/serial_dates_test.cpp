#include <gtest/gtest.h>

#include "platform/xlsx/serial_dates.h"

namespace quillory::xlsx {
namespace {

TEST(SerialDates, CountThePhantomLeapDayOf1900) {
  const auto date = [](std::int64_t serial, bool date1904) {
    const SerialDate d = DateOfSerial(serial, date1904);
    return std::to_string(d.year) + "-" + std::to_string(d.month) + "-" + std::to_string(d.day) +
           " " + std::to_string(d.weekday);
  };
  EXPECT_EQ(date(0, false), "1900-1-0 6");
  EXPECT_EQ(date(1, false), "1900-1-1 0");  // a Sunday, as the 1900 system has it
  EXPECT_EQ(date(59, false), "1900-2-28 2");
  EXPECT_EQ(date(60, false), "1900-2-29 3");
  EXPECT_EQ(date(61, false), "1900-3-1 4");
  EXPECT_EQ(date(45658, false), "2025-1-1 3");
  EXPECT_EQ(date(2958465, false), "9999-12-31 5");
  EXPECT_EQ(date(0, true), "1904-1-1 5");
  EXPECT_EQ(date(44196, true), "2025-1-1 3");
  // A day past the month's end runs on.
  EXPECT_EQ(SerialOfDate(2023, 2, 29, false), SerialOfDate(2023, 3, 1, false));
  // Every day there and back, in both systems.
  for (std::int64_t serial = 1; serial <= 2958465; serial += serial < 1000 ? 1 : 97) {
    for (const bool date1904 : {false, true}) {
      if (serial == 60 && !date1904) continue;
      const SerialDate d = DateOfSerial(serial, date1904);
      ASSERT_EQ(SerialOfDate(d.year, d.month, d.day, date1904), serial) << serial;
    }
  }
}

}  // namespace
}  // namespace quillory::xlsx
