// Tests of the shared text, heap and path helpers.
#include <gtest/gtest.h>

#include <cstring>

#include "heap.h"
#include "page.h"
#include "path.h"
#include "text.h"

namespace {

const char constantText[] = "a constant of this image";

TEST(TolerantFree, LeavesAloneWhatIsNotAHeapBlock) {
  EXPECT_FALSE(zelk::isReleasable(nullptr));
  EXPECT_FALSE(zelk::isReleasable(reinterpret_cast<void*>(0x1234)));
  EXPECT_FALSE(zelk::isReleasable(reinterpret_cast<void*>(0xFFFF)));
  EXPECT_FALSE(zelk::isReleasable(constantText));
  EXPECT_FALSE(zelk::isReleasable(unreadablePage()));
  zelk::heapFree(constantText);  // must not crash
  zelk::heapFree(unreadablePage());
  zelk::heapFree(reinterpret_cast<void*>(0x20));
}

TEST(TolerantFree, ReleasesHeapBlocks) {
  void* block = zelk::heapAlloc(32);
  EXPECT_TRUE(zelk::isReleasable(block));
  zelk::heapFree(block);
}

TEST(OwnFree, GivesBackTheLibrarysBlocksAndIgnoresNull) {
  zelk::heapFreeOwn(nullptr);
  zelk::heapFreeOwn(zelk::heapAlloc(32));
  zelk::heapFreeOwn(zelk::heapAllocUncleared(1 << 20));  // a leak or bad free shows under ASan
  zelk::Text text = zelk::copyText("owned");
  EXPECT_STREQ(text.get(), "owned");
}

TEST(HeapAlloc, IsZeroFilled) {
  zelk::Text block(static_cast<char*>(zelk::heapAlloc(4096)));
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(block.get()[i], 0);
}

struct BytesCase {
  const char* bytes;
  size_t length;
  const char* expected;  // null: the missing text
};

TEST(TextFromBytes, KeepsTheBytesBeforeTheFirstZero) {
  const BytesCase cases[] = {
      {"abc", 3, "abc"},              // no zero byte
      {"ab\0cd", 5, "ab"},            // cut at the zero
      {"\0abc", 4, nullptr},          // nothing remains
      {"", 0, nullptr},               // empty
      {"\xB0\xA1z", 3, "\xB0\xA1z"},  // GBK bytes pass unchanged
  };
  for (const BytesCase& c : cases) {
    zelk::Text text = zelk::textFromBytes(c.bytes, c.length);
    if (c.expected == nullptr) {
      EXPECT_EQ(text, nullptr) << c.length;
    } else {
      ASSERT_NE(text, nullptr);
      EXPECT_STREQ(text.get(), c.expected);
    }
  }
}

TEST(Texts, MissingCountsAsEmpty) {
  EXPECT_STREQ(zelk::orEmpty(nullptr), "");
  EXPECT_EQ(zelk::textLength(nullptr), 0u);
  EXPECT_EQ(zelk::copyText(nullptr), nullptr);
  EXPECT_STREQ(zelk::copyText("").get(), "");
  EXPECT_STREQ(zelk::joinTexts({"a", nullptr, "", "bc"}).get(), "abc");
  zelk::Bytes none = zelk::copyBytes("x", 0);
  EXPECT_EQ(none.data, nullptr);
  EXPECT_EQ(none.length, 0u);
}

bool gbkLead(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

TEST(DirectoryLength, CutsAtTheLastSeparatorOutsideDoubleByteCharacters) {
  struct Case {
    const char* path;
    size_t whole;   // directoryLength
    size_t orZero;  // directoryLengthOrZero
  };
  const Case cases[] = {
      {"C:\\Game\\Tarvex.exe", 7, 7},
      {"C:\\client.exe", 2, 2},
      {"\\x", 0, 0},
      {"client.exe", 10, 0},
      {"", 0, 0},
      {"C:\\\x95\\\\a.exe", 5, 5},  // 0x5C after a lead byte is no separator
      {"C:\\\x95\\a.exe", 2, 2},    // the only real one is after C:
      {"C:\\dir\\\xB0", 6, 6},      // a lead byte at the end stands alone
  };
  for (const Case& c : cases) {
    EXPECT_EQ(zelk::directoryLength(c.path, '\\', gbkLead), c.whole) << c.path;
    EXPECT_EQ(zelk::directoryLengthOrZero(c.path, '\\', gbkLead), c.orZero) << c.path;
  }
}

}  // namespace
