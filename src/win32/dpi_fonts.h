#pragma once

// The windows' one font, MS Sans Serif 8.25 pt, at a window's DPI: regular
// for everything, bold for frame captions.

#include <windows.h>

namespace win32 {

class DesignFonts {
public:
    explicit DesignFonts(int dpi);
    ~DesignFonts();
    DesignFonts(const DesignFonts &) = delete;
    DesignFonts &operator=(const DesignFonts &) = delete;

    HFONT regular() const { return m_regular; }
    HFONT bold() const { return m_bold; }

private:
    HFONT m_regular;
    HFONT m_bold;
};

// How wide and high `text` is on one line in `font`.
SIZE textExtent(HFONT font, const wchar_t *text);

}  // namespace win32
