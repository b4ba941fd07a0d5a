#pragma once

// Text between the core, whose strings are the system's bytes, and Qt.

#include <QString>

#include <string>

namespace ui {

// Directories are bytes in the system's 8-bit encoding (UTF-8 under Qt 6 on
// Linux).  Bytes that are not valid in it are read as Windows-1252, which is
// what a settings file carried over from a Western Windows machine holds.
QString fromSystem(const std::string &bytes);
std::string toSystem(const QString &text);

}  // namespace ui
