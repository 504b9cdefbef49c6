#include "platform/network_port.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "quarn7/error.h"

namespace quarn7 {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Connecting, and for RFC 2217 agreeing on the line, take a few round trips on any network a
// serial server sits on; beyond this the server is taken as unreachable.
constexpr auto kOpenTime = std::chrono::seconds(3);
// As on a tty: a write that makes no progress for this long is given up.
constexpr auto kWriteStall = std::chrono::seconds(1);

// poll() until an event or `deadline`, retrying on signals; the events seen, 0 at the deadline.
int poll_until(int fd, short events, SteadyClock::time_point deadline) {
    pollfd p{fd, events, 0};
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
        const int rc = ::poll(&p, 1, static_cast<int>(std::max<long>(left.count(), 0)));
        if (rc >= 0) return rc == 0 ? 0 : p.revents;
        if (errno != EINTR) return POLLERR;
    }
}

bool connection_gone(int err) {
    return err == ECONNRESET || err == EPIPE || err == ETIMEDOUT || err == ENOTCONN ||
           err == EHOSTUNREACH || err == ENETUNREACH;
}

}  // namespace

TcpPort::TcpPort(std::string address, std::string host, std::string service)
    : address_(std::move(address)), host_(std::move(host)), service_(std::move(service)) {}

TcpPort::~TcpPort() {
    if (fd_ >= 0) ::close(fd_);
}

void TcpPort::fail(ErrorNumber number, const std::string& why) {
    if (is_open()) close_port();  // PortOpen reads false: a host can open again once it is back
    throw Error(number,
                std::string(describe(number)) + ": " + address_ + (why.empty() ? "" : ": ") + why);
}

void TcpPort::open_port() {
    const Deadline deadline = SteadyClock::now() + kOpenTime;
    connect_socket(deadline);
    start_line(deadline);
}

void TcpPort::connect_socket(Deadline deadline) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int rc = ::getaddrinfo(host_.c_str(), service_.c_str(), &hints, &found); rc != 0) {
        throw Error(ErrorNumber::HostNotFound, std::string(describe(ErrorNumber::HostNotFound)) +
                                                   ": " + host_ + " (" + ::gai_strerror(rc) + ")");
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, ::freeaddrinfo);
    // Each address of the host in turn; the error names the most telling failure.
    ErrorNumber number = ErrorNumber::PortIo;
    std::string why;
    for (const addrinfo* a = found; a && fd_ < 0; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        int err = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
        if (err == EINPROGRESS) {
            const int events = poll_until(fd, POLLOUT, deadline);
            socklen_t size = sizeof err;
            err = events == 0 ? ETIMEDOUT : 0;
            if (events != 0) ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &size);
        }
        if (err != 0) {
            ::close(fd);
            if (number != ErrorNumber::ConnectTimedOut) {
                number = err == ETIMEDOUT      ? ErrorNumber::ConnectTimedOut
                         : err == ECONNREFUSED ? ErrorNumber::ConnectionRefused
                                               : ErrorNumber::PortIo;
                why = err == ETIMEDOUT || err == ECONNREFUSED ? "" : std::strerror(err);
            }
            continue;
        }
        // A frame goes out at once, not held back to be sent with the next one.
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        fd_ = fd;
    }
    if (fd_ < 0) fail(number, why);
}

void TcpPort::close_port() {
    ::close(fd_);
    fd_ = -1;
    received_.clear();
}

void TcpPort::write_bytes(std::string_view bytes) {
    send_raw(encode(bytes));
}

void TcpPort::send_raw(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            if (connection_gone(errno)) fail(ErrorNumber::DeviceLost, std::strerror(errno));
            fail(ErrorNumber::PortIo, std::string("write: ") + std::strerror(errno));
        }
        if (poll_until(fd_, POLLOUT, SteadyClock::now() + kWriteStall) == 0) {
            fail(ErrorNumber::PortIo, "write stalled (the server takes nothing)");
        }
    }
}

int TcpPort::bytes_waiting() {
    take_input();
    return static_cast<int>(received_.size());
}

std::string TcpPort::read_waiting() {
    take_input();
    return std::exchange(received_, {});
}

void TcpPort::take_input() {
    char buffer[4096];
    // Bounded, so that a server that never stops sending cannot hold the caller here.
    for (int reads = 0; reads < 16; ++reads) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0) {
            // Acknowledged at once: a server that keeps Nagle on holds its next bytes until
            // then, up to the 40 ms of a delayed acknowledge (Linux clears the flag each time).
            const int one = 1;
            ::setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
            received_ += decode(std::string_view(buffer, static_cast<std::size_t>(n)));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        // What came before the end is handed over first; the next call reports the loss.
        if (!received_.empty()) return;
        fail(ErrorNumber::DeviceLost,
             n == 0 ? "connection closed by the server" : std::strerror(errno));
    }
}

bool TcpPort::wait_socket(Deadline deadline) {
    const int events = poll_until(fd_, POLLIN, deadline);
    if (events & POLLNVAL) fail(ErrorNumber::PortIo, "poll");
    return events != 0;
}

// Bytes on the socket may be Telnet commands alone: waiting goes on until line data came.
bool TcpPort::wait_readable(Clock::duration timeout) {
    const Deadline deadline = SteadyClock::now() + timeout;
    while (received_.empty()) {
        if (SteadyClock::now() >= deadline || !wait_socket(deadline)) return false;
        take_input();
    }
    return true;
}

std::string Rfc2217Port::decode(std::string_view bytes) {
    std::string data = codec_.decode(bytes);
    if (const std::string replies = codec_.take_replies(); !replies.empty()) send_raw(replies);
    return data;
}

void Rfc2217Port::start_line(Deadline deadline) {
    const auto expected = TelnetCodec::line_values(parse_line_settings(settings()), handshaking());
    const auto settled = [&] {
        for (int i = 0; i < TelnetCodec::kLineCommands; ++i) {
            if (!codec_.answer(i)) return false;
        }
        return true;
    };
    send_raw(codec_.start());
    bool line_sent = false;
    while (!(line_sent && settled())) {
        if (codec_.declined()) fail(ErrorNumber::NegotiationFailed, "the server declined");
        if (!line_sent && codec_.agreed()) {
            send_raw(TelnetCodec::set_line(expected));
            line_sent = true;
            continue;
        }
        // A server that never stops sending keeps the socket readable: the clock decides.
        if (SteadyClock::now() >= deadline || !wait_socket(deadline)) {
            fail(ErrorNumber::NegotiationFailed, "no answer in time");
        }
        take_input();
    }
    constexpr const char* kNames[] = {"baud rate", "data bits", "parity", "stop bits",
                                      "flow control"};
    for (int i = 0; i < TelnetCodec::kLineCommands; ++i) {
        if (*codec_.answer(i) != expected[i]) {
            fail(ErrorNumber::NegotiationFailed, std::string("the server set ") + kNames[i] + " " +
                                                     std::to_string(*codec_.answer(i)) + " for " +
                                                     std::to_string(expected[i]));
        }
    }
    // Whatever arrived before the line was set belongs to nobody (as a tty's flush on open).
    received_.clear();
}

void Rfc2217Port::close_port() {
    TcpPort::close_port();
    codec_ = TelnetCodec();
}

}  // namespace quarn7
