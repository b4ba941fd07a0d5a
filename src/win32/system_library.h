#pragma once

// Libraries from the system folder only.  Windows looks for a library in the
// program's own folder before the system folder, and Tessaro.exe lives in a
// Quake directory or is started from a download folder, where mods and other
// people's tools leave their files: a library left there under a system
// library's name would run inside Tessaro with the user's rights.  So the
// program imports only libraries the loader takes from the system itself
// and loads every other one through here.

#include <windows.h>

namespace win32 {

// The exported function `name` of `module`; null where either is missing.
template <typename Function>
Function exportedFunction(HMODULE module, const char *name)
{
    return module ? reinterpret_cast<Function>(reinterpret_cast<void *>(::GetProcAddress(module, name))) : nullptr;
}

// Narrows every later library search of the process, those the system's own
// libraries make included, to the system folder.  Call it before anything
// loads a library by name.  Inline, so that only a program that calls it
// names SetDefaultDllDirectories, and a look at the release file shows it.
inline void searchLibrariesInSystemFolderOnly()
{
    // Looked up, not imported: Windows 7 has it only with an update
    // (KB2533623), and a missing import would stop the program before it
    // starts.  Without it the search stays as it was; loadSystemLibrary then
    // finds nothing, and the program does without what it would have loaded.
    const auto setDefaultDllDirectories =
        exportedFunction<BOOL(WINAPI *)(DWORD)>(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    if (setDefaultDllDirectories)
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// `name` loaded from the system folder and never released; null where the
// system folder has no such library.
HMODULE loadSystemLibrary(const wchar_t *name);

template <typename Function>
Function systemFunction(const wchar_t *library, const char *name)
{
    return exportedFunction<Function>(loadSystemLibrary(library), name);
}

}  // namespace win32
