#include "platform/xlsx/serial_dates.h"

#include <chrono>

namespace quillory::xlsx {
namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

// Serial 0 of each system. Before 1900-03-01 the 1900 system is a day ahead of the calendar.
constexpr sys_days kEpoch1900{std::chrono::year{1899} / 12 / 30};
constexpr sys_days kEpoch1904{std::chrono::year{1904} / 1 / 1};
constexpr std::int64_t kPhantomLeapDay = 60;

SerialDate Civil(sys_days date) {
  const year_month_day ymd{date};
  return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
          static_cast<int>(static_cast<unsigned>(ymd.day())), 0};
}

}  // namespace

SerialDate DateOfSerial(std::int64_t serial, bool date1904) {
  SerialDate date;
  if (date1904) {
    date = Civil(kEpoch1904 + days{serial});
    date.weekday = static_cast<int>((serial + 5) % 7);
    return date;
  }
  if (serial == 0) {
    date = {1900, 1, 0, 0};
  } else if (serial == kPhantomLeapDay) {
    date = {1900, 2, 29, 0};
  } else {
    date = Civil(kEpoch1900 + days{serial < kPhantomLeapDay ? serial + 1 : serial});
  }
  date.weekday = static_cast<int>((serial + 6) % 7);
  return date;
}

std::int64_t SerialOfDate(int year, int month, int day, bool date1904) {
  // For a valid year and month the calendar adds the days past the month's end.
  const sys_days date = sys_days{std::chrono::year{year} / month / 1} + days{day - 1};
  if (date1904) return (date - kEpoch1904).count();
  const std::int64_t serial = (date - kEpoch1900).count();
  return serial <= kPhantomLeapDay ? serial - 1 : serial;
}

}  // namespace quillory::xlsx
