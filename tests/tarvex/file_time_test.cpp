// The time count of real files, in the zone the test runs in (set by ctest).
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
