// The simulated unit over a real pseudo-terminal, driven the way a host drives a serial line.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <thread>

#include "protocol/frame.h"
#include "quarn7/simulated_unit.h"
#include "support/scripted_port.h"

namespace quarn7::sim {
namespace {

using namespace std::chrono_literals;
using quarn7::testing::bytes;
using quarn7::testing::hex;
using Clock = std::chrono::steady_clock;

constexpr auto kPatience = 3s;  // only a hang reaches it
const std::string kMeterAan = "02 01 00 00 26 00 0D";
const std::string kReadCounter = "02 00 00 01 2B 0D";

// The host end of the line: the pty slave, raw, as a serial port would be set.
class Host {
public:
    explicit Host(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        termios tio{};
        if (fd_ < 0 || tcgetattr(fd_, &tio) != 0) return;
        cfmakeraw(&tio);
        tcsetattr(fd_, TCSANOW, &tio);
    }
    ~Host() {
        if (fd_ >= 0) ::close(fd_);
    }

    bool is_open() const { return fd_ >= 0; }

    Clock::time_point send(const std::string& hex_frame) {
        const std::string frame = bytes(hex_frame);
        const auto at = Clock::now();
        EXPECT_EQ(::write(fd_, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
        return at;
    }
    // Up to `count` bytes, as hex, arriving within `limit`.
    std::string receive(std::size_t count, Clock::duration limit = kPatience) {
        std::string got;
        const auto deadline = Clock::now() + limit;
        pollfd p{fd_, POLLIN, 0};
        while (got.size() < count && Clock::now() < deadline &&
               ::poll(&p, 1, static_cast<int>((deadline - Clock::now()) / 1ms) + 1) > 0) {
            char c;
            if (::read(fd_, &c, 1) != 1) break;
            got += c;
        }
        return hex(got);
    }
    std::string ask(const std::string& hex_frame, std::size_t answer_bytes) {
        send(hex_frame);
        return receive(answer_bytes);
    }
    // What a host sees once the line is gone: POLLHUP, no more data, writes failing with EIO.
    void expect_hung_up() const {
        pollfd p{fd_, POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(kPatience / 1ms));
        EXPECT_TRUE(p.revents & POLLHUP);
        char c = wire::STX;
        EXPECT_LE(::read(fd_, &c, 1), 0);
        EXPECT_EQ(::write(fd_, &c, 1), -1);
        EXPECT_EQ(errno, EIO);
    }

private:
    int fd_;
};

std::unique_ptr<SimulatedUnit> unpaced_unit() {
    return SimulatedUnit::Builder().paced(false).build();
}

TEST(SimOverPty, AnswersLogsAndSkipsNoise) {
    auto unit = unpaced_unit();
    Host host(unit->device_path());
    ASSERT_TRUE(host.is_open());
    EXPECT_EQ(host.ask("FF 00 02 04 00 02 23 7B 00 00 00 0D", 1), "06");
    EXPECT_EQ(host.ask(kReadCounter, 9), "06 02 04 00 7B 00 00 00 0D");
    ASSERT_TRUE(unit->wait_for_frames(2, kPatience));
    const auto log = unit->frames();
    EXPECT_EQ(hex(unit->noise()), "FF 00");
    EXPECT_EQ(hex(log[0].bytes) + " > " + hex(log[0].answer), "02 04 00 02 23 7B 00 00 00 0D > 06");
    EXPECT_EQ(hex(log[1].answer), "06 02 04 00 7B 00 00 00 0D");
    unit->clear_frames();
    EXPECT_FALSE(unit->wait_for_frames(1, 20ms));
    // A host that closes and opens the line again is answered as before.
    EXPECT_EQ(Host(unit->device_path()).ask(kMeterAan, 1), "06");
}

// No answer before the frame and the answer have crossed at 19200 baud, plus the turnaround.
TEST(SimOverPty, PacedAtTheLineSpeed) {
    auto unit = SimulatedUnit::Builder().turnaround(2ms).build();
    Host host(unit->device_path());
    for (const auto& [frame, answer_bytes] :
         {std::pair{kMeterAan, std::size_t{1}}, std::pair{kReadCounter, std::size_t{9}}}) {
        const auto sent = host.send(frame);
        EXPECT_EQ(host.receive(answer_bytes).size(), 3 * answer_bytes - 1);
        const auto took = Clock::now() - sent;
        EXPECT_GE(took, line_time(bytes(frame).size() + answer_bytes) + 2ms);
        EXPECT_LT(took, 1s);
    }
}

// Set on a unit that answered well so far: each exchange's answer within 120 ms ("" for none).
TEST(SimFaults, ChangeTheAnswersFromWhenTheyAreSet) {
    const struct {
        Faults faults;
        std::vector<std::pair<std::string, std::string>> exchanges;
    } cases[] = {
        {{.silent = true}, {{kMeterAan, ""}}},
        {{.refuse = true}, {{kMeterAan, "15"}, {kReadCounter, "15"}}},
        {{.truncate_replies_to = 3}, {{kReadCounter, "06 02 04"}, {kMeterAan, "06"}}},
        {{.garbage_prefix = bytes("FF 00")}, {{kMeterAan, "FF 00 06"}}},
        {{.drop_first_frames = 2}, {{kMeterAan, ""}, {kMeterAan, ""}, {kMeterAan, "06"}}},
    };
    for (const auto& c : cases) {
        auto unit = unpaced_unit();
        Host host(unit->device_path());
        EXPECT_EQ(host.ask(kReadCounter, 9), "06 02 04 00 00 00 00 00 0D");
        unit->set_faults(c.faults);
        for (const auto& [frame, answer] : c.exchanges) {
            host.send(frame);
            EXPECT_EQ(host.receive(100, 120ms), answer) << frame;
        }
        ASSERT_TRUE(unit->wait_for_frames(1 + c.exchanges.size(), kPatience));
        EXPECT_EQ(hex(unit->frames().back().answer), c.exchanges.back().second);
    }
}

// Late: nothing within the host's 0.1 s window, the answer in the next one.
TEST(SimFaults, Delay) {
    auto unit = SimulatedUnit::Builder().paced(false).faults({.delay = 150ms}).build();
    Host host(unit->device_path());
    const auto sent = host.send(kMeterAan);
    EXPECT_EQ(host.receive(1, 100ms), "");
    EXPECT_EQ(host.receive(1), "06");
    EXPECT_GE(Clock::now() - sent, 150ms);
}

TEST(SimFaults, HangUpAfterFramesOrAtOnce) {
    auto unit = SimulatedUnit::Builder().paced(false).faults({.close_after_frames = 2}).build();
    Host host(unit->device_path());
    EXPECT_EQ(host.ask(kMeterAan, 1), "06");
    EXPECT_EQ(host.ask(kMeterAan, 1), "06");  // answered before the line goes
    host.expect_hung_up();

    auto other = unpaced_unit();
    Host other_host(other->device_path());
    other->close_line();
    other_host.expect_hung_up();
    other->close_line();  // a second time changes nothing
}

TEST(SimLifetime, LinkPointsAtTheLineAndGoesWithTheUnit) {
    const auto link =
        std::filesystem::temp_directory_path() / ("quarn7-sim-test-" + std::to_string(::getpid()));
    {
        auto unit = SimulatedUnit::Builder().paced(false).link(link).build();
        EXPECT_EQ(unit->device_path(), link.string());
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        EXPECT_EQ(Host(link).ask(kMeterAan, 1), "06");
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(SimLifetime, DestroyedMidAnswerWithoutHangOrLeak) {
    const auto descriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    };
    const auto before = descriptors();
    const auto start = Clock::now();
    std::string path;
    {
        auto unit = SimulatedUnit::Builder().paced(false).faults({.delay = 30s}).build();
        path = unit->device_path();
        Host host(path);
        host.send(kMeterAan);
        ASSERT_TRUE(host.is_open());
        std::this_thread::sleep_for(20ms);  // the unit now waits to answer
    }
    EXPECT_LT(Clock::now() - start, 5s);
    EXPECT_EQ(descriptors(), before);
    EXPECT_FALSE(Host(path).is_open());
}

// quarn7-sim: device path first, a line per frame, the state on SIGUSR1 and on the way out.
TEST(SimProgram, PathLogStateAndCleanExit) {
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::execl(QUARN7_SIM_PATH, QUARN7_SIM_PATH, "--unpaced", "--log", "--print-state",
                "--garbage", "AA", nullptr);
        ::_exit(127);
    }
    ::close(out[1]);
    std::string output;
    const auto read_until = [&](const std::string& marker) {
        const auto deadline = Clock::now() + kPatience;
        pollfd p{out[0], POLLIN, 0};
        char buffer[512];
        while (output.find(marker) == std::string::npos && Clock::now() < deadline &&
               ::poll(&p, 1, 100) >= 0) {
            const ssize_t n = (p.revents & (POLLIN | POLLHUP)) ? ::read(out[0], buffer, 512) : 0;
            if (n < 0 || (n == 0 && (p.revents & POLLHUP))) break;
            output.append(buffer, static_cast<std::size_t>(n));
        }
        return output.find(marker) != std::string::npos;
    };
    ASSERT_TRUE(read_until("\n"));
    const std::string path = output.substr(0, output.find('\n'));
    EXPECT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    {
        Host host(path);
        EXPECT_EQ(host.ask(kMeterAan, 2), "AA 06");
        EXPECT_TRUE(read_until(kMeterAan + "  -> AA 06\n")) << output;
    }
    ::kill(pid, SIGUSR1);
    EXPECT_TRUE(read_until("elements on: meterteller_aan overlay_aan")) << output;
    output.clear();
    ::kill(pid, SIGTERM);
    EXPECT_TRUE(read_until("elements on: meterteller_aan")) << output;
    int status = -1;
    ::waitpid(pid, &status, 0);
    ::close(out[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace quarn7::sim
