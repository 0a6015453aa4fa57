// main_win32.cpp: start-up, message loop and shutdown of Tarvex.exe.
#include <windows.h>

#include <utility>

#include "main_window_win32.h"
#include "texts.h"
#include "tool_fatal.h"
#include "update_list.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  tarvex::String directory = tarvex::runDirectory();
  SetCurrentDirectoryA(directory.c_str());
  // Empty name list and list-file slot; freed (and closed) when WinMain ends.
  tarvex::UpdateListTool tool(std::move(directory));
  const HWND window = tarvex::loadStartWindow(instance, tool);
  if (window == nullptr) tarvex::fatalError(tarvex::texts::startWindowFailed);
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG message{};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}
