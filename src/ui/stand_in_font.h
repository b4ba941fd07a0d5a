#pragma once

// The font that stands in for the one the layout was drawn in.

#include <QFont>

namespace ui {

// The layout was drawn in MS Sans Serif 8.25 pt.  The first of these families
// that the system has stands in for it, at 11 logical pixels (8.25 pt at 96
// dots per inch): MS Sans Serif, Microsoft Sans Serif, Liberation Sans
// (metrically Arial), Arial, then the system's sans serif.
QFont designFont();

// The same, bold: frame captions.
QFont designBoldFont();

// Starts reading the system's font configuration on a thread of its own,
// where it overlaps the connection to the display instead of following it.
// Call it before the QApplication is made; designFont() waits for it.
// Where the system lets the program start no thread, the configuration is
// read right here, and the answer is false.
bool startLoadingFontConfiguration();

}  // namespace ui
