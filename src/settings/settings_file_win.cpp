#include "settings/settings_file.h"
#include "settings/settings_file_common.h"

#include "win_api/text.h"

#include <utility>

#include <windows.h>

namespace settings {

namespace {

using win_api::narrow;
using win_api::systemMessage;
using win_api::widen;

class Handle {
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : m_handle(handle) {}
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    Handle(Handle &&other) noexcept : m_handle(std::exchange(other.m_handle, INVALID_HANDLE_VALUE)) {}
    ~Handle() { reset(); }

    HANDLE get() const { return m_handle; }
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    void reset()
    {
        if (valid())
            ::CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
    // Closes and says whether the close itself succeeded.
    bool close() { return ::CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE)) != 0; }

private:
    HANDLE m_handle;
};

// The file is in the ANSI code page; code pages that take no conversion
// flags (and UTF-8, which takes its own) are told apart here.
DWORD toAnsiFlags(UINT codePage)
{
    if (codePage == CP_UTF8)
        return WC_ERR_INVALID_CHARS;
    if (codePage == 42 || codePage == 54936 || codePage == 65000 || (codePage >= 50220 && codePage <= 50229)
        || (codePage >= 57002 && codePage <= 57011))
        return 0;
    return WC_NO_BEST_FIT_CHARS;
}

std::wstring fromAnsi(std::string_view bytes)
{
    if (bytes.empty())
        return {};
    const int size = static_cast<int>(bytes.size());
    const int length = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), length);
    return wide;
}

// The text in the ANSI code page, or nothing when the code page lacks one
// of its characters (instead of the "?" or look-alike the system would put
// in).  Converting back must give the same text.
std::optional<std::string> toAnsi(std::wstring_view text)
{
    if (text.empty())
        return std::string();
    const UINT codePage = ::GetACP();
    const DWORD flags = toAnsiFlags(codePage);
    const int size = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (length == 0)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(codePage, flags, text.data(), size, bytes.data(), length, nullptr, nullptr);
    if (fromAnsi(bytes) != text)
        return std::nullopt;
    return bytes;
}

// Slot values are UTF-8; the file holds them in the ANSI code page.
// valueProblem() has made sure that every value converts.
Directories toFileEncoding(const Directories &directories)
{
    Directories converted;
    for (int slot = 1; slot <= kSlotCount; ++slot)
        converted.slot(slot) = toAnsi(widen(directories.slot(slot))).value_or(std::string());
    return converted;
}

Directories fromFileEncoding(const Directories &directories)
{
    Directories converted;
    for (int slot = 1; slot <= kSlotCount; ++slot)
        converted.slot(slot) = narrow(fromAnsi(directories.slot(slot)));
    return converted;
}

std::string displayPath(const std::string &path) { return narrow(win_api::fullPath(widen(path))); }

// What the system answers when another program holds the file open without
// sharing it, or has locked a part of it.
bool heldByAnotherProgram(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

std::wstring directoryOf(const std::wstring &path)
{
    const auto separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos)
        return L".";
    // "C:\tessaro.cfg" lies in "C:\", not in "C:".
    return path.substr(0, separator == 2 && path[1] == L':' ? 3 : separator);
}

bool writeAll(HANDLE file, std::string_view bytes)
{
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

// Creates a file no one else can have prepared: a random name, created only
// if it does not exist yet.
Handle createUniqueFile(const std::wstring &directory, std::wstring &name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = directory + (directory.back() == L'\\' ? L"" : L"\\") + widen(detail::temporaryName());
        Handle file(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        const DWORD error = ::GetLastError();
        if (file.valid() || (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS))
            return file;
    }
    ::SetLastError(ERROR_FILE_EXISTS);
    return Handle();
}

}  // namespace

std::optional<std::string> encodingProblem(std::string_view value)
{
    bool ascii = true;
    for (const char c : value)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii)
        return std::nullopt;  // every ANSI code page has ASCII

    const std::optional<std::wstring> text = win_api::widenExactly(value);
    if (!text)
        return "is not UTF-8 text";
    if (toAnsi(*text))
        return std::nullopt;
    // Name the first character that the code page lacks.
    for (std::size_t at = 0; at < text->size();) {
        const bool pair = IS_HIGH_SURROGATE((*text)[at]) && at + 1 < text->size() && IS_LOW_SURROGATE((*text)[at + 1]);
        const std::wstring_view character = std::wstring_view(*text).substr(at, pair ? 2 : 1);
        if (!toAnsi(character)) {
            return "contains \"" + narrow(character) + "\", which this system's code page ("
                + std::to_string(::GetACP()) + ") has no character for";
        }
        at += character.size();
    }
    return "contains text that this system's code page (" + std::to_string(::GetACP()) + ") cannot hold";
}

ReadResult readDirectories() { return readDirectoriesFrom(kFileName); }

ReadResult readDirectoriesFrom(const std::string &path)
{
    ReadResult result;
    const std::wstring widePath = widen(path);
    result.path = displayPath(path);

    // Others may read, write, rename or delete the file while it is read;
    // nothing here holds it longer than the read.
    Handle file(::CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        const DWORD error = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesW(widePath.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            result.failure = ReadFailure::NotAFile;
            result.reason = detail::directoryReason(result.path);
        } else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            result.failure = ReadFailure::Missing;
            result.reason = detail::missingReason(result.path);
        } else if (heldByAnotherProgram(error)) {
            result.failure = ReadFailure::Locked;
            result.reason = detail::unreadableReason(result.path, systemMessage(error));
        } else {
            result.failure = ReadFailure::Unreadable;
            result.reason = detail::unreadableReason(result.path, systemMessage(error));
        }
        return result;
    }
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) {
        result.failure = ReadFailure::NotAFile;
        result.reason = detail::notAFileReason(result.path);
        return result;
    }

    // Binary reads: line ends reach the parser as they are, CR LF included,
    // and the parser takes CR, LF and CR LF alike.
    bool lockedWhileRead = false;
    detail::readFields(result, [&](char *buffer, std::size_t capacity,
                                   std::string &reason) -> std::optional<std::size_t> {
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer, static_cast<DWORD>(capacity), &got, nullptr)) {
            const DWORD error = ::GetLastError();
            lockedWhileRead = heldByAnotherProgram(error);
            reason = systemMessage(error);
            return std::nullopt;
        }
        return got;
    });
    if (lockedWhileRead)
        result.failure = ReadFailure::Locked;  // a range another program locked
    result.directories = fromFileEncoding(result.directories);
    return result;
}

WriteResult writeDirectories(const Directories &directories) { return writeDirectoriesTo(kFileName, directories); }

WriteResult writeDirectoriesTo(const std::string &path, const Directories &directories)
{
    WriteResult result;
    result.path = displayPath(path);
    const std::wstring target = win_api::fullPath(widen(path));
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    result.previousFileKept = attributes != INVALID_FILE_ATTRIBUTES;  // no failure below touches it

    if (auto refused = detail::refusedValue(directories)) {
        result.reason = std::move(*refused);
        return result;
    }

    const std::wstring directory = directoryOf(target);
    const std::string line = formatLine(toFileEncoding(directories));

    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        result.reason = detail::writeFailedReason(result.path, "it is not a regular file");
        return result;
    }
    // Windows refuses to replace a read-only file, and so does Tessaro, also
    // where the system would not (Wine, a network share).
    const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    if (readOnly) {
        result.reason = detail::replaceFailedReason(result.path, "it is read-only");
        return result;
    }

    std::wstring temporary;
    Handle file = createUniqueFile(directory, temporary);
    if (!file.valid()) {
        result.reason = detail::noNewFileReason(result.path, narrow(directory), systemMessage(::GetLastError()));
        return result;
    }
    if (!writeAll(file.get(), line) || !::FlushFileBuffers(file.get()) || !file.close()) {
        const DWORD error = ::GetLastError();
        file.reset();
        ::DeleteFileW(temporary.c_str());
        result.reason = detail::writeFailedReason(result.path, systemMessage(error));
        return result;
    }

    // One step that either replaces the old file whole or leaves it as it
    // was: a read-only file, or one that another program holds open without
    // letting others replace it, stays untouched.
    if (!::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temporary.c_str());
        // "Access is denied" is all the system says of a file another program
        // holds open: asking for the right to replace it tells which it is.
        Handle probe(::CreateFileW(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        const bool held = !probe.valid() && heldByAnotherProgram(::GetLastError());
        result.reason = detail::replaceFailedReason(
            result.path, held ? "another program holds it open (close that program, then click Apply again)"
                              : systemMessage(error));
        return result;
    }
    result.written = true;
    return result;
}

}  // namespace settings
