#include "support/windows/win_support.h"

#include "win_api/text.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <windows.h>

namespace testing_support {

using win_api::narrow;
using win_api::widen;

namespace {

void removeTree(const std::wstring &path)
{
    WIN32_FIND_DATAW entry;
    const HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = path + L"\\" + name;
            ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(child);
            else
                ::DeleteFileW(child.c_str());
        } while (::FindNextFileW(find, &entry));
        ::FindClose(find);
    }
    ::RemoveDirectoryW(path.c_str());
}

void setEnvironment(const wchar_t *name, const std::string &value)
{
    ::SetEnvironmentVariableW(name, value.empty() ? nullptr : widen(value).c_str());
}

}  // namespace

TempDir::TempDir()
{
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH)
        throw std::runtime_error("GetTempPathW failed");
    // Wine hands out the same process ids in every fresh session, so the
    // name carries a tick count too, and the directory must be new.
    static std::atomic<int> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring path = std::wstring(temp, length) + L"tessaro-test-"
            + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount64()) + L"-"
            + std::to_wstring(counter++);
        if (::CreateDirectoryW(path.c_str(), nullptr)) {
            m_path = narrow(path);
            return;
        }
    }
    throw std::runtime_error("no new temporary directory could be made");
}

TempDir::~TempDir() { removeTree(widen(m_path)); }

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::string &path)
{
    wchar_t previous[MAX_PATH * 4];
    const DWORD length = ::GetCurrentDirectoryW(MAX_PATH * 4, previous);
    m_previous.assign(previous, length);
    if (!::SetCurrentDirectoryW(widen(path).c_str()))
        throw std::runtime_error("cannot change into " + path);
}

ScopedCurrentDirectory::~ScopedCurrentDirectory() { ::SetCurrentDirectoryW(m_previous.c_str()); }

void makeDirectory(const std::string &path)
{
    if (!::CreateDirectoryW(widen(path).c_str(), nullptr))
        throw std::runtime_error("cannot make " + path);
}

void copyFile(const std::string &from, const std::string &to)
{
    if (!::CopyFileW(widen(from).c_str(), widen(to).c_str(), TRUE))
        throw std::runtime_error("cannot copy " + from + " to " + to);
}

bool underWine()
{
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

bool haveDisplay() { return !underWine() || ::GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) > 1; }

std::string recordChildPath()
{
    wchar_t module[MAX_PATH * 4];
    const DWORD length = ::GetModuleFileNameW(nullptr, module, MAX_PATH * 4);
    std::wstring path(module, length);
    return narrow(path.substr(0, path.find_last_of(L"\\/") + 1) + L"record_child.exe");
}

FakeQuake::FakeQuake(const std::string &quakeDirectoryName)
    : m_quake(m_root.file(quakeDirectoryName)), m_records(m_root.file("records"))
{
    makeDirectory(m_quake);
    makeDirectory(m_records);
    copyFile(recordChildPath(), m_quake + "\\qwsv.exe");
    select();
}

FakeQuake::~FakeQuake()
{
    // Only programs of this fixture's directory: the id of one that has ended
    // may already belong to a process of another test.
    for (long pid : m_pids)
        stopProcess(pid, root());
    // Stand-ins started without the test learning their pid still left a record.
    for (const auto &[pid, record] : records())
        stopProcess(pid, root());
}

void FakeQuake::setMode(const std::string &mode)
{
    m_mode = mode;
    select();
}

void FakeQuake::select() const
{
    setEnvironment(L"TESSARO_RECORD_DIR", m_records);
    setEnvironment(L"TESSARO_RECORD_MODE", m_mode);
}

launch::StartResult FakeQuake::start(const launch::ServerCommand &command)
{
    select();
    launch::StartResult result = startServerForTest(command);
    adopt(result.processId);
    return result;
}

void FakeQuake::adopt(long pid)
{
    if (pid > 0)
        m_pids.push_back(pid);
}

std::optional<ServerRecord> FakeQuake::waitForRecord(long pid, std::chrono::milliseconds timeout)
{
    return waitForRecordIn(m_records, pid, timeout);
}

std::map<long, ServerRecord> FakeQuake::records() const { return recordsIn(m_records); }

launch::StartResult startServerForTest(const launch::ServerCommand &command)
{
    launch::StartResult result = launch::startServer(command);
    if (!result.started && underWine()
        && result.reason.find(win_api::systemMessage(ERROR_INTERNAL_ERROR)) != std::string::npos)
        result = launch::startServer(command);
    return result;
}

bool processExists(long pid)
{
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (!process)
        return false;
    ::CloseHandle(process);
    return true;
}

bool processRunning(long pid)
{
    const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (!process)
        return false;
    const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    ::CloseHandle(process);
    return running;
}

void stopProcess(long pid, const std::string &directory)
{
    if (pid <= 0)
        return;
    const HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                         static_cast<DWORD>(pid));
    if (!process)
        return;
    wchar_t image[MAX_PATH * 4];
    DWORD length = MAX_PATH * 4;
    const std::wstring prefix = widen(directory) + L"\\";
    if (!::QueryFullProcessImageNameW(process, 0, image, &length)
        || ::CompareStringOrdinal(image, static_cast<int>(std::min<std::size_t>(length, prefix.size())), prefix.c_str(),
                                  static_cast<int>(prefix.size()), TRUE) != CSTR_EQUAL) {
        ::CloseHandle(process);
        return;
    }
    ::TerminateProcess(process, 1);
    ::WaitForSingleObject(process, 5000);
    ::CloseHandle(process);
}

}  // namespace testing_support
