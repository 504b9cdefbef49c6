// Pseudo-terminals for tests that play one end of a serial line.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

namespace quarn7::testing {

// One end of a line, raw and non-blocking: the slave opened by path as a host opens it, or a
// pty's master.
class LineEnd {
public:
    explicit LineEnd(const std::string& path);  // opens the tty at `path` raw
    explicit LineEnd(int fd) : fd_(fd) {}
    ~LineEnd() { close(); }
    LineEnd(const LineEnd&) = delete;
    LineEnd& operator=(const LineEnd&) = delete;

    bool is_open() const { return fd_ >= 0; }
    void send(std::string_view bytes) const;  // hex is the caller's: send(bytes("02 ..."))
    // What arrives until `count` bytes came or `limit` passed (only a hang reaches the default).
    std::string receive(std::size_t count,
                        std::chrono::milliseconds limit = std::chrono::seconds(5)) const;
    // The far end went away: POLLHUP, and writes fail.
    bool hung_up() const;
    void close();

private:
    int fd_ = -1;
};

// A pty whose master the test plays while the product opens the slave by its path.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& path() const { return path_; }
    int slave() const { return slave_; }
    LineEnd& master() { return *master_; }

private:
    int slave_ = -1;
    std::string path_;
    std::unique_ptr<LineEnd> master_;
};

}  // namespace quarn7::testing
