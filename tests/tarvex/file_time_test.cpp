// The time count of real files, in the zone the test runs in (set by ctest).
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "scratch.h"
#include "update_list.h"

namespace {

struct TimeCase {
  int64_t unixTime;
  int64_t count;
};

// Writes one file per case and checks the count of its line.
void expectCounts(const std::vector<TimeCase>& cases) {
  for (const TimeCase& c : cases) {
    scratch::Directory directory;
    const std::string path = directory.pathOf("f");
    ASSERT_TRUE(scratch::writeFile(path, "abc"));
    ASSERT_TRUE(scratch::setLastWrite(path, c.unixTime));
    tarvex::UpdateListTool tool(tarvex::String(directory.path().c_str()));
    tool.openListFile();
    tool.generateUpdateList([] { return tarvex::String(); }, [](const char*) {});
    EXPECT_EQ(scratch::readFile(directory.pathOf("updat.txt")),
              "f " + std::to_string(c.count) + " 3\r\n")
        << "Unix time " << c.unixTime;
  }
}

// UTC+8 all year: the count is the Unix time (one nearer zero before 1970).
TEST(FileTimeInShanghai, CountIsTheUnixTime) {
  if (scratch::zoneName() != "Asia/Shanghai") GTEST_SKIP() << "runs with TZ=Asia/Shanghai";
  expectCounts({{0, 0},
                {1, 1},
                {-1, 0},
                {-2, -1},
                {1700000000, 1700000000},
                {2147483647, 2147483647},
                {2147483648LL, -2147483648LL}});
}

// In UTC the same file times lie eight hours earlier on the wall clock.
TEST(FileTimeInUtc, CountIsEightHoursLess) {
  if (scratch::zoneName() != "UTC") GTEST_SKIP() << "runs with TZ=UTC";
  expectCounts({{28800, 0},
                {28801, 1},
                {28799, 0},
                {28798, -1},
                {0, -28799},
                {1700000000, 1700000000 - 28800},
                {2147483647LL + 28800, 2147483647}});
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  return era * 146097 + yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear - 719468;
}

// A change of offset: the n-th Sunday of a month, at a local time of day.
struct Change {
  int month, week, localSecond;
};

// A zone of the TZ variable's own rule form, and that rule restated.
struct DaylightZone {
  const char* tz;
  int standardOffset;  // seconds east of UTC; daylight time adds an hour
  Change begins;       // at the standard local time
  Change ends;         // at the daylight local time
};

const DaylightZone daylightZones[] = {
    {"EST5EDT,M3.2.0,M11.1.0", -5 * 3600, {3, 2, 7200}, {11, 1, 7200}},
    {"AEST-10AEDT,M10.1.0,M4.1.0/3", 10 * 3600, {10, 1, 7200}, {4, 1, 10800}},  // the south
};

int64_t changeAt(const Change& change, int64_t year, int offset) {
  const int64_t first = daysFromCivil(year, change.month, 1);
  const int64_t firstSunday = first + (7 - (first + 4) % 7) % 7;  // 1970-01-01 was a Thursday
  return (firstSunday + 7 * (change.week - 1)) * 86400 + change.localSecond - offset;
}

// The offset the zone's rule puts in force at a Unix time.
int offsetAt(const DaylightZone& zone, int64_t unixTime) {
  int64_t year = 1970;
  while (daysFromCivil(year + 1, 1, 1) * 86400 <= unixTime) ++year;
  const int64_t begins = changeAt(zone.begins, year, zone.standardOffset);
  const int64_t ends = changeAt(zone.ends, year, zone.standardOffset + 3600);
  const bool daylight =
      begins < ends ? unixTime >= begins && unixTime < ends : unixTime >= begins || unixTime < ends;
  return zone.standardOffset + (daylight ? 3600 : 0);
}

// Files dated in either half of the year all take the offset in force now;
// one zone of each hemisphere puts daylight time in force now or not, and
// in the files' dates or not, whatever the day of the run.
TEST(FileTimeWithDaylightSaving, TheOffsetInForceNowAppliesWhateverTheFileDate) {
  const DaylightZone* zone = nullptr;
  for (const DaylightZone& z : daylightZones)
    if (scratch::zoneName() == z.tz) zone = &z;
  if (zone == nullptr) GTEST_SKIP() << "runs with TZ set to one of the daylight zones";
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  const int offset = offsetAt(*zone, now);
  if (offsetAt(*zone, now + 120) != offset) GTEST_SKIP() << "the offset changes in a moment";
  const int64_t fileTimes[] = {
      daysFromCivil(1969, 7, 1) * 86400,  // before 1970: the negative rule
      0,
      daysFromCivil(1990, 1, 15) * 86400 + 43200,
      daysFromCivil(1990, 7, 15) * 86400 + 43200,
      daysFromCivil(2024, 1, 1) * 86400,
      daysFromCivil(2024, 6, 30) * 86400 + 86399,
      daysFromCivil(2037, 12, 31) * 86400,
      daysFromCivil(2037, 8, 1) * 86400,
  };
  std::vector<TimeCase> cases;
  for (int64_t t : fileTimes) {
    const int64_t n = t + offset - 28800;  // from the 08:00 reference, on the wall clock
    cases.push_back({t, n >= 0 ? n : n + 1});
  }
  expectCounts(cases);
}

}  // namespace
