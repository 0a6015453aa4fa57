// window_layout.h: what a program driving the window must know to find its
// parts: the class name of the main window and the ids of the controls.
#pragma once

namespace tarvex {

inline constexpr char mainWindowClass[] = "TarvexMainWindow";

// Control ids follow the order of creation; the designer's names in comments.
enum ControlId : int {
  labelId = 1,    // 标签1
  editBoxId = 2,  // 编辑框1
  buttonId = 3,   // 按钮1
};

}  // namespace tarvex
