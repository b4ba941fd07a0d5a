#include "qwserver/status_query.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qwfixture {

namespace {

constexpr std::string_view kOutOfBand("\xff\xff\xff\xff", 4);

class UdpSocket {
public:
    UdpSocket() : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~UdpSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    UdpSocket(const UdpSocket &) = delete;
    UdpSocket &operator=(const UdpSocket &) = delete;

    int fd() const { return m_fd; }

private:
    int m_fd;
};

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace

std::optional<std::string> ServerInfo::value(const std::string &key) const
{
    const auto found = values.find(key);
    return found == values.end() ? std::nullopt : std::optional<std::string>(found->second);
}

std::optional<ServerInfo> parseStatusAnswer(std::string_view packet)
{
    const std::string_view header = "\xff\xff\xff\xffn";
    if (!packet.starts_with(header))
        return std::nullopt;
    std::string_view info = packet.substr(header.size());
    info = info.substr(0, info.find('\n'));  // player lines follow
    ServerInfo parsed;
    if (info.starts_with('\\'))
        info.remove_prefix(1);
    while (!info.empty()) {
        const auto keyEnd = info.find('\\');
        if (keyEnd == std::string_view::npos)
            break;
        const std::string_view key = info.substr(0, keyEnd);
        info.remove_prefix(keyEnd + 1);
        const auto valueEnd = info.find('\\');
        parsed.values[std::string(key)] = std::string(info.substr(0, valueEnd));
        info.remove_prefix(valueEnd == std::string_view::npos ? info.size() : valueEnd + 1);
    }
    return parsed;
}

std::optional<ServerInfo> waitForAnswer(int port, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    UdpSocket socket;
    const sockaddr_in server = loopback(port);
    // Connected, so that answers from anyone else are dropped and a port
    // nobody listens on yet shows up at once as a refused send.
    if (socket.fd() < 0 || ::connect(socket.fd(), reinterpret_cast<const sockaddr *>(&server), sizeof server) != 0)
        return std::nullopt;
    const std::string request = std::string(kOutOfBand) + "status\n";
    while (std::chrono::steady_clock::now() < deadline) {
        if (::send(socket.fd(), request.data(), request.size(), 0) < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        pollfd readable{socket.fd(), POLLIN, 0};
        if (::poll(&readable, 1, 1) <= 0)
            continue;
        char buffer[8192];
        const ssize_t n = ::recv(socket.fd(), buffer, sizeof buffer, 0);
        if (n > 0) {
            if (auto info = parseStatusAnswer({buffer, static_cast<std::size_t>(n)}))
                return info;
        } else if (errno == ECONNREFUSED) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return std::nullopt;
}

std::vector<int> busyPorts(std::span<const int> ports)
{
    std::vector<int> busy;
    for (int port : ports) {
        UdpSocket probe;
        const sockaddr_in address = loopback(port);
        // No SO_REUSEADDR: the bind fails while anybody holds the port.
        if (::bind(probe.fd(), reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
            busy.push_back(port);
    }
    return busy;
}

std::optional<std::string> busyPortsProblem(std::span<const int> ports)
{
    const std::vector<int> busy = busyPorts(ports);
    if (busy.empty())
        return std::nullopt;
    std::string list;
    for (int port : busy)
        list += (list.empty() ? "" : ", ") + std::to_string(port);
    return "UDP port" + std::string(busy.size() > 1 ? "s " : " ") + list + " on 127.0.0.1 " +
           (busy.size() > 1 ? "are" : "is") +
           " already in use, so a server started there could not be told from the one already running. "
           "Stop whatever holds " + (busy.size() > 1 ? "them" : "it") + " (ss -ulpn shows it) and run again.";
}

bool holdsUdpPort(long pid, int port)
{
    // Sockets bound to the port, by inode, from the kernel's table.
    std::vector<std::string> inodes;
    for (const char *table : {"/proc/net/udp", "/proc/net/udp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line);  // column titles
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
            fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
            const auto colon = local.rfind(':');
            if (colon != std::string::npos && std::stoi(local.substr(colon + 1), nullptr, 16) == port)
                inodes.push_back("socket:[" + inode + "]");
        }
    }
    std::error_code error;
    for (const auto &fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
        for (const std::string &inode : inodes) {
            if (target == inode)
                return true;
        }
    }
    return false;
}

}  // namespace qwfixture
