// main_window_win32.h: the start window and its three controls.
#pragma once

#include <windows.h>

#include "update_list.h"

namespace tarvex {

// Creates the window, centred and hidden, with its controls in table order,
// then opens the list file (the creation event). Null when any part failed.
HWND loadStartWindow(HINSTANCE instance, UpdateListTool& tool);

}  // namespace tarvex
