// The simulated unit over a real pseudo-terminal, driven the way a host drives a serial line.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <thread>

#include "sim/simulated_unit.h"
#include "support/pty.h"
#include "support/scripted_port.h"

namespace quarn7::sim {
namespace {

using namespace quarn7::testing;
using Clock = std::chrono::steady_clock;

const std::string kMeterAan = "02 01 00 00 26 00 0D";
const std::string kReadCounter = "02 00 00 01 2B 0D";

std::string ask(const LineEnd& host, const std::string& frame, std::size_t answer_bytes,
                std::chrono::milliseconds limit = 5s) {
    host.send(bytes(frame));
    return hex(host.receive(answer_bytes, limit));
}

TEST(SimOverPty, AnswersLogsSkipsNoiseAndServesTheNextHost) {
    auto unit = SimulatedUnit::Builder().paced(false).build();
    LineEnd host(unit->device_path());
    ASSERT_TRUE(host.is_open());
    EXPECT_EQ(ask(host, "FF 00 02 04 00 02 23 7B 00 00 00 0D", 1), "06");
    EXPECT_EQ(ask(host, kReadCounter, 9), "06 02 04 00 7B 00 00 00 0D");
    ASSERT_TRUE(unit->wait_for_frames(2, 5000ms));
    const auto log = unit->frames();
    EXPECT_EQ(hex(unit->noise()), "FF 00");
    EXPECT_EQ(hex(log[0].bytes) + " > " + hex(log[0].answer), "02 04 00 02 23 7B 00 00 00 0D > 06");
    EXPECT_EQ(hex(log[1].answer), "06 02 04 00 7B 00 00 00 0D");
    host.close();
    EXPECT_EQ(ask(LineEnd(unit->device_path()), kMeterAan, 1), "06");
}

// No answer before the frame and the answer have crossed at 19200 baud, plus the turnaround.
TEST(SimOverPty, PacedAtTheLineSpeed) {
    auto unit = SimulatedUnit::Builder().turnaround(2ms).build();
    LineEnd host(unit->device_path());
    const auto sent = Clock::now();
    EXPECT_EQ(ask(host, kReadCounter, 9).size(), 3 * 9 - 1u);
    EXPECT_GE(Clock::now() - sent, line_time(6 + 9) + 2ms);
}

// A fault set on a unit that answered well so far changes the answers from then on; closing the
// line hangs up on the host (what each fault does to the controller is the fault tests' part).
TEST(SimFaults, SetWhileRunningAndHangUp) {
    auto unit = SimulatedUnit::Builder().paced(false).build();
    LineEnd host(unit->device_path());
    EXPECT_EQ(ask(host, kReadCounter, 9), "06 02 04 00 00 00 00 00 0D");
    unit->set_faults({.garbage_prefix = bytes("FF 00"), .drop_first_frames = 1});
    EXPECT_EQ(ask(host, kMeterAan, 1, 100ms), "");
    EXPECT_EQ(ask(host, kMeterAan, 3), "FF 00 06");
    unit->close_line();
    EXPECT_TRUE(host.hung_up());
    unit->close_line();  // a second time changes nothing
}

TEST(SimLifetime, LinkGoesWithTheUnitAndDestructionMidAnswerNeitherHangsNorLeaks) {
    const auto link = std::filesystem::temp_directory_path() /
                      ("quarn7-sim-test-" + std::to_string(::getpid()));
    const auto descriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    };
    const auto before = descriptors();
    const auto start = Clock::now();
    {
        auto unit = SimulatedUnit::Builder().paced(false).link(link).faults({.delay = 30s}).build();
        EXPECT_EQ(unit->device_path(), link.string());
        LineEnd host(link);
        host.send(bytes(kMeterAan));
        std::this_thread::sleep_for(20ms);  // the unit now waits to answer
    }
    EXPECT_LT(Clock::now() - start, 10s);
    EXPECT_EQ(descriptors(), before);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
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
    LineEnd output(out[0]);
    std::string seen;
    const auto read_until = [&](const std::string& marker) {
        for (std::string more = "x"; seen.find(marker) == std::string::npos && !more.empty();) {
            more = output.receive(1, 5000ms);
            seen += more;
        }
        return seen.find(marker) != std::string::npos;
    };
    ASSERT_TRUE(read_until("\n"));
    const std::string path = seen.substr(0, seen.find('\n'));
    EXPECT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    EXPECT_EQ(ask(LineEnd(path), kMeterAan, 2), "AA 06");
    EXPECT_TRUE(read_until(kMeterAan + "  -> AA 06\n")) << seen;
    ::kill(pid, SIGUSR1);
    EXPECT_TRUE(read_until("elements on: meterteller_aan overlay_aan")) << seen;
    seen.clear();
    ::kill(pid, SIGTERM);
    EXPECT_TRUE(read_until("elements on: meterteller_aan")) << seen;
    int status = -1;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace quarn7::sim
