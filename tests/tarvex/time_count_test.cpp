// The time count of wall-clock times, and the texts of the tool.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "box.h"
#include "date_time.h"
#include "process.h"
#include "scratch.h"
#include "texts.h"
#include "tool_fatal.h"
#include "update_list.h"

namespace {

struct CountCase {
  tarvex::DateTime time;
  int64_t count;
};

TEST(SecondsSinceReference, CountsWallClockSecondsWithTheNegativeRuleAndTheCut) {
  const CountCase cases[] = {
      {{1970, 1, 1, 8, 0, 0}, 0},
      {{1970, 1, 1, 8, 0, 1}, 1},
      {{1970, 1, 1, 7, 59, 59}, 0},  // N = -1, and N + 1 for negative N
      {{1970, 1, 1, 7, 59, 58}, -1},
      {{1969, 12, 31, 23, 59, 59}, -28800},
      {{2038, 1, 19, 11, 14, 7}, 2147483647},
      {{2038, 1, 19, 11, 14, 8}, -2147483648LL},  // past the 32-bit range
      {{2106, 2, 7, 14, 28, 15}, -1},
      {{2106, 2, 7, 14, 28, 16}, 0},
      {{2000, 2, 29, 12, 0, 0}, 951796800},  // leap day of a 400-year
      {{1900, 3, 1, 0, 0, 0}, 2091047297},   // 1900 had no leap day
      {{2024, 12, 31, 23, 59, 59}, 1735660799},
      {{1601, 1, 1, 0, 0, 0}, 1240399489},
      {{9999, 12, 31, 23, 59, 59}, -798465},
      {tarvex::earliestDateTime, 1118054145},  // the failed look-up
  };
  for (const CountCase& c : cases) {
    const auto& t = c.time;
    SCOPED_TRACE(std::to_string(t.year) + "-" + std::to_string(t.month) + "-" +
                 std::to_string(t.day) + " " + std::to_string(t.hour) + ":" +
                 std::to_string(t.minute) + ":" + std::to_string(t.second));
    EXPECT_EQ(tarvex::secondsSinceReference(t), c.count);
  }
}

TEST(RunDirectoryOf, CutsBeforeTheLastSeparatorDoubleByteAware) {
  const std::string s(1, zelk::sys::pathSeparator());
  const struct {
    std::string path, directory;
  } cases[] = {
      {"C:" + s + "Game" + s + "Tarvex.exe", "C:" + s + "Game"},
      {"C:" + s + "Tarvex.exe", "C:"},
      {"Tarvex.exe", ""},  // no separator: empty
      {"", ""},
      // 0x95 leads a double-byte character whose second byte is the separator
      {"C:" + s + "Game" + s + "\x95" + s + "Tarvex.exe", "C:" + s + "Game"},
      {"C:" + s + "\xD6\xD0" + s + "x.exe", "C:" + s + "\xD6\xD0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(std::string(tarvex::runDirectoryOf(c.path.c_str()).c_str()), c.directory) << c.path;
  }
}

TEST(RunDirectory, IsTheDirectoryOfTheRunningProgram) {
  const tarvex::String directory = tarvex::runDirectory();
  ASSERT_FALSE(directory.empty());
  EXPECT_TRUE(scratch::fileExists(std::string(directory.c_str()) + "/" + TEST_PROGRAM_NAME));
  EXPECT_FALSE(scratch::fileExists(std::string(directory.c_str()) + "/" + "no-such-program"));
}

TEST(Texts, AreTheGbkFormsOfTheirWords) {
  const struct {
    const char* gbk;
    const char* utf8;
  } cases[] = {
      {tarvex::texts::readyToStart, "准备开始"},
      {tarvex::texts::done, "已完成"},
      {tarvex::texts::start, "开始"},
      {tarvex::texts::errorTitle, "错误"},
      {tarvex::texts::runtimeError, "运行时出错!"},
      {tarvex::texts::errorCode, "错误代码："},
      {tarvex::texts::errorMessage, "错误信息："},
      {tarvex::texts::startWindowFailed, "载入启动窗口失败"},
      {tarvex::texts::allocationFailed, "分配 %d 字节内存失败!"},
  };
  for (const auto& c : cases) EXPECT_EQ(scratch::gbkToUtf8(c.gbk), c.utf8);
}

std::string fatalText(const int64_t* code, const char* message) {
  char buffer[512];
  const size_t length = tarvex::composeFatalText(buffer, sizeof buffer, code, message);
  EXPECT_EQ(length, std::strlen(buffer));
  return scratch::gbkToUtf8(buffer);
}

TEST(FatalText, HoldsTheCodeOnlyWhenThereIsOne) {
  EXPECT_EQ(fatalText(nullptr, tarvex::texts::startWindowFailed),
            "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n");
  const int64_t code = -5;
  EXPECT_EQ(fatalText(&code, "x"), "运行时出错!\r\n\r\n错误代码：-5\r\n\r\n错误信息：x\r\n");
}

TEST(FatalText, IsCutToItsBufferAndTerminated) {
  char small[8];
  std::memset(small, 'z', sizeof small);
  EXPECT_EQ(tarvex::composeFatalText(small, sizeof small, nullptr, "message"), 7u);
  EXPECT_EQ(small[7], '\0');
  EXPECT_EQ(std::string(small), std::string(tarvex::texts::runtimeError, 7));
}

TEST(AllocationMessage, PutsTheByteCountInPlaceOfTheMark) {
  char buffer[128];
  const size_t sizes[] = {0, 16, 4294967295u};
  for (size_t bytes : sizes) {
    tarvex::composeAllocationMessage(buffer, sizeof buffer, bytes);
    EXPECT_EQ(scratch::gbkToUtf8(buffer), "分配 " + std::to_string(bytes) + " 字节内存失败!");
  }
}

// One line: GoogleTest's regular expressions on Windows do not let '.' match
// the box's CR LF, so they are shown as \r and \n.
void printBox(const char* text, const char* title, zelk::BoxIcon icon) {
  std::string line;
  for (const char* c = text; *c != '\0'; ++c)
    line += *c == '\r' ? std::string("\\r") : *c == '\n' ? std::string("\\n") : std::string(1, *c);
  std::fprintf(stderr, "%s#%s#%s", title, line.c_str(),
               icon == zelk::BoxIcon::error ? "error" : "none");
}

bool endedWithMinusOne(int status) {
  return testing::ExitedWithCode(255)(status) || testing::ExitedWithCode(-1)(status);
}

TEST(FatalBoxDeathTest, ShowsTheAllocationFailureAndEndsWithMinusOne) {
  EXPECT_EXIT(
      {
        zelk::setBoxHook(printBox);
        tarvex::fatalAllocationFailed(4242);
      },
      endedWithMinusOne, "4242 .*!\\\\r\\\\n#error");
}

}  // namespace
