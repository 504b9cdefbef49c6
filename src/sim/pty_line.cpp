#include "sim/pty_line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace quarn7::sim {

namespace {

using namespace std::chrono_literals;

[[noreturn]] void fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

void close_fd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

timespec to_timespec(std::chrono::steady_clock::duration d) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(d, {})).count();
    return {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

}  // namespace

PtyLine::PtyLine(Unit& unit, std::string link) : unit_(unit), link_(std::move(link)) {
    try {
        open_line();
    } catch (...) {
        close_fd(wake_fd_);
        close_fd(slave_);
        close_fd(master_);
        close_fd(link_lock_);
        throw;
    }
    unit_.set_waker([this] { wake(); });
    thread_ = std::thread([this] { run(); });
}

void PtyLine::open_line() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) fail("posix_openpt");
    std::array<char, 128> name{};
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name.data(), name.size()) != 0) {
        fail("pseudo-terminal");
    }
    const std::string pty_path = name.data();
    slave_ = ::open(pty_path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) fail(pty_path.c_str());
    // Raw: no echo of the answers, no CR/NL translation of frame bytes.
    termios tio{};
    if (tcgetattr(slave_, &tio) != 0) fail(pty_path.c_str());
    cfmakeraw(&tio);
    if (tcsetattr(slave_, TCSANOW, &tio) != 0) fail(pty_path.c_str());
    if (fcntl(master_, F_SETFL, O_NONBLOCK) != 0) fail("O_NONBLOCK");
    wake_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wake_fd_ < 0) fail("eventfd");
    device_path_ = pty_path_ = pty_path;
    if (link_.empty()) return;
    take_link();
    device_path_ = link_;
}

void PtyLine::take_link() {
    const std::string lock_path = link_ + ".lock";
    link_lock_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (link_lock_ < 0) fail(lock_path.c_str());
    if (::flock(link_lock_, LOCK_EX | LOCK_NB) != 0) {
        std::array<char, 24> owner{};
        const ssize_t n = ::pread(link_lock_, owner.data(), owner.size() - 1, 0);
        close_fd(link_lock_);
        throw std::runtime_error(
            "link " + link_ + " belongs to the simulated unit running as process " +
            std::string(owner.data(), static_cast<std::size_t>(std::max<ssize_t>(n, 0))));
    }
    const std::string pid = std::to_string(::getpid());
    if (::ftruncate(link_lock_, 0) != 0 || ::pwrite(link_lock_, pid.data(), pid.size(), 0) < 0) {
        fail(lock_path.c_str());
    }
    std::error_code ec;
    if (std::filesystem::is_symlink(link_, ec)) std::filesystem::remove(link_, ec);
    std::filesystem::create_symlink(pty_path_, link_, ec);
    if (ec) throw std::system_error(ec, "link " + link_);
}

PtyLine::~PtyLine() {
    stopping_ = true;
    wake();
    thread_.join();
    unit_.set_waker({});
    close_fd(master_);
    close_fd(slave_);
    close_fd(wake_fd_);
    if (link_lock_ >= 0) {
        std::error_code ec;
        // Only its own link: one put in its place since stays.
        if (std::filesystem::read_symlink(link_, ec) == pty_path_)
            std::filesystem::remove(link_, ec);
        ::unlink((link_ + ".lock").c_str());
        close_fd(link_lock_);
    }
}

void PtyLine::close_line() {
    unit_.request_hang_up();
    unit_.wait_until_line_closed();
}

void PtyLine::wake() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(wake_fd_, &one, sizeof one);
}

void PtyLine::drain_wake() const {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto n = ::read(wake_fd_, &count, sizeof count);
}

bool PtyLine::interrupted() const {
    return stopping_ || unit_.hang_up_due();
}

void PtyLine::hang_up() {
    // Closing both ends is what a host sees as the device going away.
    close_fd(master_);
    close_fd(slave_);
    line_open_ = false;
    unit_.line_closed();
}

void PtyLine::run() {
    FrameReader reader = unit_.frame_reader();
    for (;;) {
        if (interrupted()) {
            if (stopping_) return;
            if (line_open_) {
                hang_up();
                reader = unit_.frame_reader();
            }
        }
        std::array<pollfd, 2> fds{{{wake_fd_, POLLIN, 0}, {master_, POLLIN, 0}}};
        const nfds_t count = master_ >= 0 ? 2 : 1;
        const auto deadline = reader.idle_deadline();
        const timespec timeout = to_timespec(deadline ? *deadline - Clock::now() : 0ns);
        if (ppoll(fds.data(), count, deadline ? &timeout : nullptr, nullptr) < 0 &&
            errno != EINTR) {
            hang_up();
            return;
        }
        if (fds[0].revents & POLLIN) drain_wake();
        if (count == 2 && (fds[1].revents & POLLIN)) read_line(reader);
        while (!interrupted()) {
            const auto frame = reader.next(Clock::now());
            // Before the frame, so that its log entry follows the noise it came after.
            unit_.skipped(reader.take_noise());
            if (!frame) break;
            handle(*frame);
        }
    }
}

void PtyLine::read_line(FrameReader& reader) {
    std::array<char, 512> buffer{};
    for (;;) {
        const ssize_t n = ::read(master_, buffer.data(), buffer.size());
        if (n <= 0) return;
        reader.feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)), Clock::now());
    }
}

void PtyLine::handle(const ReceivedFrame& frame) {
    Unit::Answer answer = unit_.answer(frame, Clock::now());
    if (!answer.bytes.empty() && !send(answer)) answer.bytes.clear();
    const bool last_before_hang_up = unit_.finish(frame, answer.bytes);
    if (last_before_hang_up && !answer.bytes.empty()) let_host_read();
}

void PtyLine::let_host_read() {
    // A hang-up discards what the host has not read yet. The answer shows up in the host's input
    // queue a moment after it was written; wait until the host has taken it, but not for ever.
    const auto deadline = Clock::now() + 100ms;
    bool arrived = false;
    while (Clock::now() < deadline) {
        int waiting = 0;
        if (::ioctl(slave_, FIONREAD, &waiting) != 0) return;
        if (waiting > 0) {
            arrived = true;
        } else if (arrived) {
            return;
        }
        if (stopping_ || unit_.hang_up_requested()) return;
        pollfd fd{wake_fd_, POLLIN, 0};
        const timespec step = to_timespec(1ms);
        if (ppoll(&fd, 1, &step, nullptr) > 0) drain_wake();
    }
}

bool PtyLine::send(const Unit::Answer& answer) {
    // Each byte is written when it has crossed the line (all at once unpaced), against absolute
    // deadlines so that late wake-ups do not add up.
    const std::string& bytes = answer.bytes;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto due = unit_.arrival(answer.start, i);
        if (!wait_until(due)) return false;
        std::size_t n = 1;
        while (i + n < bytes.size() && unit_.arrival(answer.start, i + n) == due) ++n;
        [[maybe_unused]] const auto written = ::write(master_, bytes.data() + i, n);
        i += n;
    }
    return true;
}

bool PtyLine::wait_until(Clock::time_point deadline) {
    for (;;) {
        if (interrupted()) return false;
        const auto now = Clock::now();
        if (now >= deadline) return true;
        pollfd fd{wake_fd_, POLLIN, 0};
        const timespec timeout = to_timespec(deadline - now);
        if (ppoll(&fd, 1, &timeout, nullptr) > 0) drain_wake();
    }
}

}  // namespace quarn7::sim
