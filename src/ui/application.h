#pragma once

// What the program does around its QApplication before the main window is
// made; the start-up benchmark's probe does the same, to measure the same.

namespace ui {

// Before the QApplication exists: the process's own state, and the font
// configuration read while the display is being connected.
void prepareProcess();

// Once the QApplication exists: its name, version and font.
void setUpApplication();

}  // namespace ui
