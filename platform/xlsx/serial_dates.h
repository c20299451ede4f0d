#pragma once

#include <cstdint>

// Dates as workbooks count them: whole days since an epoch, in the 1900 date system (which
// counts 1900-02-29, a day that never was, and shows serial 0 as 1900-01-00) or the 1904 one.
namespace quillory::xlsx {

struct SerialDate {
  int year = 0;
  int month = 0;
  int day = 0;
  int weekday = 0;  // 0 = Sunday, as the date system reckons it
};

// The date that day `serial` (0 or more) stands for.
SerialDate DateOfSerial(std::int64_t serial, bool date1904);

// The serial of a calendar date; a day past its month's end runs on into the next month.
std::int64_t SerialOfDate(int year, int month, int day, bool date1904);

}  // namespace quillory::xlsx
