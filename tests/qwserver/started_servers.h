#pragma once

// Servers a test or the benchmark started.  They are nobody's children here
// (the launcher starts them in a session of their own), so they are stopped
// by pid; and since a server that outlives a test keeps the test's captured
// output open, and CI with it, they are stopped whenever the owner goes,
// also when a test fails half-way.

#include <chrono>
#include <string>
#include <vector>

namespace qwfixture {

class StartedServers {
public:
    StartedServers() = default;
    ~StartedServers() { stopAll(); }
    StartedServers(const StartedServers &) = delete;
    StartedServers &operator=(const StartedServers &) = delete;

    // Takes charge of process `pid`.  Its start time is noted, so that a pid
    // the system has meanwhile given to another program is never signalled.
    void adopt(long pid);

    // Asks every server still running to end, then kills those that do not
    // within a second; returns once all are gone.
    void stopAll();

    const std::vector<long> &pids() const;

private:
    struct Server {
        long pid;
        unsigned long long startTime;
    };
    std::vector<Server> m_servers;
    std::vector<long> m_pids;
};

// Whether `pid` is a running (not a zombie) process.
bool isRunning(long pid);

// Waits until `pid` is gone; false when it still runs after `timeout`.
bool waitUntilGone(long pid, std::chrono::milliseconds timeout);

// Server output started while the object lives goes to the end of `logFile`
// instead of where this process's output goes: a server that survived a
// crashed test would otherwise hold CTest's pipe open.  Restored afterwards.
class ServerOutputToFile {
public:
    explicit ServerOutputToFile(const std::string &logFile);
    ~ServerOutputToFile();
    ServerOutputToFile(const ServerOutputToFile &) = delete;
    ServerOutputToFile &operator=(const ServerOutputToFile &) = delete;

private:
    int m_savedOutput = -1;
    int m_savedErrors = -1;
};

}  // namespace qwfixture
