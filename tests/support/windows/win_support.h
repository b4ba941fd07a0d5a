#pragma once

// Test fixtures for the Windows build (run under Wine on Linux): scratch
// directories, a stand-in qwsv.exe that writes down what it got, and the
// processes it runs as.  Paths are UTF-8, like the core's.

#include "launch/process_start.h"
#include "support/server_records.h"

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// A new, empty directory under the system's temporary directory, removed
// with everything in it (read-only files included) when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return m_path; }
    std::string file(const std::string &name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

// Changes the current directory for the lifetime of the object.
class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(const std::string &path);
    ~ScopedCurrentDirectory();
    ScopedCurrentDirectory(const ScopedCurrentDirectory &) = delete;
    ScopedCurrentDirectory &operator=(const ScopedCurrentDirectory &) = delete;

private:
    std::wstring m_previous;
};

void makeDirectory(const std::string &path);
void copyFile(const std::string &from, const std::string &to);

// Whether this runs under Wine rather than on Windows.
bool underWine();
// Whether console windows can be shown: always on Windows; under Wine only
// with an X display (without one, a new console is only half made).
bool haveDisplay();

// The stand-in server, built beside the test programs.
std::string recordChildPath();

// A Quake directory whose qwsv.exe is the stand-in, plus the directory the
// stand-in writes its records to.  Every process started through start() is
// terminated when the object goes, also when the test fails.
class FakeQuake {
public:
    explicit FakeQuake(const std::string &quakeDirectoryName = "quake");
    ~FakeQuake();
    FakeQuake(const FakeQuake &) = delete;
    FakeQuake &operator=(const FakeQuake &) = delete;

    const std::string &root() const { return m_root.path(); }
    const std::string &quakeDirectory() const { return m_quake; }
    std::string file(const std::string &name) const { return m_root.file(name); }

    // "exit": the stand-ins started from now on end once they have written their record.
    void setMode(const std::string &mode);
    // Has the stand-ins started from now on write to this fixture's records
    // in its mode (the environment they inherit says where).
    void select() const;
    // startServerForTest() with this fixture selected; the process is adopted.
    launch::StartResult start(const launch::ServerCommand &command);

    // Waits for the record of process `pid`; nothing when none comes in time.
    std::optional<ServerRecord> waitForRecord(long pid, std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Every record so far, by pid.
    std::map<long, ServerRecord> records() const;

    // Terminates `pid` when the fixture goes.
    void adopt(long pid);

private:
    TempDir m_root;
    std::string m_quake;
    std::string m_records;
    std::string m_mode;
    std::vector<long> m_pids;
};

// startServer(), tried once more when Wine fails to set up the new process
// (ERROR_INTERNAL_ERROR: seen about once in 300 starts in a fresh Wine
// session).  On Windows, and for any other failure, one try.
launch::StartResult startServerForTest(const launch::ServerCommand &command);

// Whether a process with this id can be opened: false once it has ended and
// nobody holds a handle to it.
bool processExists(long pid);
// Whether it is still running.
bool processRunning(long pid);
// Terminates it, if its program lies in `directory`, and waits until it has ended.
void stopProcess(long pid, const std::string &directory);

}  // namespace testing_support
