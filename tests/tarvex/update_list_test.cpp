// The update list written into real temporary directories.
#include "update_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "box.h"
#include "left_out.h"
#include "scratch.h"
#include "texts.h"

namespace {

using Lines = std::vector<std::string>;

struct Box {
  std::string text, title;
};
std::vector<Box> boxes;  // every box shown while a fixture is alive

void captureBox(const char* text, const char* title, zelk::BoxIcon) {
  boxes.push_back({text, title});
}

// A directory, the tool working on it, and the label's captions.
class UpdateList : public testing::Test {
 protected:
  UpdateList() : tool(tarvex::String(directory.path().c_str())) {
    boxes.clear();
    zelk::setBoxHook(captureBox);
  }
  ~UpdateList() override { zelk::setBoxHook(nullptr); }

  void addFile(const std::string& name, const std::string& bytes = "", int64_t time = 0) {
    ASSERT_TRUE(scratch::writeFile(directory.pathOf(name), bytes)) << name;
    ASSERT_TRUE(scratch::setLastWrite(directory.pathOf(name), time)) << name;
  }

  void generate(const std::string& prefix = "") {
    tool.generateUpdateList([&] { return tarvex::String(prefix.c_str()); },
                            [&](const char* caption) { captions.push_back(caption); });
  }

  std::string list() const { return scratch::readFile(directory.pathOf("updat.txt")); }

  // The lines of the list, each without its CR LF, which every line must have.
  Lines lines() const {
    const std::string bytes = list();
    Lines found;
    size_t start = 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
      found.push_back(bytes.substr(start, end - start));
    EXPECT_EQ(start, bytes.size()) << "bytes after the last CR LF";
    for (const std::string& line : found) EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
    return found;
  }

  static Lines sorted(Lines lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
  }

  scratch::Directory directory;
  tarvex::UpdateListTool tool;
  Lines captions;
};

TEST_F(UpdateList, OpeningCreatesOrEmptiesTheList) {
  EXPECT_FALSE(scratch::fileExists(directory.pathOf("updat.txt")));
  tool.openListFile();
  EXPECT_TRUE(scratch::fileExists(directory.pathOf("updat.txt")));
  EXPECT_EQ(list(), "");

  addFile("a.pak", "xy");
  generate();
  EXPECT_NE(list(), "");
  tarvex::UpdateListTool restarted(tarvex::String(directory.path().c_str()));
  restarted.openListFile();  // a new start loses the earlier list
  EXPECT_EQ(list(), "");
}

// An earlier list with the platform's hidden or system mark is emptied and
// rewritten like any other, and keeps its marks: a list its user hid stays
// hidden. (Windows refuses CREATE_ALWAYS with normal attributes on such a
// file; Wine 8 does not, so only a Windows run can tell the two apart.)
TEST_F(UpdateList, AMarkedEarlierListIsRewrittenAndKeepsItsMarks) {
  const std::string path = directory.pathOf("updat.txt");
  addFile("a.pak", "xy", 1);
  const unsigned cases[] = {0, scratch::hidden, scratch::system, scratch::hidden | scratch::system};
  size_t ran = 0;
  for (unsigned marks : cases) {
    SCOPED_TRACE("marks " + std::to_string(marks));
    ASSERT_TRUE(!scratch::fileExists(path) || scratch::setMarks(path, 0));
    ASSERT_TRUE(scratch::writeFile(path, "earlier\r\n"));
    if (!scratch::setMarks(path, marks)) continue;  // marks the platform does not have
    ++ran;
    ASSERT_EQ(scratch::marksOf(path), marks);
    tarvex::UpdateListTool restarted(tarvex::String(directory.path().c_str()));
    restarted.openListFile();
    restarted.generateUpdateList([] { return tarvex::String(); },
                                 [&](const char* caption) { captions.push_back(caption); });
    EXPECT_EQ(list(), "a.pak 1 2\r\n");
    EXPECT_EQ(scratch::marksOf(path), marks);
  }
  EXPECT_EQ(captions, Lines(ran, tarvex::texts::done));
}

// The names of the box's list: its lines after the first blank line.
Lines namesInBox(const std::string& text) {
  Lines names;
  size_t start = text.find("\r\n\r\n");
  if (start == std::string::npos) return names;
  start += 4;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    names.push_back(text.substr(start, end - start));
  return names;
}

// A name the list's encoding (GBK) cannot hold is left out of the list and
// named in one box after it, in a form that can be shown.
TEST_F(UpdateList, WritesOneLinePerFileAndNamesTheFilesLeftOut) {
  enum Where { everywhere, unicodeNames, byteNames };
  const struct {
    Where where;
    const char* name;  // UTF-8 where names are Unicode, else the bytes of the name
    const char* bytes;
    int64_t time;
    const char* line;   // null: left out
    const char* shown;  // how the box names a file left out
  } cases[] = {
      {everywhere, "a.pak", "xy", 1, "a.pak 1 2", nullptr},
      {everywhere, "empty", "", 1700000000, "empty 1700000000 0", nullptr},
      {everywhere, "a b c.txt", "12345", 0, "a b c.txt 0 5", nullptr},  // spaces stay
      {everywhere, "\xD6\xD0\xCE\xC4.dat", "z", 86400, "\xD6\xD0\xCE\xC4.dat 86400 1",
       nullptr},  // 中文.dat, GBK bytes unchanged
      {unicodeNames, "\xE6\x95\xB0\xE6\x8D\xAE.pak", "abc", 5, "\xCA\xFD\xBE\xDD.pak 5 3",
       nullptr},  // 数据.pak, written as its GBK bytes
      {unicodeNames, "\xED\x95\x9C\xEA\xB5\xAD.txt", "k", 7, nullptr,
       "<U+D55C><U+AD6D>.txt"},                                                  // 한국.txt
      {unicodeNames, "\xF0\x9F\x98\x80.dat", "e", 7, nullptr, "<U+1F600>.dat"},  // 😀.dat
      {unicodeNames, "na\xC3\xAFve.txt", "i", 7, nullptr,
       "na<U+00EF>ve.txt"},  // naïve.txt: no best fit to "naive.txt"
      {byteNames, "\xFF\xFE.txt", "b", 7, nullptr, "<FF><FE>.txt"},
      {byteNames, "a\xB1.dat", "b", 7, nullptr, "a<B1>.dat"},  // a lead byte without its trail
      {byteNames, "end\x81", "b", 7, nullptr, "end<81>"},
  };
  const Where here = scratch::namesAreUnicode() ? unicodeNames : byteNames;
  Lines expectedLines, expectedShown;
  for (const auto& c : cases) {
    if (c.where == everywhere) addFile(c.name, c.bytes, c.time);
    if (c.where != everywhere && c.where != here) continue;
    if (c.where == here) {
      ASSERT_TRUE(scratch::writeFileNamedInUtf8(directory.path(), c.name, c.bytes, c.time));
    }
    if (c.line) expectedLines.push_back(c.line);
    if (c.shown) expectedShown.push_back(c.shown);
  }
  tool.openListFile();
  size_t boxesAtLabel = 0;
  tool.generateUpdateList([] { return tarvex::String(); },
                          [&](const char* caption) {
                            captions.push_back(caption);
                            boxesAtLabel = boxes.size();
                          });
  EXPECT_EQ(sorted(lines()), sorted(expectedLines));
  EXPECT_EQ(captions, Lines{tarvex::texts::done});
  EXPECT_EQ(boxesAtLabel, 0u);  // the box comes after the list is written
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, tarvex::texts::leftOutTitle);
  EXPECT_EQ(sorted(namesInBox(boxes[0].text)), sorted(expectedShown)) << boxes[0].text;
}

// However many files are left out, the box names at most 20 and counts the
// others on a last line.
TEST(LeftOutBox, NamesAtMostTwentyAndCountsTheOthers) {
  const struct {
    size_t leftOut, named, others;
  } cases[] = {{1, 1, 0}, {20, 20, 0}, {21, 20, 1}, {57, 20, 37}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.leftOut);
    tarvex::NameList names;
    Lines expected;
    for (size_t i = 0; i < c.leftOut; ++i) {
      names.emplace_back(("<U+D55C>" + std::to_string(i)).c_str());
      if (i < c.named) expected.push_back(names.back().c_str());
    }
    if (c.others) {
      std::string more = tarvex::texts::leftOutMore;
      more.replace(more.find("%d"), 2, std::to_string(c.others));
      expected.push_back(more);
    }
    const tarvex::String text = tarvex::leftOutText(names);
    EXPECT_EQ(text.find(tarvex::texts::leftOutReason), 0u);
    EXPECT_EQ(namesInBox(text.c_str()), expected);
  }
}

TEST_F(UpdateList, FollowsTheEnumerationOrderByteForByte) {
  addFile("one", "1", 5);
  addFile("two", "22", 6);
  tool.openListFile();
  generate("p/");
  ASSERT_EQ(tool.names().size(), 3u);  // with updat.txt itself
  std::string expected;
  for (const auto& name : tool.names()) {
    if (name == "one") expected += "p/one 5 1\r\n";
    if (name == "two") expected += "p/two 6 2\r\n";
  }
  EXPECT_EQ(list(), expected);  // no byte-order mark, CR LF after the last line too
}

TEST_F(UpdateList, GluesThePrefixToTheName) {
  addFile("a.pak", "", 7);
  tool.openListFile();
  const struct {
    std::string prefix, line;
  } cases[] = {{"", "a.pak 7 0"},
               {"data", "dataa.pak 7 0"},
               {"data/", "data/a.pak 7 0"},
               {"\xB8\xFC\xD0\xC2 ", "\xB8\xFC\xD0\xC2 a.pak 7 0"}};  // 更新 and a space
  Lines expected;
  for (const auto& c : cases) {
    generate(c.prefix);
    expected.push_back(c.line);
  }
  EXPECT_EQ(lines(), expected);  // every press appends after the last
  EXPECT_TRUE(boxes.empty());    // nothing left out, nothing to say
}

TEST_F(UpdateList, FetchesThePrefixAnewForEveryLine) {
  addFile("a", "", 1);
  addFile("b", "", 1);
  addFile("c", "", 1);
  tool.openListFile();
  int asked = 0;
  tool.generateUpdateList([&] { return tarvex::String(std::to_string(++asked).c_str()); },
                          [](const char*) {});
  EXPECT_EQ(asked, 3);
  Lines prefixes;
  for (const std::string& line : lines()) prefixes.push_back(line.substr(0, 1));
  EXPECT_EQ(sorted(prefixes), (Lines{"1", "2", "3"}));
}

TEST_F(UpdateList, SetsTheLabelOnlyAfterTheLastLine) {
  addFile("a", "", 1);
  addFile("b", "", 1);
  tool.openListFile();
  size_t linesAtLabel = 0;
  tool.generateUpdateList([] { return tarvex::String(); },
                          [&](const char*) { linesAtLabel = lines().size(); });
  EXPECT_EQ(linesAtLabel, 2u);
}

TEST_F(UpdateList, SkipsExactlyTheListAndTheToolCaseSensitively) {
  addFile("Tarvex.exe", "MZ");
  addFile("Tool.exe", "MZ");  // the tool under another name is listed
  if (scratch::namesAreCaseSensitive()) {
    addFile("UPDAT.TXT", "old");
    addFile("tarvex.exe", "MZ");
  }
  tool.openListFile();
  generate();
  Lines expected{"Tool.exe 0 2"};
  if (scratch::namesAreCaseSensitive())
    expected.insert(expected.end(), {"UPDAT.TXT 0 3", "tarvex.exe 0 2"});
  EXPECT_EQ(sorted(lines()), sorted(expected));
}

TEST_F(UpdateList, ListsHiddenFilesButNeverDirectories) {
  addFile(".hidden", "h", 3);
  ASSERT_TRUE(scratch::markHiddenAndSystem(directory.pathOf(".hidden")));
  ASSERT_TRUE(scratch::makeDirectory(directory.pathOf("sub")));
  ASSERT_TRUE(scratch::makeDirectory(directory.pathOf("sub.d")));
  ASSERT_TRUE(scratch::writeFile(directory.pathOf("sub/inner.txt"), "i"));
  tool.openListFile();
  generate();
  EXPECT_EQ(lines(), Lines{".hidden 3 1"});
}

TEST_F(UpdateList, OnlyTheToolAndTheListLeaveTheListEmpty) {
  addFile("Tarvex.exe", "MZ");
  tool.openListFile();
  generate();
  generate();
  EXPECT_EQ(list(), "");
  EXPECT_EQ(captions, (Lines{tarvex::texts::done, tarvex::texts::done}));
}

TEST_F(UpdateList, KeepsTheLowHalfOfTheSizeAsSigned) {
  const struct {
    const char* name;
    uint64_t size;
    const char* line;
  } cases[] = {{"zero", 0, "zero 0 0"},
               {"two-gib", 2147483648ULL, "two-gib 0 -2147483648"},
               {"four-gib-and-ten", 4294967306ULL, "four-gib-and-ten 0 10"}};
  Lines expected;
  for (const auto& c : cases) {
    addFile(c.name);
    ASSERT_TRUE(scratch::setFileSize(directory.pathOf(c.name), c.size));
    ASSERT_TRUE(scratch::setLastWrite(directory.pathOf(c.name), 0));
    expected.push_back(c.line);
  }
  tool.openListFile();
  generate();
  EXPECT_EQ(sorted(lines()), sorted(expected));
}

TEST_F(UpdateList, AFileGoneBeforeItsLookUpGetsTheEarliestTimeAndSizeMinusOne) {
  addFile("first", "1", 9);
  addFile("second", "22", 9);
  tool.openListFile();
  bool removed = false;
  // The prefix is fetched after the look-ups of its line: removing both files
  // then leaves the second line to look up a file that is gone.
  tool.generateUpdateList(
      [&] {
        if (!removed) {
          removed = scratch::removeFile(directory.pathOf("first")) &&
                    scratch::removeFile(directory.pathOf("second"));
        }
        return tarvex::String();
      },
      [](const char*) {});
  ASSERT_TRUE(removed);
  Lines names;
  for (const auto& name : tool.names())
    if (name != "updat.txt") names.emplace_back(name.c_str());
  ASSERT_EQ(names.size(), 2u);
  const std::string firstLine = names[0] + (names[0] == "first" ? " 9 1" : " 9 2");
  EXPECT_EQ(lines(), (Lines{firstLine, names[1] + " 1118054145 -1"}));
}

TEST_F(UpdateList, WithoutAListFileStillCollectsAndReportsDone) {
  tarvex::UpdateListTool nowhere(tarvex::String((directory.path() + "/missing").c_str()));
  nowhere.openListFile();  // the directory does not exist: the slot stays empty
  nowhere.generateUpdateList([] { return tarvex::String(); },
                             [&](const char* caption) { captions.push_back(caption); });
  EXPECT_EQ(captions, Lines{tarvex::texts::done});
  EXPECT_FALSE(scratch::fileExists(directory.pathOf("missing")));
}

TEST(CollectFileNames, EmptiesTheListAndAnswersZeroWhenNothingMatches) {
  scratch::Directory directory;
  ASSERT_TRUE(scratch::writeFile(directory.pathOf("x"), ""));
  tarvex::NameList names{tarvex::String("stale")};
  EXPECT_EQ(tarvex::collectFileNames("", names), 0);
  EXPECT_TRUE(names.empty());
  names.emplace_back("stale");
  EXPECT_EQ(tarvex::collectFileNames((directory.path() + "/none/*.*").c_str(), names), 0);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(tarvex::collectFileNames((directory.path() + "/*.*").c_str(), names), 1);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], "x");
}

}  // namespace
