#include "support/test_support.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define TESSARO_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSARO_TEST_ASAN 1
#endif
#endif
#if TESSARO_TEST_ASAN
// From the sanitizer runtime (GCC ships no header that declares it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace fs = std::filesystem;

namespace testing_support {

namespace {

constexpr uid_t kNobody = 65534;

void makeTraversable(const fs::path &root)
{
    std::error_code error;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, error);
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    }
}

}  // namespace

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "tessaro-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
    // Reachable by an unprivileged child when the tests run as root.
    ::chmod(m_path.c_str(), 0755);
}

TempDir::~TempDir()
{
    std::error_code error;
    makeTraversable(m_path);
    fs::remove_all(m_path, error);
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::string &path)
    : m_previous(fs::current_path().string())
{
    fs::current_path(path);
}

ScopedCurrentDirectory::~ScopedCurrentDirectory()
{
    std::error_code error;
    fs::current_path(m_previous, error);
}

std::string fakeQwsvPath() { return FAKE_QWSV_PATH; }

FakeXterm::FakeXterm(std::string records) : m_records(std::move(records))
{
    writeFile(m_bin.file("xterm"), "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$FAKE_QWSV_RECORD_DIR/xterm.args\"\n"
                                   "echo $$ > \"$FAKE_QWSV_RECORD_DIR/xterm.pid\"\n"
                                   "case $FAKE_XTERM_MODE in dead) exit 1 ;; silent) exec sleep 60 ;; esac\n"
                                   "while [ \"$1\" != -e ]; do shift; done\nshift\n"
                                   "exec \"$@\" </dev/null >\"$FAKE_QWSV_RECORD_DIR/xterm.screen\" 2>&1 5</dev/null\n");
    ::chmod(m_bin.file("xterm").c_str(), 0755);
}

std::string FakeXterm::arguments() const { return readFile(m_records + "/xterm.args"); }

std::string FakeXterm::screen() const { return readFile(m_records + "/xterm.screen"); }

long FakeXterm::pid() const
{
    const std::string text = readFile(m_records + "/xterm.pid");
    return text.empty() ? 0 : std::stol(text);
}

void FakeXterm::close() const
{
    if (pid() > 0 && processAlive(pid()))
        stopProcess(pid());
}

void FakeXterm::forget() const
{
    for (const char *name : {"xterm.args", "xterm.pid", "xterm.screen"})
        fs::remove(m_records + "/" + name);
}

ScopedEnvironment::ScopedEnvironment(const char *name, const std::optional<std::string> &value) : m_name(name)
{
    if (const char *previous = std::getenv(name))
        m_previous = previous;
    if (value)
        ::setenv(name, value->c_str(), 1);
    else
        ::unsetenv(name);
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (m_previous)
        ::setenv(m_name.c_str(), m_previous->c_str(), 1);
    else
        ::unsetenv(m_name.c_str());
}

FakeQuake::FakeQuake(const std::string &quakeDirectoryName)
{
    m_quake = m_root.file(quakeDirectoryName);
    m_records = m_root.file("records");
    fs::create_directories(m_quake);
    fs::create_directories(m_records);
    fs::permissions(m_records, fs::perms::all);
    fs::copy_file(fakeQwsvPath(), m_quake + "/qwsv");
    ::setenv("FAKE_QWSV_RECORD_DIR", m_records.c_str(), 1);
    ::unsetenv("FAKE_QWSV_MODE");
}

FakeQuake::~FakeQuake()
{
    // Only a process still running this fixture's qwsv is ours: the pid of a
    // stand-in that exited long ago may belong to anyone by now.
    const auto stopIfOurs = [this](long pid) {
        std::error_code error;
        const auto program = fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
        if (!error && program == fs::path(m_quake) / "qwsv")
            stopProcess(pid);
    };
    for (long pid : m_pids)
        stopIfOurs(pid);
    // Stand-ins started without the test learning their pid still left a record.
    for (const auto &[pid, record] : records())
        stopIfOurs(pid);
    ::unsetenv("FAKE_QWSV_RECORD_DIR");
    ::unsetenv("FAKE_QWSV_MODE");
}

void FakeQuake::setMode(const std::string &mode) { ::setenv("FAKE_QWSV_MODE", mode.c_str(), 1); }

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

bool processAlive(long pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string content;
    if (!std::getline(stat, content))
        return false;
    const auto close = content.rfind(')');
    return close != std::string::npos && close + 2 < content.size() && content[close + 2] != 'Z';
}

void stopProcess(long pid)
{
    if (pid <= 0)
        return;
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    // Reap it if it happens to be ours; otherwise wait for its parent to.
    ::waitpid(static_cast<pid_t>(pid), nullptr, WNOHANG);
    for (int i = 0; i < 400 && processAlive(pid); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

namespace {

// The state letter ("R", "S", "Z", ...) of each child of this process.
std::vector<std::string> childStates()
{
    std::vector<std::string> states;
    const std::string self = std::to_string(::getpid());
    std::error_code error;
    for (const auto &entry : fs::directory_iterator("/proc", error)) {
        std::ifstream stat(entry.path() / "stat");
        std::string content;
        if (!std::getline(stat, content))
            continue;
        const auto close = content.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(content.substr(close + 2));
        std::string state, parent;
        rest >> state >> parent;
        if (parent == self)
            states.push_back(state);
    }
    return states;
}

}  // namespace

int zombieChildren()
{
    const auto states = childStates();
    return static_cast<int>(std::count(states.begin(), states.end(), "Z"));
}

int childProcesses() { return static_cast<int>(childStates().size()); }

int openDescriptors()
{
    std::error_code error;
    // The iterator's own descriptor is counted every time alike.
    return static_cast<int>(std::distance(fs::directory_iterator("/proc/self/fd", error), fs::directory_iterator()));
}

MemoryFootprint memoryFootprint()
{
    MemoryFootprint footprint;
#if TESSARO_TEST_ASAN
    footprint.heapBytes = static_cast<long>(__sanitizer_get_current_allocated_bytes());
#else
    footprint.heapBytes = static_cast<long>(::mallinfo2().uordblks);
#endif
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmSize:", 0) == 0)
            footprint.mappedBytes = std::stol(line.substr(7)) * 1024;
    }
    return footprint;
}

bool runningAsRoot() { return ::geteuid() == 0; }

ChildOutcome runInChild(const std::function<std::string()> &body, ChildOptions options)
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        ::close(pipeFds[0]);
        if (options.unprivileged && ::geteuid() == 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                ::_exit(90);
        }
        if (options.timeLimitSeconds)
            ::alarm(*options.timeLimitSeconds);
        if (options.fileSizeLimit) {
            ::signal(SIGXFSZ, SIG_IGN);  // so that the write fails instead of the process
            const rlimit limit{static_cast<rlim_t>(*options.fileSizeLimit), static_cast<rlim_t>(*options.fileSizeLimit)};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                ::_exit(91);
        }
        if (options.noSpareDescriptor) {
            const int lowestFree = ::dup(STDIN_FILENO);
            ::close(lowestFree);
            const rlimit limit{static_cast<rlim_t>(lowestFree), static_cast<rlim_t>(lowestFree)};
            if (lowestFree < 0 || ::setrlimit(RLIMIT_NOFILE, &limit) != 0)
                ::_exit(92);
        }
        const std::string output = body();
        std::size_t done = 0;
        while (done < output.size()) {
            const ssize_t n = ::write(pipeFds[1], output.data() + done, output.size() - done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    ChildOutcome outcome;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0)
            outcome.output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        outcome.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        outcome.signal = WTERMSIG(status);
    return outcome;
}

}  // namespace testing_support
