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
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "link/wire.h"
#include "sim/simulated_unit.h"
#include "support/scripted_port.h"

namespace quarn7::sim {
namespace {

using namespace std::chrono_literals;
using quarn7::testing::bytes;
using quarn7::testing::hex;
using Clock = std::chrono::steady_clock;

// Far beyond anything the unit needs on a quiet machine; only a hang reaches it.
constexpr auto kPatience = 3s;

const std::string kMeterAan = "02 01 00 00 26 00 0D";
const std::string kReadCounter = "02 00 00 01 2B 0D";

// The host end of the line: the pty slave, raw, as a serial port would be set.
class Host {
public:
    explicit Host(const std::string& path)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        if (fd_ < 0) return;
        termios tio{};
        tcgetattr(fd_, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd_, TCSANOW, &tio);
    }
    ~Host() {
        if (fd_ >= 0) ::close(fd_);
    }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    bool is_open() const { return fd_ >= 0; }

    Clock::time_point send(const std::string& hex_frame) {
        const std::string frame = bytes(hex_frame);
        const auto at = Clock::now();
        EXPECT_EQ(::write(fd_, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
        return at;
    }

    // Reads until `count` bytes came or `limit` passed.
    std::string receive(std::size_t count, Clock::duration limit = kPatience) {
        std::string got;
        const auto deadline = Clock::now() + limit;
        while (got.size() < count) {
            const auto left = deadline - Clock::now();
            if (left <= 0s) break;
            pollfd p{fd_, POLLIN, 0};
            const int ms =
                static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
            if (::poll(&p, 1, ms) <= 0 || !(p.revents & POLLIN)) break;
            char buffer[256];
            const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0) break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

    // What arrives within `window` (nothing, for a unit that stays silent).
    std::string within(Clock::duration window) { return receive(1000, window); }

    std::string ask(const std::string& hex_frame, std::size_t answer_bytes) {
        send(hex_frame);
        return hex(receive(answer_bytes));
    }

    struct HangUpSigns {
        bool pollhup = false;
        ssize_t read_result = 0;
        int write_errno = 0;
    };
    // What a host sees once the line is gone: POLLHUP, no more data, writes failing.
    HangUpSigns hang_up_signs() {
        pollfd p{fd_, POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(std::chrono::milliseconds(kPatience).count()));
        HangUpSigns signs;
        signs.pollhup = (p.revents & POLLHUP) != 0;
        char c = wire::STX;
        signs.read_result = ::read(fd_, &c, 1);
        if (::write(fd_, &c, 1) < 0) signs.write_errno = errno;
        return signs;
    }

private:
    int fd_;
};

std::unique_ptr<SimulatedUnit> unpaced_unit(Faults faults = {}) {
    return SimulatedUnit::Builder().paced(false).faults(std::move(faults)).build();
}

std::size_t open_descriptors() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

const std::string kAck = hex(std::string(1, wire::ACK));
const std::string kNak = hex(std::string(1, wire::NAK));

// ---------------------------------------------------------------------------------------------

TEST(SimOverPty, AnswersAndLogsEveryKind) {
    auto unit = unpaced_unit();
    Host host(unit->device_path());
    ASSERT_TRUE(host.is_open());

    EXPECT_EQ(host.ask(kMeterAan, 1), kAck);
    EXPECT_EQ(host.ask("02 01 00 00 00 00 0D", 1), kNak);
    EXPECT_EQ(host.ask("02 04 00 02 23 7B 00 00 00 0D", 1), kAck);  // distance counter 1: 12.3
    EXPECT_EQ(host.ask(kReadCounter, 9), "06 02 04 00 7B 00 00 00 0D");
    EXPECT_EQ(host.ask("02 01 00 02 91 2D 31 0D", 1), kAck);  // colour "-1", length word 1

    ASSERT_TRUE(unit->wait_for_frames(5, kPatience));
    const auto log = unit->frames();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(hex(log[0].bytes), kMeterAan);
    EXPECT_EQ(hex(log[0].answer), kAck);
    EXPECT_EQ(hex(log[1].answer), kNak);
    EXPECT_EQ(hex(log[3].answer), "06 02 04 00 7B 00 00 00 0D");
    EXPECT_EQ(hex(log[4].bytes), "02 01 00 02 91 2D 31 0D");
    EXPECT_LE(log[0].received, log[1].received);

    const UnitState state = unit->state();
    EXPECT_EQ(state.counter1, 123);
    EXPECT_EQ(state.colour, "-1");
    EXPECT_TRUE(state.switches.at(38));

    unit->clear_frames();
    EXPECT_TRUE(unit->frames().empty());
    EXPECT_FALSE(unit->wait_for_frames(1, 50ms));
}

TEST(SimOverPty, NoiseBeforeAFrameIsSkipped) {
    auto unit = unpaced_unit();
    Host host(unit->device_path());
    EXPECT_EQ(host.ask("FF 00 " + kMeterAan, 1), kAck);
    ASSERT_TRUE(unit->wait_for_frames(1, kPatience));
    EXPECT_EQ(hex(unit->noise()), "FF 00");
    EXPECT_EQ(hex(unit->frames().at(0).bytes), kMeterAan);
}

TEST(SimOverPty, TiltAndItemDataFromTheTest) {
    auto unit = unpaced_unit();
    Host host(unit->device_path());
    unit->set_tilt(300, 65535);
    EXPECT_EQ(host.ask("02 00 00 01 2D 0D", 7), "06 02 02 00 2C 01 0D");
    EXPECT_EQ(host.ask("02 00 00 01 2E 0D", 7), "06 02 02 00 FF FF 0D");
    unit->set_item_data(42, "AB");
    EXPECT_EQ(host.ask("02 00 00 01 2A 0D", 7), "06 02 02 00 41 42 0D");
}

// The answer comes no sooner than the frame and the answer take at 19200 baud plus the turnaround.
TEST(SimOverPty, PacedAtTheLineSpeed) {
    auto unit = SimulatedUnit::Builder().turnaround(2ms).build();
    Host host(unit->device_path());

    auto sent = host.send(kMeterAan);
    EXPECT_EQ(hex(host.receive(1)), kAck);
    auto took = Clock::now() - sent;
    EXPECT_GE(took, line_time(7 + 1) + 2ms);
    EXPECT_LT(took, 1s);

    sent = host.send(kReadCounter);
    EXPECT_EQ(host.receive(9).size(), 9u);
    took = Clock::now() - sent;
    EXPECT_GE(took, line_time(6 + 9) + 2ms);
    EXPECT_LT(took, 1s);

    ASSERT_TRUE(unit->wait_for_frames(2, kPatience));
    // Logged when the last byte would have arrived, not when it was read.
    EXPECT_GE(unit->frames()[0].received - sent, -1s);
}

TEST(SimOverPty, AnswersTheHostAfterItReopensTheLine) {
    auto unit = unpaced_unit();
    {
        Host host(unit->device_path());
        EXPECT_EQ(host.ask(kMeterAan, 1), kAck);
    }
    Host again(unit->device_path());
    ASSERT_TRUE(again.is_open());
    EXPECT_EQ(again.ask(kMeterAan, 1), kAck);
}

// ---------------------------------------------------------------------------------------------
// Faults

TEST(SimFaults, Silent) {
    auto unit = unpaced_unit({.silent = true});
    Host host(unit->device_path());
    host.send(kMeterAan);
    EXPECT_EQ(host.within(150ms), "");
    ASSERT_TRUE(unit->wait_for_frames(1, kPatience));
    EXPECT_EQ(unit->frames()[0].answer, "");
    EXPECT_FALSE(unit->state().switches.contains(38));

    unit->set_faults({});
    EXPECT_EQ(host.ask(kMeterAan, 1), kAck);
}

TEST(SimFaults, RefuseNaksEveryKind) {
    auto unit = unpaced_unit({.refuse = true});
    Host host(unit->device_path());
    EXPECT_EQ(host.ask(kMeterAan, 1), kNak);
    EXPECT_EQ(host.ask(kReadCounter, 1), kNak);
    EXPECT_EQ(host.within(50ms), "");
    EXPECT_FALSE(unit->state().switches.contains(38));
}

// Late: nothing within the host's 0.1 s window, the answer in the next one.
TEST(SimFaults, DelayPastTheReplyWindow) {
    auto unit = unpaced_unit({.delay = 150ms});
    Host host(unit->device_path());
    const auto sent = host.send(kMeterAan);
    EXPECT_EQ(host.within(100ms), "");
    EXPECT_EQ(hex(host.receive(1)), kAck);
    EXPECT_GE(Clock::now() - sent, 150ms);
}

TEST(SimFaults, TruncateCutsReadRepliesOnly) {
    auto unit = unpaced_unit({.truncate_replies_to = 3});
    Host host(unit->device_path());
    EXPECT_EQ(host.ask(kReadCounter, 3), "06 02 04");
    EXPECT_EQ(host.within(50ms), "");
    EXPECT_EQ(host.ask(kMeterAan, 1), kAck);
}

TEST(SimFaults, GarbageBeforeEveryAnswer) {
    auto unit = unpaced_unit({.garbage_prefix = bytes("FF 00")});
    Host host(unit->device_path());
    EXPECT_EQ(host.ask(kMeterAan, 3), "FF 00 06");
    EXPECT_EQ(host.ask("02 00 00 01 21 0D", 8), "FF 00 06 02 01 00 14 0D");
    ASSERT_TRUE(unit->wait_for_frames(2, kPatience));
    EXPECT_EQ(hex(unit->frames()[0].answer), "FF 00 06");
}

TEST(SimFaults, DropCountsFromWhenItIsSet) {
    auto unit = unpaced_unit();
    Host host(unit->device_path());
    EXPECT_EQ(host.ask(kMeterAan, 1), kAck);
    unit->set_faults({.drop_first_frames = 2});
    for (int i = 0; i < 2; ++i) {
        host.send(kMeterAan);
        EXPECT_EQ(host.within(120ms), "") << i;
    }
    EXPECT_EQ(unit->faults().drop_first_frames, 0);
    EXPECT_EQ(host.ask(kMeterAan, 1), kAck);
    ASSERT_TRUE(unit->wait_for_frames(4, kPatience));
    EXPECT_EQ(unit->frames()[1].answer, "");
}

TEST(SimFaults, CloseAfterFramesHangsUp) {
    auto unit = unpaced_unit({.close_after_frames = 2});
    Host host(unit->device_path());
    EXPECT_EQ(host.ask(kMeterAan, 1), kAck);
    EXPECT_EQ(host.ask(kMeterAan, 1), kAck);
    const auto signs = host.hang_up_signs();
    EXPECT_TRUE(signs.pollhup);
    EXPECT_LE(signs.read_result, 0);  // end of file or EIO
    EXPECT_EQ(signs.write_errno, EIO);
}

TEST(SimFaults, CloseLineHangsUpAtOnce) {
    auto unit = unpaced_unit();
    Host host(unit->device_path());
    EXPECT_EQ(host.ask(kMeterAan, 1), kAck);
    unit->close_line();
    const auto signs = host.hang_up_signs();
    EXPECT_TRUE(signs.pollhup);
    EXPECT_LE(signs.read_result, 0);  // end of file or EIO
    EXPECT_EQ(signs.write_errno, EIO);
    unit->close_line();  // a second hang-up changes nothing
}

// ---------------------------------------------------------------------------------------------
// Lifetime

TEST(SimLifetime, LinkPointsAtTheLineAndGoesWithTheUnit) {
    const std::string link =
        (std::filesystem::temp_directory_path() / ("quarn7-sim-test-" + std::to_string(getpid())))
            .string();
    {
        auto unit = SimulatedUnit::Builder().paced(false).link(link).build();
        EXPECT_EQ(unit->device_path(), link);
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        Host host(link);
        ASSERT_TRUE(host.is_open());
        EXPECT_EQ(host.ask(kMeterAan, 1), kAck);
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(SimLifetime, DestroyedMidAnswerWithoutHangOrLeak) {
    const std::size_t before = open_descriptors();
    std::string path;
    const auto start = Clock::now();
    {
        auto unit = unpaced_unit({.delay = 30s});
        path = unit->device_path();
        Host host(path);
        host.send(kMeterAan);
        std::this_thread::sleep_for(20ms);  // the unit is now waiting to answer
    }
    EXPECT_LT(Clock::now() - start, 5s);
    EXPECT_EQ(open_descriptors(), before);
    EXPECT_FALSE(Host(path).is_open());
}

// ---------------------------------------------------------------------------------------------
// The program

class SimProgram {
public:
    explicit SimProgram(std::vector<std::string> args) {
        int out[2];
        if (::pipe(out) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            std::vector<char*> argv{const_cast<char*>(QUARN7_SIM_PATH)};
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(QUARN7_SIM_PATH, argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        out_ = out[0];
    }
    ~SimProgram() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
    }

    // Output up to and including the line holding `marker` (or all by the deadline).
    std::string read_until(const std::string& marker) {
        const auto deadline = Clock::now() + kPatience;
        while (seen_.find(marker) == std::string::npos && Clock::now() < deadline) {
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            char buffer[512];
            const ssize_t n = ::read(out_, buffer, sizeof buffer);
            if (n <= 0) break;
            seen_.append(buffer, static_cast<std::size_t>(n));
        }
        const auto at = seen_.find(marker);
        if (at == std::string::npos) return std::exchange(seen_, {});
        const auto end = seen_.find('\n', at);
        const auto cut = end == std::string::npos ? seen_.size() : end + 1;
        std::string head = seen_.substr(0, cut);
        seen_.erase(0, cut);
        return head;
    }

    void signal(int sig) const { ::kill(pid_, sig); }
    int wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool exited_ = false;
    std::string seen_;
};

TEST(SimProgram, PathFirstThenLogStateAndCleanExit) {
    if (!std::filesystem::exists(QUARN7_SIM_PATH)) GTEST_SKIP() << "quarn7-sim not built";
    SimProgram program({"--unpaced", "--log", "--print-state"});
    std::string path = program.read_until("\n");
    ASSERT_FALSE(path.empty());
    path.pop_back();
    EXPECT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    {
        Host host(path);
        ASSERT_TRUE(host.is_open());
        EXPECT_EQ(host.ask(kMeterAan, 1), kAck);
        EXPECT_THAT(program.read_until(kMeterAan), ::testing::HasSubstr(kMeterAan + "  -> 06"));
        EXPECT_EQ(host.ask("02 04 00 02 23 7B 00 00 00 0D", 1), kAck);
    }
    program.signal(SIGUSR1);
    EXPECT_THAT(program.read_until("system text field"),
                ::testing::HasSubstr("distance counter 1: 123 tenths"));
    program.signal(SIGTERM);
    EXPECT_EQ(program.wait(), 0);
    // --print-state: the state once more on the way out.
    EXPECT_THAT(program.read_until("(end of output)"),
                ::testing::HasSubstr("elements on: meterteller_aan"));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(SimProgram, FaultOptionsReachTheUnit) {
    if (!std::filesystem::exists(QUARN7_SIM_PATH)) GTEST_SKIP() << "quarn7-sim not built";
    SimProgram program({"--unpaced", "--refuse", "--garbage", "AA55"});
    std::string path = program.read_until("\n");
    ASSERT_FALSE(path.empty());
    path.pop_back();
    Host host(path);
    EXPECT_EQ(host.ask(kMeterAan, 3), "AA 55 15");
    program.signal(SIGINT);
    EXPECT_EQ(program.wait(), 0);
}

}  // namespace
}  // namespace quarn7::sim
