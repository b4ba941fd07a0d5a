#include "messages.h"

#include "platform/win_text.h"

namespace win32 {

void showWarning(HWND owner, const design::Message &message)
{
    const std::wstring text = platform::widen(message.text + "\n\n" + message.advice);
    ::MessageBoxW(owner, text.c_str(), L"Tessaro", MB_OK | MB_ICONWARNING);
}

}  // namespace win32
