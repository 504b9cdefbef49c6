#include "listen.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <system_error>

#include "platform/line_address.h"

namespace quarn7::apps {

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// Writes all of `bytes` to the non-blocking `fd`; false when the far end has gone.
bool write_all(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n > 0) {
            bytes += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 1000) <= 0) return false;
    }
    return true;
}

}  // namespace

TcpRelay::TcpRelay(const std::string& host_port, std::string device) : device_(std::move(device)) {
    const HostPort where = split_host_port(host_port, host_port);
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int rc = ::getaddrinfo(where.host.c_str(), where.port.c_str(), &hints, &found)) {
        throw std::runtime_error(where.host + ": " + ::gai_strerror(rc));
    }
    const addrinfo& a = *found;
    listener_ = ::socket(a.ai_family, a.ai_socktype | SOCK_CLOEXEC, a.ai_protocol);
    const int one = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const bool listening = listener_ >= 0 && ::bind(listener_, a.ai_addr, a.ai_addrlen) == 0 &&
                           ::listen(listener_, 8) == 0;
    ::freeaddrinfo(found);
    if (!listening) fail("listen on " + host_port);
    sockaddr_storage bound{};
    socklen_t size = sizeof bound;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&bound), &size);
    std::array<char, NI_MAXHOST> host{};
    std::array<char, NI_MAXSERV> port{};
    ::getnameinfo(reinterpret_cast<sockaddr*>(&bound), size, host.data(), host.size(), port.data(),
                  port.size(), NI_NUMERICHOST | NI_NUMERICSERV);
    const bool v6 = bound.ss_family == AF_INET6;
    address_ =
        "tcp://" + std::string(v6 ? "[" : "") + host.data() + (v6 ? "]:" : ":") + port.data();
    wake_ = ::eventfd(0, EFD_CLOEXEC);
    if (wake_ < 0) fail("eventfd");
    thread_ = std::thread([this] { run(); });
}

TcpRelay::~TcpRelay() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(wake_, &one, sizeof one);
    thread_.join();
    ::close(wake_);
    ::close(listener_);
}

void TcpRelay::run() {
    for (;;) {
        std::array<pollfd, 2> fds{{{wake_, POLLIN, 0}, {listener_, POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) return;
        if (fds[0].revents) return;
        if (!(fds[1].revents & POLLIN)) continue;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (client < 0) continue;
        const int one = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        relay(client);
        ::close(client);
    }
}

// Until the client goes, the unit hangs up its line, or the relay stops.
void TcpRelay::relay(int client) {
    const int tty = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (tty < 0) return;
    termios raw{};
    ::tcgetattr(tty, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(tty, TCSANOW, &raw);
    std::array<pollfd, 3> fds{{{wake_, POLLIN, 0}, {client, POLLIN, 0}, {tty, POLLIN, 0}}};
    for (bool open = true; open;) {
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) break;
        if (fds[0].revents) break;
        // Each direction: what can be read goes on; an end that has gone ends the relay.
        for (const auto& [from, to] : {std::pair{client, tty}, std::pair{tty, client}}) {
            const short events = (from == client ? fds[1] : fds[2]).revents;
            if (!events) continue;
            char buffer[4096];
            const ssize_t n = ::read(from, buffer, sizeof buffer);
            if (n > 0 && write_all(to, buffer, static_cast<std::size_t>(n))) continue;
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            open = false;
        }
    }
    ::close(tty);
}

}  // namespace quarn7::apps
