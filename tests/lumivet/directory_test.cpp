// The directory rule of edgame on program paths the tests choose.
#include <gtest/gtest.h>

#include <string>

#include "process.h"
#include "run_directory.h"

namespace {

std::string dirOf(const std::string& path) {
  zelk::Text text = lumivet::directoryOf(path.c_str());
  return text ? text.get() : "<missing>";
}

TEST(DirectoryOf, CutsAtTheLastSeparator) {
  const std::string s(1, zelk::sys::pathSeparator());
  EXPECT_EQ(dirOf("C:" + s + "Games" + s + "Client" + s + "client.exe"),
            "C:" + s + "Games" + s + "Client");
  EXPECT_EQ(dirOf("C:" + s + "client.exe"), "C:");  // drive root: no separator kept
  EXPECT_EQ(dirOf(s + "client.exe"), "");
  EXPECT_EQ(dirOf("client.exe"), "client.exe");  // no separator: whole
  EXPECT_EQ(dirOf(""), "");
}

}  // namespace
