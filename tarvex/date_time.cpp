// date_time.cpp: the time count, in exact integer arithmetic.
#include "date_time.h"

namespace tarvex {

// Days from 1970-01-01 to the given civil date (negative before it).
static int64_t daysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

static constexpr int64_t referenceSeconds = 8 * 3600;  // 1970-01-01 08:00:00

int64_t secondsSinceReference(const DateTime& time) {
  const int64_t seconds = daysFromCivil(time.year, time.month, time.day) * 86400 +
                          int64_t{time.hour} * 3600 + int64_t{time.minute} * 60 + time.second;
  int64_t count = seconds - referenceSeconds;
  // The count was once formed in days as a real number plus a tiny bias and
  // truncated toward zero: exact for later times, one nearer zero for earlier.
  if (count < 0) count += 1;
  return static_cast<int32_t>(static_cast<uint32_t>(count));  // modular since C++20
}

}  // namespace tarvex
