#include "messages.h"

#include "platform/win_text.h"

#include <string>

namespace win32 {

void showWarning(HWND owner, const design::Message &message)
{
    const std::wstring text = platform::widen(message.text + "\n\n" + message.advice);
    ::MessageBoxW(owner, text.c_str(), L"Tessaro", MB_OK | MB_ICONWARNING);
}

design::Message startFailureMessage(const launch::LaunchEntry &entry, const launch::StartResult &start)
{
    return {"The server for port " + std::to_string(entry.port) + " could not be started.  " + start.reason,
            "Check the Quake directory in Configure: it must be the directory that holds qwsv.exe."};
}

}  // namespace win32
