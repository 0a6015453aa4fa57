// Tarvex.exe driven from outside, as a user would: its window, its controls,
// a click, and the list file it leaves.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "scratch.h"
#include "window_layout.h"

namespace {

constexpr DWORD patienceMs = 20000;

std::string messageText(HWND window) {
  const LRESULT length = SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const LRESULT copied =
      SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(copied));
  return text;
}

std::string classOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return CharLowerA(name);
}

struct DialogSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK takeIfDialogOf(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<DialogSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || classOf(window) != "#32770" || !IsWindowVisible(window))
    return TRUE;
  search->found = window;
  return FALSE;
}

// A visible dialog (a message box's class) of the process, or null.
HWND dialogOf(DWORD processId) {
  DialogSearch search{processId, nullptr};
  EnumWindows(takeIfDialogOf, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The message of a box: its longest static text (the icon's is empty).
std::string longestStaticText(HWND box) {
  std::string longest;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (classOf(child) != "static") continue;
    std::string text = messageText(child);
    if (text.size() > longest.size()) longest = std::move(text);
  }
  return longest;
}

// The program copied into a directory under the given name and started there,
// from another current directory.
class RunningTool {
 public:
  RunningTool(const scratch::Directory& directory, const std::string& fileName) {
    const std::string program = directory.path() + "\\" + fileName;
    if (!CopyFileA(TARVEX_PATH, program.c_str(), FALSE)) return;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + program + "\"";
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process_))
      return;
    WaitForInputIdle(process_.hProcess, patienceMs);
    for (DWORD waited = 0; window_ == nullptr && waited < patienceMs; waited += 50) {
      EnumWindows(takeIfOurs, reinterpret_cast<LPARAM>(this));
      if (window_ == nullptr) Sleep(50);
    }
  }

  ~RunningTool() {
    if (process_.hProcess == nullptr) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(process_.hProcess, 5000) == WAIT_TIMEOUT)
        TerminateProcess(process_.hProcess, 1);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }

  HWND window() const { return window_; }
  HWND control(int id) const { return GetDlgItem(window_, id); }

  // Closes the window as its close button does; the exit code, or -2 when
  // the program did not end in time.
  long closeAndWait() {
    SendMessageA(window_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, patienceMs) != WAIT_OBJECT_0) return -2;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<long>(code);
  }

  void click(int id) {
    SetForegroundWindow(window_);  // a click may be lost on an inactive window
    SendMessageA(control(id), BM_CLICK, 0, 0);
  }

  // A click whose handler ends in a box: posted, so that this side can read
  // the box and close it. The box's title and text, empty when none came.
  std::pair<std::string, std::string> clickAndCloseBox(int id) {
    SetForegroundWindow(window_);
    PostMessageA(control(id), BM_CLICK, 0, 0);
    HWND box = nullptr;
    for (DWORD waited = 0; box == nullptr && waited < patienceMs; waited += 50) {
      box = dialogOf(process_.dwProcessId);
      if (box == nullptr) Sleep(50);
    }
    if (box == nullptr) return {};
    std::pair<std::string, std::string> shown{messageText(box), longestStaticText(box)};
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    for (DWORD waited = 0; IsWindow(box) && waited < patienceMs; waited += 50) Sleep(50);
    return shown;
  }

 private:
  static BOOL CALLBACK takeIfOurs(HWND window, LPARAM self) {
    auto* tool = reinterpret_cast<RunningTool*>(self);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (owner != tool->process_.dwProcessId || std::string(name) != tarvex::mainWindowClass ||
        !IsWindowVisible(window))
      return TRUE;
    tool->window_ = window;
    return FALSE;
  }

  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
};

// Local wall-clock seconds from 1970-01-01 08:00:00 of a Unix time at or
// after it, with the zone's offset in force now.
int64_t expectedCount(int64_t unixTime) {
  TIME_ZONE_INFORMATION zone{};
  const DWORD which = GetTimeZoneInformation(&zone);
  LONG biasMinutes = zone.Bias;
  if (which == TIME_ZONE_ID_DAYLIGHT) biasMinutes += zone.DaylightBias;
  if (which == TIME_ZONE_ID_STANDARD) biasMinutes += zone.StandardBias;
  return unixTime - int64_t{biasMinutes} * 60 - 8 * 3600;
}

struct SeededFile {
  std::string name, bytes;
  int64_t unixTime;
};

// The lines expected for the files, in the order the directory lists them.
std::string expectedList(const scratch::Directory& directory, const std::vector<SeededFile>& files,
                         const std::string& prefix) {
  std::string list;
  WIN32_FIND_DATAA entry;
  const HANDLE scan = FindFirstFileA((directory.path() + "\\*").c_str(), &entry);
  if (scan == INVALID_HANDLE_VALUE) return "<no enumeration>";
  do {
    for (const SeededFile& file : files)
      if (file.name == entry.cFileName)
        list += prefix + file.name + " " + std::to_string(expectedCount(file.unixTime)) + " " +
                std::to_string(file.bytes.size()) + "\r\n";
  } while (FindNextFileA(scan, &entry));
  FindClose(scan);
  return list;
}

class ToolWindow : public testing::Test {
 protected:
  void seed(const std::vector<SeededFile>& seeded) {
    files = seeded;
    for (const SeededFile& file : files) {
      ASSERT_TRUE(scratch::writeFile(directory.pathOf(file.name), file.bytes));
      ASSERT_TRUE(scratch::setLastWrite(directory.pathOf(file.name), file.unixTime));
    }
  }
  std::string list() const { return scratch::readFile(directory.pathOf("updat.txt")); }

  scratch::Directory directory;
  std::vector<SeededFile> files;
};

TEST_F(ToolWindow, IsCentredFixedAndUntitled) {
  RunningTool tool(directory, "Tarvex.exe");
  ASSERT_NE(tool.window(), nullptr);
  RECT outer{};
  GetWindowRect(tool.window(), &outer);
  EXPECT_EQ(outer.right - outer.left, 225);
  EXPECT_EQ(outer.bottom - outer.top, 108);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 225) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - 108) / 2);
  EXPECT_EQ(messageText(tool.window()), "");
  const LONG style = GetWindowLongA(tool.window(), GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_FALSE(GetWindowLongA(tool.window(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(GetMenu(tool.window()), nullptr);
  EXPECT_EQ(tool.closeAndWait(), 0);
}

TEST_F(ToolWindow, HoldsTheThreeControlsInTheirPlacesAndCreationOrder) {
  RunningTool tool(directory, "Tarvex.exe");
  ASSERT_NE(tool.window(), nullptr);
  const struct {
    int id;
    const char* windowClass;
    RECT client;  // left, top, right, bottom in the window's client area
    const char* text;
  } controls[] = {
      {tarvex::labelId, "static", {72, 48, 152, 72}, "准备开始"},
      {tarvex::editBoxId, "edit", {104, 16, 184, 36}, ""},
      {tarvex::buttonId, "button", {16, 16, 80, 40}, "开始"},
  };
  HWND child = GetWindow(tool.window(), GW_CHILD);
  for (const auto& c : controls) {
    SCOPED_TRACE(c.windowClass);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetDlgCtrlID(child), c.id);  // first created comes first
    EXPECT_EQ(classOf(child), c.windowClass);
    RECT place{};
    GetWindowRect(child, &place);
    MapWindowPoints(HWND_DESKTOP, tool.window(), reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, c.client.left);
    EXPECT_EQ(place.top, c.client.top);
    EXPECT_EQ(place.right, c.client.right);
    EXPECT_EQ(place.bottom, c.client.bottom);
    EXPECT_EQ(scratch::gbkToUtf8(messageText(child).c_str()), c.text);
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr);
}

TEST_F(ToolWindow, ClicksAppendTheListAndSayDone) {
  ASSERT_TRUE(scratch::writeFile(directory.pathOf("updat.txt"), "an earlier list\r\n"));
  seed({{"a.pak", "xy", 1700000000},
        {"a b.txt", "", 1600000000},
        {"\xD6\xD0\xCE\xC4.dat", "12345", 1500000000}});  // 中文.dat
  ASSERT_TRUE(scratch::makeDirectory(directory.pathOf("sub")));
  RunningTool tool(directory, "Tarvex.exe");
  ASSERT_NE(tool.window(), nullptr);
  EXPECT_TRUE(scratch::fileExists(directory.pathOf("updat.txt")));
  EXPECT_EQ(list(), "");  // emptied once the window exists, before any click

  SendMessageA(tool.control(tarvex::editBoxId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("data/"));
  tool.click(tarvex::buttonId);
  EXPECT_EQ(scratch::gbkToUtf8(messageText(tool.control(tarvex::labelId)).c_str()), "已完成");
  const std::string once = expectedList(directory, files, "data/");
  EXPECT_EQ(list(), once);

  SendMessageA(tool.control(tarvex::editBoxId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  tool.click(tarvex::buttonId);
  EXPECT_EQ(list(), once + expectedList(directory, files, ""));
  EXPECT_EQ(tool.closeAndWait(), 0);
}

// Names outside the ANSI code page (936 under the tests' Wine) are left out
// of the list, and a box after it says which.
TEST_F(ToolWindow, LeavesOutNamesTheCodePageCannotHoldAndSaysWhich) {
  seed({{"ok.txt", "ok", 1700000000}, {"\xCA\xFD\xBE\xDD.pak", "123", 1600000000}});  // 数据.pak
  ASSERT_TRUE(scratch::writeFileNamedInUtf8(directory.path(), "\xED\x95\x9C\xEA\xB5\xAD.txt", "k",
                                            1500000000));  // 한국.txt
  ASSERT_TRUE(scratch::writeFileNamedInUtf8(directory.path(), "\xF0\x9F\x98\x80.dat", "e",
                                            1500000000));  // 😀.dat
  RunningTool tool(directory, "Tarvex.exe");
  ASSERT_NE(tool.window(), nullptr);
  const auto [title, text] = tool.clickAndCloseBox(tarvex::buttonId);
  EXPECT_EQ(list(), expectedList(directory, files, ""));
  EXPECT_EQ(scratch::gbkToUtf8(messageText(tool.control(tarvex::labelId)).c_str()), "已完成");
  EXPECT_EQ(scratch::gbkToUtf8(title.c_str()), "未列入的文件");
  const std::string shown = scratch::gbkToUtf8(text.c_str());
  EXPECT_NE(shown.find("updat.txt"), std::string::npos) << shown;
  EXPECT_NE(shown.find("\r\n<U+D55C><U+AD6D>.txt"), std::string::npos) << shown;
  EXPECT_NE(shown.find("\r\n<U+1F600>.dat"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("ok.txt"), std::string::npos) << shown;
  EXPECT_EQ(tool.closeAndWait(), 0);
}

TEST_F(ToolWindow, ClosedWithoutAClickLeavesAnEmptyList) {
  ASSERT_TRUE(scratch::writeFile(directory.pathOf("updat.txt"), "an earlier list\r\n"));
  seed({{"a.pak", "xy", 1700000000}});
  RunningTool tool(directory, "Tarvex.exe");
  ASSERT_NE(tool.window(), nullptr);
  EXPECT_EQ(tool.closeAndWait(), 0);
  EXPECT_TRUE(scratch::fileExists(directory.pathOf("updat.txt")));
  EXPECT_EQ(list(), "");
}

TEST_F(ToolWindow, UnderAnotherNameListsItsOwnFile) {
  seed({{"a.pak", "xy", 1700000000}});
  RunningTool tool(directory, "Tool.exe");
  ASSERT_NE(tool.window(), nullptr);
  tool.click(tarvex::buttonId);
  const std::string listed = list();
  EXPECT_NE(listed.find("Tool.exe "), std::string::npos) << listed;
  EXPECT_NE(listed.find("a.pak "), std::string::npos) << listed;
  EXPECT_EQ(tool.closeAndWait(), 0);
}

}  // namespace
