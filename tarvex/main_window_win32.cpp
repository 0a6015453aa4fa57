// main_window_win32.cpp: the window of the tool, its controls and events.
#include "main_window_win32.h"

#include "texts.h"
#include "window_layout.h"

namespace tarvex {

namespace {

constexpr int outerWidth = 225;
constexpr int outerHeight = 108;
constexpr int designLeft = 50;
constexpr int designTop = 50;
// Fixed frame with a title bar and system menu; no minimize or maximize box.
constexpr DWORD mainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;

struct ControlSpec {
  const char* windowClass;
  DWORD style;
  DWORD extendedStyle;
  int left, top, width, height;
  const char* text;
  ControlId id;
};

// Created in this order.
const ControlSpec controls[] = {
    {"STATIC", SS_LEFT, 0, 72, 48, 80, 24, texts::readyToStart, labelId},  // 标签1
    {"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 104, 16, 80, 20, "",
     editBoxId},  // 编辑框1
    {"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0, 16, 16, 64, 24, texts::start, buttonId},  // 按钮1
};

String windowText(HWND window) {
  const int length = GetWindowTextLengthA(window);
  String text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
  const int copied = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

void startClicked(HWND window, UpdateListTool& tool) {
  const HWND editBox = GetDlgItem(window, editBoxId);
  const HWND label = GetDlgItem(window, labelId);
  tool.generateUpdateList([editBox] { return windowText(editBox); },  // fetched anew per line
                          [label](const char* caption) { SetWindowTextA(label, caption); });
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      SetWindowLongPtrA(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
      break;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == buttonId && HIWORD(wParam) == BN_CLICKED) {
        auto* tool = reinterpret_cast<UpdateListTool*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (tool) startClicked(window, *tool);
        return 0;
      }
      break;
    case WM_DESTROY:
      PostQuitMessage(0);  // the only window: the program ends with it
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool registerMainClass(HINSTANCE instance) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = mainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = mainWindowClass;
  return RegisterClassA(&windowClass) != 0;
}

// Measures the outer size and sets it again when the frame made it differ,
// then centres the window on the screen.
void placeWindow(HWND window) {
  RECT outer{};
  GetWindowRect(window, &outer);
  if (outer.right - outer.left != outerWidth || outer.bottom - outer.top != outerHeight)
    SetWindowPos(window, nullptr, 0, 0, outerWidth, outerHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  const int left = (GetSystemMetrics(SM_CXSCREEN) - outerWidth) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - outerHeight) / 2;
  SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool createControls(HWND window, HINSTANCE instance, HFONT font) {
  for (const ControlSpec& control : controls) {
    const HWND child = CreateWindowExA(control.extendedStyle, control.windowClass, control.text,
                                       WS_CHILD | WS_VISIBLE | control.style, control.left,
                                       control.top, control.width, control.height, window,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                                       instance, nullptr);
    if (child == nullptr) return false;
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  return true;
}

}  // namespace

HWND loadStartWindow(HINSTANCE instance, UpdateListTool& tool) {
  if (!registerMainClass(instance)) return nullptr;
  const HWND window = CreateWindowExA(0, mainWindowClass, "", mainStyle, designLeft, designTop,
                                      outerWidth, outerHeight, nullptr, nullptr, instance, &tool);
  if (window == nullptr) return nullptr;
  placeWindow(window);
  const auto font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  // A failed window is left alone: destroying it would post the quit message,
  // which would close the fatal box at once.
  if (!createControls(window, instance, font)) return nullptr;
  tool.openListFile();  // the creation event, before the user can act
  return window;
}

}  // namespace tarvex
