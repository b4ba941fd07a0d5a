#include "win32/dpi_fonts.h"

namespace win32 {

namespace {

// 8.25 pt, in hundredths of a point: 11 pixels at 96 DPI.
constexpr int kDesignSizeCentipoints = 825;

HFONT createFont(int dpi, int weight)
{
    // MS Sans Serif is a bitmap font drawn for 96 DPI in a few sizes only;
    // at any other scale its outline twin keeps the layout's proportions.
    const wchar_t *face = dpi == USER_DEFAULT_SCREEN_DPI ? L"MS Sans Serif" : L"Microsoft Sans Serif";
    return ::CreateFontW(-::MulDiv(kDesignSizeCentipoints, dpi, 72 * 100), 0, 0, 0, weight, FALSE, FALSE, FALSE,
                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_SWISS, face);
}

}  // namespace

DesignFonts::DesignFonts(int dpi) : m_regular(createFont(dpi, FW_NORMAL)), m_bold(createFont(dpi, FW_BOLD)) {}

DesignFonts::~DesignFonts()
{
    ::DeleteObject(m_regular);
    ::DeleteObject(m_bold);
}

SIZE textExtent(HFONT font, const wchar_t *text)
{
    const HDC screen = ::GetDC(nullptr);
    const HGDIOBJ previous = ::SelectObject(screen, font);
    RECT rect{0, 0, 0, 0};
    ::DrawTextW(screen, text, -1, &rect, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(screen, previous);
    ::ReleaseDC(nullptr, screen);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace win32
