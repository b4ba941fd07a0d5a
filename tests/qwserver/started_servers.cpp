#include "qwserver/started_servers.h"

#include <csignal>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace qwfixture {

namespace {

// Field 22 of /proc/PID/stat, the start time, and the state (field 3);
// nothing when there is no such process.
struct ProcessStat {
    char state = '?';
    unsigned long long startTime = 0;
};

std::optional<ProcessStat> readStat(long pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string content;
    if (!std::getline(in, content))
        return std::nullopt;
    const auto nameEnd = content.rfind(')');  // the name may hold blanks and parentheses
    if (nameEnd == std::string::npos)
        return std::nullopt;
    std::istringstream fields(content.substr(nameEnd + 2));
    ProcessStat stat;
    fields >> stat.state;
    std::string skipped;
    for (int field = 4; field < 22; ++field)
        fields >> skipped;
    fields >> stat.startTime;
    return stat;
}

}  // namespace

bool isRunning(long pid)
{
    const auto stat = readStat(pid);
    return stat && stat->state != 'Z' && stat->state != 'X';
}

bool waitUntilGone(long pid, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (isRunning(pid)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void StartedServers::adopt(long pid)
{
    if (pid <= 0)
        return;
    if (const auto stat = readStat(pid)) {
        m_servers.push_back({pid, stat->startTime});
        m_pids.push_back(pid);
    }
}

const std::vector<long> &StartedServers::pids() const { return m_pids; }

void StartedServers::stopAll()
{
    const auto signalOurs = [this](int signal) {
        for (const Server &server : m_servers) {
            const auto stat = readStat(server.pid);
            if (stat && stat->startTime == server.startTime && stat->state != 'Z')
                ::kill(static_cast<pid_t>(server.pid), signal);
        }
    };
    signalOurs(SIGTERM);
    bool allGone = true;
    for (const Server &server : m_servers)
        allGone = waitUntilGone(server.pid, std::chrono::seconds(1)) && allGone;
    if (!allGone) {
        signalOurs(SIGKILL);
        for (const Server &server : m_servers)
            waitUntilGone(server.pid, std::chrono::seconds(5));
    }
    m_servers.clear();
    m_pids.clear();
}

ServerOutputToFile::ServerOutputToFile(const std::string &logFile)
{
    std::fflush(stdout);
    std::fflush(stderr);
    const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (log < 0)
        return;  // the servers then write where we do, which is only untidy
    m_savedOutput = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    m_savedErrors = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    ::dup2(log, STDOUT_FILENO);
    ::dup2(log, STDERR_FILENO);
    ::close(log);
}

ServerOutputToFile::~ServerOutputToFile()
{
    if (m_savedOutput >= 0) {
        ::dup2(m_savedOutput, STDOUT_FILENO);
        ::close(m_savedOutput);
    }
    if (m_savedErrors >= 0) {
        ::dup2(m_savedErrors, STDERR_FILENO);
        ::close(m_savedErrors);
    }
}

}  // namespace qwfixture
