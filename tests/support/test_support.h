#pragma once

// The POSIX test fixtures: scratch directories, a stand-in server, and
// children that run with a real restriction (no root privileges, a file-size
// limit).

#include "support/server_records.h"

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support {

// A fresh directory under the system's temporary directory, removed with
// everything in it (permissions restored first) when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return m_path; }
    std::string file(const std::string &name) const { return m_path + "/" + name; }

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
    std::string m_previous;
};

// Sets (or, given nothing, removes) an environment variable for the lifetime
// of the object.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char *name, const std::optional<std::string> &value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};

// A Quake directory whose qwsv is the stand-in server, plus the directory
// the stand-in writes its records to.  Every server started while the object
// lives is killed when it goes, also when the test fails.
class FakeQuake {
public:
    explicit FakeQuake(const std::string &quakeDirectoryName = "quake");
    ~FakeQuake();
    FakeQuake(const FakeQuake &) = delete;
    FakeQuake &operator=(const FakeQuake &) = delete;

    const std::string &root() const { return m_root.path(); }
    const std::string &quakeDirectory() const { return m_quake; }
    const std::string &recordDirectory() const { return m_records; }

    // "exit": the stand-in ends once it has written its record.
    void setMode(const std::string &mode);

    // Waits for the record of process `pid`; nothing when none comes in time.
    std::optional<ServerRecord> waitForRecord(long pid, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Every record so far, by pid.
    std::map<long, ServerRecord> records() const;

    // Kills `pid` when the fixture goes (servers are not our children).
    void adopt(long pid);

private:
    TempDir m_root;
    std::string m_quake;
    std::string m_records;
    std::vector<long> m_pids;
    // Servers start detached here: with a display and an xterm, each would
    // open a console window.  Tests of the consoles set a display themselves.
    ScopedEnvironment m_noDisplay{"DISPLAY", std::nullopt};
};

std::string fakeQwsvPath();

// An xterm without a display: it writes down how it was called and its pid
// in `records`, then becomes the program after -e, as xterm runs it, with one
// descriptor of its own left open, as terminals may leave one, and a file for
// a screen.  FAKE_XTERM_MODE "dead" ends at once, as without a display;
// "silent" never runs the program, as on a display that never answers.
class FakeXterm {
public:
    explicit FakeXterm(std::string records);
    ~FakeXterm() { close(); }
    FakeXterm(const FakeXterm &) = delete;
    FakeXterm &operator=(const FakeXterm &) = delete;

    const std::string &directory() const { return m_bin.path(); }
    std::string arguments() const;
    std::string screen() const;
    long pid() const;
    // The window's close box; waits until it is gone.
    void close() const;
    // Its records, for the next start.
    void forget() const;

private:
    TempDir m_bin;
    std::string m_records;
};

// A display that is set, so that a console is on offer, but served by nobody.
inline constexpr const char *kNobodysDisplay = ":4093";
bool processAlive(long pid);
// Kills and waits until the process is gone.
void stopProcess(long pid);
// Polls `done` until it holds or `timeout` has passed; whether it held.
bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout = std::chrono::seconds(5));
// Zombie children of this process.
int zombieChildren();
// Children of this process in any state, zombies included.
int childProcesses();
// Descriptors this process has open.
int openDescriptors();

// What this process holds in memory: the heap in use (as the allocator, or a
// sanitizer's allocator, counts it) and its whole address space.
struct MemoryFootprint {
    long heapBytes = 0;
    long mappedBytes = 0;
};
MemoryFootprint memoryFootprint();

struct ChildOutcome {
    int exitCode = -1;    // -1 when it did not exit normally
    int signal = 0;
    std::string output;   // what the body returned
};

struct ChildOptions {
    bool unprivileged = false;        // as root, run as nobody so permission bits apply
    std::optional<long> fileSizeLimit{};
    bool noSpareDescriptor = false;   // every further open fails with EMFILE
    // A body that hangs is ended by SIGALRM after this long.
    std::optional<unsigned> timeLimitSeconds{};
};

// Runs `body` in a forked child under the restrictions asked for and returns
// the string it produced.  Nothing of the body's work touches this process.
ChildOutcome runInChild(const std::function<std::string()> &body, ChildOptions options = {});

bool runningAsRoot();

}  // namespace testing_support
