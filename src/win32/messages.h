#pragma once

// What the windows tell the user when something goes wrong, and the one way
// they show it.

#include "design/messages.h"

#include <windows.h>

namespace win32 {

// A warning box titled "Tessaro", modal to `owner`: what went wrong, then
// what to do about it.
void showWarning(HWND owner, const design::Message &message);

}  // namespace win32
