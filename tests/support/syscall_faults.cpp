#include "support/syscall_faults.h"

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstring>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace testing_support {

namespace {

#if defined(__x86_64__)
constexpr unsigned kAuditArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr unsigned kAuditArch = AUDIT_ARCH_AARCH64;
#else
#error "syscall_faults knows x86-64 and AArch64 only"
#endif

constexpr std::uint32_t kArchOffset = offsetof(seccomp_data, arch);
constexpr std::uint32_t kNumberOffset = offsetof(seccomp_data, nr);
// The low half of a 64-bit argument, on a little-endian machine.
constexpr std::uint32_t argumentOffset(int index)
{
    return static_cast<std::uint32_t>(offsetof(seccomp_data, args) + sizeof(std::uint64_t) * index);
}

sock_filter statement(std::uint16_t code, std::uint32_t k) { return BPF_STMT(code, k); }
sock_filter jump(std::uint16_t code, std::uint32_t k, std::uint8_t ifTrue, std::uint8_t ifFalse)
{
    return BPF_JUMP(code, k, ifTrue, ifFalse);
}

int installFilter(std::vector<sock_filter> &program, unsigned flags)
{
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        throw std::runtime_error("PR_SET_NO_NEW_PRIVS failed");
    sock_fprog fprog{static_cast<unsigned short>(program.size()), program.data()};
    const long result = ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, flags, &fprog);
    if (result < 0)
        throw std::runtime_error(std::string("seccomp failed: ") + std::strerror(errno));
    return static_cast<int>(result);
}

std::string pathOfOpen(const seccomp_data &call)
{
    const int directory = static_cast<int>(call.args[0]);
    std::string path = reinterpret_cast<const char *>(call.args[1]);  // same address space: the body's thread
    if (path.empty() || path.front() == '/' || directory == AT_FDCWD)
        return path;
    char target[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(directory);
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
    return length < 0 ? path : std::string(target, static_cast<std::size_t>(length)) + "/" + path;
}

}  // namespace

void dieOnSystemCalls(const std::vector<long> &numbers)
{
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);

    std::vector<sock_filter> program{
        statement(BPF_LD | BPF_W | BPF_ABS, kArchOffset),
        jump(BPF_JMP | BPF_JEQ | BPF_K, kAuditArch, 1, 0),
        statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        statement(BPF_LD | BPF_W | BPF_ABS, kNumberOffset),
    };
    // Each listed call jumps over the rest to the final kill.
    std::uint8_t remaining = static_cast<std::uint8_t>(numbers.size());
    for (long number : numbers) {
        --remaining;
        program.push_back(jump(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(number),
                               static_cast<std::uint8_t>(remaining + 1), 0));
    }
    program.push_back(statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    program.push_back(statement(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS));
    installFilter(program, 0);
}

std::string interceptFileCreation(const std::function<void(const std::string &path)> &beforeCreate,
                                  const std::function<std::string()> &body)
{
    int stop[2];
    if (::pipe2(stop, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    std::promise<int> listenerReady;
    std::future<int> listenerFuture = listenerReady.get_future();

    // Started before the filter exists, so that its own calls are not filtered.
    std::thread supervisor([&] {
        const int listener = listenerFuture.get();
        for (;;) {
            pollfd waits[2] = {{listener, POLLIN, 0}, {stop[0], POLLIN, 0}};
            if (::poll(waits, 2, -1) < 0 && errno == EINTR)
                continue;
            if (waits[1].revents != 0)
                return;
            seccomp_notif request {};
            if (::ioctl(listener, SECCOMP_IOCTL_NOTIF_RECV, &request) != 0)
                continue;
            std::string path = pathOfOpen(request.data);
            if (::ioctl(listener, SECCOMP_IOCTL_NOTIF_ID_VALID, &request.id) == 0)
                beforeCreate(path);
            seccomp_notif_resp response {};
            response.id = request.id;
            response.flags = SECCOMP_USER_NOTIF_FLAG_CONTINUE;
            ::ioctl(listener, SECCOMP_IOCTL_NOTIF_SEND, &response);
        }
    });

    std::vector<sock_filter> program{
        statement(BPF_LD | BPF_W | BPF_ABS, kArchOffset),
        jump(BPF_JMP | BPF_JEQ | BPF_K, kAuditArch, 0, 4),
        statement(BPF_LD | BPF_W | BPF_ABS, kNumberOffset),
        jump(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat, 0, 2),
        statement(BPF_LD | BPF_W | BPF_ABS, argumentOffset(2)),
        jump(BPF_JMP | BPF_JSET | BPF_K, O_CREAT, 1, 0),
        statement(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        statement(BPF_RET | BPF_K, SECCOMP_RET_USER_NOTIF),
    };
    int listener = -1;
    try {
        listener = installFilter(program, SECCOMP_FILTER_FLAG_NEW_LISTENER);
    } catch (...) {
        listenerReady.set_value(-1);
        (void)::write(stop[1], "x", 1);
        supervisor.join();
        throw;
    }
    listenerReady.set_value(listener);
    std::string output = body();
    (void)::write(stop[1], "x", 1);
    supervisor.join();
    return output;
}

}  // namespace testing_support
