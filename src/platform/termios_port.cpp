#include "quarn7/termios_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "quarn7/error.h"

namespace quarn7 {

namespace {

using SteadyTime = std::chrono::steady_clock::time_point;

struct Speed {
    int baud;
    speed_t code;
};
constexpr Speed kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

struct Parity {
    char letter;
    tcflag_t flags;
};
// Mark and space are a parity bit that sticks at 1 or 0 (CMSPAR; PARODD chooses which).
constexpr Parity kParities[] = {
    {'n', 0},
    {'o', PARENB | PARODD},
    {'e', PARENB},
    {'m', PARENB | CMSPAR | PARODD},
    {'s', PARENB | CMSPAR},
};

constexpr tcflag_t kDataBits[] = {CS5, CS6, CS7, CS8};  // for 5..8 data bits

// A write that makes no progress for this long is given up: flow control holds the line or the
// driver is stuck. A frame of this system takes a few milliseconds on the wire.
constexpr auto kWriteStall = std::chrono::seconds(1);

struct PortMap {
    std::mutex mutex;
    std::map<std::int16_t, std::string> paths;
};
PortMap& port_map() {
    static PortMap map;
    return map;
}

Error port_error(ErrorNumber number, const std::string& detail) {
    return Error(number, std::string(describe(number)) + ": " + detail);
}

Error open_error(int err, const std::string& path) {
    switch (err) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return port_error(ErrorNumber::NoSuchDevice, path);
        case ENOTTY:
            return port_error(ErrorNumber::NoSuchDevice, path + " is not a serial device");
        case EACCES:
        case EPERM:
            return port_error(ErrorNumber::PermissionDenied,
                              path + " (is the user in the dialout group?)");
        case EBUSY:
        case EWOULDBLOCK:  // the lock of another program
            return port_error(ErrorNumber::PortBusy, path + " is in use by another program");
        default:
            return port_error(ErrorNumber::PortIo, path + ": " + std::strerror(err));
    }
}

speed_t speed_code(int baud) {
    const auto it = std::ranges::find(kSpeeds, baud, &Speed::baud);
    if (it == std::end(kSpeeds)) {
        throw port_error(ErrorNumber::InvalidPropertyValue,
                         "baud rate " + std::to_string(baud) + " is not supported");
    }
    return it->code;
}

void make_raw(termios& t, const LineSettings& line, speed_t speed, int handshaking) {
    cfmakeraw(&t);
    t.c_iflag &= ~(IXON | IXOFF | IXANY | IGNPAR);
    // A byte damaged on the line (parity or framing error, a break) is marked rather than handed
    // on as data or silently dropped, so a transaction can tell a damaged answer from none.
    t.c_iflag |= INPCK | PARMRK;
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    // CLOCAL: a modem line that never raises carrier must not block the open or hang up the port.
    t.c_cflag |= CLOCAL | CREAD | kDataBits[line.data_bits - 5];
    t.c_cflag |= std::ranges::find(kParities, line.parity, &Parity::letter)->flags;
    if (line.stop_bits == 2) t.c_cflag |= CSTOPB;
    // Handshaking is a bit set: 1 XON/XOFF, 2 RTS/CTS, 3 both.
    if (handshaking & 1) t.c_iflag |= IXON | IXOFF;
    if (handshaking & 2) t.c_cflag |= CRTSCTS;
    // Reads never block: waiting is done by poll() with the caller's deadline.
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
}

// USB serial adapters otherwise hold received bytes for up to 16 ms, a good part of a reply
// window. Ptys and ttyACM devices have no such setting and refuse it, which is fine.
void request_low_latency(int fd) {
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) != 0) return;
    info.flags |= ASYNC_LOW_LATENCY;
    ::ioctl(fd, TIOCSSERIAL, &info);
}

// poll() until an event or `deadline`, retrying on signals with the time left. The events seen,
// 0 on timeout, -1 on failure (errno set).
int poll_until(int fd, short events, SteadyTime deadline) {
    pollfd p{fd, events, 0};
    for (;;) {
        const auto left = std::max(deadline - std::chrono::steady_clock::now(),
                                   std::chrono::steady_clock::duration::zero());
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
        const timespec ts{
            seconds.count(),
            std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds).count()};
        const int rc = ::ppoll(&p, 1, &ts, nullptr);
        if (rc >= 0) return rc == 0 ? 0 : p.revents;
        if (errno != EINTR) return -1;
    }
}

// A pseudo-terminal forces 8 bits without parity; the C library then reports the settings as
// refused (from the second open of the same pty on) although the line took all the rest.
bool took_all_but_parity(int fd, const termios& wanted) {
    termios got{};
    if (::tcgetattr(fd, &got) != 0) return false;
    constexpr tcflag_t kForced = CSIZE | PARENB;
    return (got.c_cflag & ~kForced) == (wanted.c_cflag & ~kForced) &&
           got.c_iflag == wanted.c_iflag && cfgetispeed(&got) == cfgetispeed(&wanted);
}

// Bytes in the receive buffer, -1 on failure (errno set).
int queued(int fd) {
    int count = 0;
    return ::ioctl(fd, FIONREAD, &count) == 0 ? count : -1;
}

// Whether the line has gone away, without waiting.
bool hung_up(int fd) {
    const int events = poll_until(fd, POLLIN, std::chrono::steady_clock::time_point{});
    return events > 0 && (events & (POLLHUP | POLLERR));
}

}  // namespace

TermiosPort::TermiosPort() = default;

TermiosPort::~TermiosPort() {
    if (fd_ >= 0) close_port();
}

void TermiosPort::bind(std::string path) {
    if (is_open()) throw Error(ErrorNumber::PortAlreadyOpen);
    bound_path_ = std::move(path);
}

void TermiosPort::unbind() {
    bind({});
}

std::string TermiosPort::device_path() const {
    if (!bound_path_.empty()) return bound_path_;
    auto& map = port_map();
    std::lock_guard lock(map.mutex);
    const auto it = map.paths.find(comm_port());
    return it != map.paths.end() ? it->second : default_device(comm_port());
}

void TermiosPort::map_port(std::int16_t number, std::string path) {
    auto& map = port_map();
    std::lock_guard lock(map.mutex);
    if (path.empty()) {
        map.paths.erase(number);
    } else {
        map.paths[number] = std::move(path);
    }
}

std::string TermiosPort::default_device(std::int16_t number) {
    return "/dev/ttyS" + std::to_string(number - 1);
}

void TermiosPort::open_port() {
    const std::string path = device_path();
    const LineSettings line = parse_line_settings(settings());
    const speed_t speed = speed_code(line.baud);

    // Non-blocking: the open must not wait for carrier, and reads and writes are paced by poll().
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw open_error(errno, path);
    const auto give_up = [&](int err) {
        ::close(fd);
        throw open_error(err, path);
    };
    // Two programs must never interleave frames on one line. TIOCEXCL keeps out other users but
    // not root; the lock keeps out every program that asks for it, root included.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) give_up(errno);
    if (::ioctl(fd, TIOCEXCL) != 0) give_up(errno);
    termios t{};
    if (::tcgetattr(fd, &t) != 0) give_up(errno);
    previous_settings_ = std::make_unique<termios>(t);
    make_raw(t, line, speed, handshaking());
    if (::tcsetattr(fd, TCSANOW, &t) != 0 && !(errno == EINVAL && took_all_but_parity(fd, t))) {
        give_up(errno);
    }
    request_low_latency(fd);
    // Whatever arrived before the open belongs to nobody.
    ::tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    open_path_ = path;
}

void TermiosPort::close_port() {
    // The exclusive flag belongs to the tty, not to this descriptor: while another holder keeps
    // the device open (the simulated unit keeps its pty open), it would lock out the next open.
    ::ioctl(fd_, TIOCNXCL);
    // A terminal opened by mistake (/dev/tty) is left as usable as it was.
    ::tcsetattr(fd_, TCSANOW, previous_settings_.get());
    ::close(fd_);
    fd_ = -1;
    open_path_.clear();
    received_.clear();
    cut_mark_.clear();
}

void TermiosPort::fail(int err, const char* what) {
    const std::string path = open_path_;
    if (err == EIO || err == ENXIO || err == ENODEV) {
        // Closed first, so PortOpen reads false and the host can open again once it is back.
        close_port();
        throw port_error(ErrorNumber::DeviceLost, path);
    }
    throw port_error(ErrorNumber::PortIo, path + ": " + what + ": " + std::strerror(err));
}

void TermiosPort::write_bytes(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) fail(errno, "write");
        const int events = poll_until(fd_, POLLOUT, std::chrono::steady_clock::now() + kWriteStall);
        if (events < 0) fail(errno, "poll");
        if (events & (POLLHUP | POLLERR)) fail(ENODEV, "hang-up");
        if (events == 0) {
            throw port_error(ErrorNumber::PortIo,
                             open_path_ + ": write stalled (flow control holding the line?)");
        }
    }
}

int TermiosPort::bytes_waiting() {
    take_input();
    return static_cast<int>(received_.size());
}

std::string TermiosPort::read_waiting() {
    take_input();
    return std::exchange(received_, {});
}

// The driver's count would include the marks, so the bytes are read and un-marked here first.
void TermiosPort::take_input() {
    std::string marked = std::exchange(cut_mark_, {});
    char buf[4096];
    int err = 0;
    for (;;) {
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n > 0) {
            marked.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        err = n < 0 ? errno : 0;
        break;
    }
    UnmarkedInput input = unmark_line_errors(marked);
    received_ += input.bytes;
    cut_mark_ = marked.substr(input.used);
    if (input.damaged > 0) note_line_error(input.damaged);
    // What came before an error is still handed over; the next call reports the error.
    if (!received_.empty()) return;
    // With VMIN = VTIME = 0 an empty buffer reads as 0 bytes, just as a hung-up line does.
    if (err == 0 || err == EAGAIN) {
        if (hung_up(fd_)) fail(ENODEV, "hang-up");
        return;
    }
    fail(err, "read");
}

bool TermiosPort::wait_readable(Clock::duration timeout) {
    if (!received_.empty()) return true;
    const int events = poll_until(fd_, POLLIN, std::chrono::steady_clock::now() + timeout);
    if (events < 0) fail(errno, "poll");
    if (events == 0) return false;
    if (events & POLLNVAL) fail(EBADF, "poll");
    if ((events & (POLLHUP | POLLERR)) && queued(fd_) <= 0) fail(ENODEV, "hang-up");
    return true;
}

}  // namespace quarn7
