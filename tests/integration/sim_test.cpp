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

// Set on a unit that answered well so far; a delayed answer misses the host's 0.1 s window.
TEST(SimFaults, ChangeTheAnswersFromWhenTheyAreSet) {
    const struct {
        Faults faults;
        std::vector<std::pair<std::string, std::string>> exchanges;
    } cases[] = {
        {{.silent = true}, {{kMeterAan, ""}}},
        {{.refuse = true}, {{kMeterAan, "15"}, {kReadCounter, "15"}}},
        {{.delay = 300ms}, {{kMeterAan, ""}}},
        {{.truncate_replies_to = 3}, {{kReadCounter, "06 02 04"}, {kMeterAan, "06"}}},
        {{.garbage_prefix = bytes("FF 00")}, {{kMeterAan, "FF 00 06"}}},
        {{.drop_first_frames = 2}, {{kMeterAan, ""}, {kMeterAan, ""}, {kMeterAan, "06"}}},
    };
    for (const auto& c : cases) {
        auto unit = SimulatedUnit::Builder().paced(false).build();
        LineEnd host(unit->device_path());
        EXPECT_EQ(ask(host, kReadCounter, 9), "06 02 04 00 00 00 00 00 0D");
        unit->set_faults(c.faults);
        for (const auto& [frame, answer] : c.exchanges) {
            // No answer within the host's window: a busy machine delivers late, never sooner.
            const std::size_t count = (answer.size() + 1) / 3;
            EXPECT_EQ(ask(host, frame, std::max<std::size_t>(count, 1), count ? 5s : 100ms), answer);
        }
        ASSERT_TRUE(unit->wait_for_frames(1 + c.exchanges.size(), 5000ms));
    }
}

TEST(SimFaults, HangUpAfterFramesOrAtOnce) {
    auto unit = SimulatedUnit::Builder().paced(false).faults({.close_after_frames = 2}).build();
    LineEnd host(unit->device_path());
    EXPECT_EQ(ask(host, kMeterAan, 1), "06");
    EXPECT_EQ(ask(host, kMeterAan, 1), "06");  // answered before the line goes
    EXPECT_TRUE(host.hung_up());
    auto other = SimulatedUnit::Builder().paced(false).build();
    LineEnd other_host(other->device_path());
    other->close_line();
    EXPECT_TRUE(other_host.hung_up());
    other->close_line();  // a second time changes nothing
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
