#include "support/pty.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

namespace quarn7::testing {

using Steady = std::chrono::steady_clock;

LineEnd::LineEnd(const std::string& path)
    : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
    termios tio{};
    if (fd_ < 0 || ::tcgetattr(fd_, &tio) != 0) return;
    ::cfmakeraw(&tio);
    ::tcsetattr(fd_, TCSANOW, &tio);
}

void LineEnd::send(std::string_view data) const {
    EXPECT_EQ(::write(fd_, data.data(), data.size()), static_cast<ssize_t>(data.size()));
}

std::string LineEnd::receive(std::size_t count, std::chrono::milliseconds limit) const {
    std::string got;
    const auto deadline = Steady::now() + limit;
    for (auto now = Steady::now(); got.size() < count && now < deadline; now = Steady::now()) {
        pollfd p{fd_, POLLIN, 0};
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char buffer[256];
        const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
        if (n <= 0) break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

bool LineEnd::hung_up() const {
    pollfd p{fd_, POLLIN, 0};
    ::poll(&p, 1, 5000);
    const char c = 0;
    return (p.revents & POLLHUP) && ::write(fd_, &c, 1) < 0;
}

void LineEnd::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

Pty::Pty() {
    int master = -1;
    char name[256];
    if (::openpty(&master, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty");
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    path_ = name;
    master_ = std::make_unique<LineEnd>(master);
}

Pty::~Pty() {
    ::close(slave_);
}

}  // namespace quarn7::testing
