// Lumivet through its export, loaded by path from another directory than
// this program's, with yet another current directory.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "library.h"
#include "process.h"

namespace {

using Edgame = const char*(ZELK_STDCALL*)(const char*);

std::string ownDirectory() {
  char path[4096] = {};
  zelk::sys::mainProgramPath(path, sizeof path);
  std::string text(path);
  return text.substr(0, text.find_last_of(zelk::sys::pathSeparator()));
}

class Edgame_ : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library.loaded()) << LUMIVET_PATH;
    edgame = reinterpret_cast<Edgame>(library.symbol("edgame"));
    ASSERT_NE(edgame, nullptr);
  }
  host::Library library{LUMIVET_PATH};
  Edgame edgame = nullptr;
};

TEST_F(Edgame_, AnswersTheHostDirectoryNotTheLibraryOrCurrentOne) {
  const auto elsewhere = std::filesystem::temp_directory_path();
  std::filesystem::current_path(elsewhere);
  const std::string expected = ownDirectory();
  ASSERT_NE(expected, std::filesystem::path(LUMIVET_PATH).parent_path().string());
  EXPECT_EQ(edgame(nullptr), expected);
}

TEST_F(Edgame_, ArgumentsDoNotMatterAndEachCallGivesAFreshText) {
  const std::string first = edgame(nullptr);
  const char* a = edgame("");
  const std::string fromEmpty = a;
  const char* b = edgame("C:\\somewhere\\else.exe");
  EXPECT_EQ(fromEmpty, first);
  EXPECT_EQ(std::string(b), first);
  EXPECT_NE(a, b);  // the old text is released only after the new one exists
}

// A text stays valid for its thread until that thread's next call, while
// other threads call too (under the sanitizers a text freed early is seen).
TEST_F(Edgame_, EachThreadKeepsItsTextUntilItsNextCall) {
  const std::string expected = edgame(nullptr);
  std::vector<int> wrong(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < 2000; ++round) {
        const char* mine = edgame(nullptr);
        std::this_thread::yield();  // the others call meanwhile
        wrong[t] += expected != mine;
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

}  // namespace
