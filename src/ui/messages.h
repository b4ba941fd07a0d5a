#pragma once

// What the windows tell the user when something goes wrong, and the one way
// they show it.

#include "design/messages.h"

#include <QString>

#include <string>

class QWidget;

namespace ui {

struct Warning {
    QString text;    // what went wrong, naming the file or program
    QString advice;  // what to do about it
};

// A warning box owned by `owner`, modal to that window only.  It returns at
// once: no handler waits for the user.
void showWarning(QWidget *owner, const Warning &warning);

// Directories are bytes in the system's 8-bit encoding (UTF-8 under Qt 6 on
// Linux).  Bytes that are not valid in it are read as Windows-1252, which is
// what a settings file carried over from a Western Windows machine holds.
QString fromSystem(const std::string &bytes);
std::string toSystem(const QString &text);

// A message of the shared wording, which is in the core's encoding.
Warning toWarning(const design::Message &message);

}  // namespace ui
