// date_time.h: calendar date-times in local wall-clock terms, and the time
// count of the update list.
#pragma once

#include <cstdint>

namespace tarvex {

// Proleptic Gregorian calendar; no time zone is attached.
struct DateTime {
  int year = 100;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The earliest value of the tool's date-time type: what a failed look-up gives.
inline constexpr DateTime earliestDateTime{100, 1, 1, 0, 0, 0};

// Seconds from 1970-01-01 08:00:00 to time, one less in magnitude when time
// is earlier, cut to the low 32 bits and read as signed.
int64_t secondsSinceReference(const DateTime& time);

}  // namespace tarvex
