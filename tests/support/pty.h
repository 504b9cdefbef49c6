// Pseudo-terminals for tests that play one end of a serial line.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>

namespace quarn7::testing {

// One end of a line, raw and non-blocking: the slave opened by path as a host opens it, or a
// pty's master.
class LineEnd {
public:
    explicit LineEnd(int fd) : fd_(fd) {}
    explicit LineEnd(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        termios tio{};
        if (fd_ < 0 || ::tcgetattr(fd_, &tio) != 0) return;
        ::cfmakeraw(&tio);
        ::tcsetattr(fd_, TCSANOW, &tio);
    }
    ~LineEnd() { close(); }
    LineEnd(const LineEnd&) = delete;
    LineEnd& operator=(const LineEnd&) = delete;

    bool is_open() const { return fd_ >= 0; }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    void send(std::string_view data) const {
        EXPECT_EQ(::write(fd_, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    }
    // What arrives until `count` bytes came or `limit` passed (only a hang reaches the default).
    std::string receive(std::size_t count,
                        std::chrono::milliseconds limit = std::chrono::seconds(5)) const {
        using namespace std::chrono;
        std::string got;
        const auto deadline = steady_clock::now() + limit;
        while (got.size() < count) {
            const auto left = ceil<milliseconds>(deadline - steady_clock::now());
            pollfd p{fd_, POLLIN, 0};
            char buffer[256];
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0) break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }
    // The far end went away: POLLHUP, and writes fail.
    bool hung_up() const {
        pollfd p{fd_, POLLIN, 0};
        ::poll(&p, 1, 5000);
        const char c = 0;
        return (p.revents & POLLHUP) && ::write(fd_, &c, 1) < 0;
    }

private:
    int fd_ = -1;
};

// A pty whose master the test plays while the product opens the slave by its path.
class Pty {
public:
    Pty() {
        int master = -1;
        char name[256];
        if (::openpty(&master, &slave_, name, nullptr, nullptr) != 0) {
            throw std::runtime_error("openpty");
        }
        ::fcntl(master, F_SETFL, O_NONBLOCK);
        path_ = name;
        master_ = std::make_unique<LineEnd>(master);
    }
    ~Pty() { ::close(slave_); }  // the master goes with its LineEnd

    const std::string& path() const { return path_; }
    int slave() const { return slave_; }
    LineEnd& master() { return *master_; }

private:
    int slave_ = -1;
    std::string path_;
    std::unique_ptr<LineEnd> master_;
};

}  // namespace quarn7::testing
