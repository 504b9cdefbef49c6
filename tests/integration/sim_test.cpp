// The simulated unit over a real pseudo-terminal, driven the way a host drives a serial line.
#include <gmock/gmock.h>
#include <signal.h>

#include <filesystem>
#include <thread>

#include "quarn7/simulated_unit.h"
#include "support/pty.h"
#include "support/scripted_port.h"

namespace quarn7::sim {
namespace {

using namespace quarn7::testing;
using ::testing::EndsWith, ::testing::ThrowsMessage;
const std::string kMeterAan = "02 01 00 00 26 00 0D", kReadCounter = "02 00 00 01 2B 0D";

std::string ask(const LineEnd& host, const std::string& frame, std::size_t answer_bytes,
                std::chrono::milliseconds limit = 5s) {
    host.send(bytes(frame));
    return hex(host.receive(answer_bytes, limit));
}

// Answers at line speed, logs frames, skips noise, serves the next host; takes faults while it
// runs (what they do to the controller is the fault tests' part) and hangs up on the host.
TEST(SimOverPty, AnswersAtLineSpeedLogsSkipsNoiseServesTheNextHostTakesFaultsAndHangsUp) {
    auto unit = SimulatedUnit::Builder().turnaround(2ms).build();
    LineEnd host(unit->device_path());
    EXPECT_EQ(ask(host, "FF 00 02 04 00 02 23 7B 00 00 00 0D", 1), "06");
    const auto sent = std::chrono::steady_clock::now();
    EXPECT_EQ(ask(host, kReadCounter, 9), "06 02 04 00 7B 00 00 00 0D");
    EXPECT_GE(std::chrono::steady_clock::now() - sent, line_time(6 + 9) + 2ms);  // and turnaround
    ASSERT_TRUE(unit->wait_for_frames(2, 5000ms));
    const auto log = unit->frames();
    EXPECT_EQ(hex(log[0].bytes) + " > " + hex(log[0].answer), "02 04 00 02 23 7B 00 00 00 0D > 06");
    EXPECT_EQ(hex(log[1].answer) + " | " + hex(unit->noise()),
              "06 02 04 00 7B 00 00 00 0D | FF 00");
    host.close();
    LineEnd next(unit->device_path());
    EXPECT_EQ(ask(next, kMeterAan, 1), "06");
    unit->set_faults({.garbage_prefix = bytes("FF 00"), .drop_first_frames = 1});
    EXPECT_EQ(ask(next, kMeterAan, 1, 100ms), "");
    EXPECT_EQ(ask(next, kMeterAan, 3), "FF 00 06");
    unit->close_line();
    EXPECT_TRUE(next.hung_up());
    unit->close_line();  // a second time changes nothing
}

// A running unit's link is never taken over, one left behind is; a unit removes only its own.
TEST(SimLifetime, LinkBelongsToOneRunningUnitAndOnlyItsOwnGoesWithIt) {
    const std::filesystem::path link = "/tmp/quarn7-sim-link-" + std::to_string(::getpid());
    std::filesystem::create_symlink("/dev/null", link);  // left by a unit that did not end well
    {
        const auto unit = SimulatedUnit::Builder().paced(false).link(link).build();
        EXPECT_THAT([&] { SimulatedUnit::Builder().link(link).build(); },
                    ThrowsMessage<std::runtime_error>(
                        EndsWith(" belongs to the simulated unit running as process " +
                                 std::to_string(::getpid()))));
        EXPECT_EQ(ask(LineEnd(link), kMeterAan, 1), "06");  // still the first unit's line
        std::filesystem::remove(link);
        std::filesystem::create_symlink("/dev/zero", link);  // someone else's now
    }
    EXPECT_EQ(std::filesystem::read_symlink(link), "/dev/zero");
    std::filesystem::remove(link);
}

TEST(SimLifetime, LinkGoesWithTheUnitAndDestructionMidAnswerNeitherHangsNorLeaks) {
    const std::filesystem::path link = "/tmp/quarn7-sim-test-" + std::to_string(::getpid());
    const auto descriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    };
    const auto before = descriptors();
    const auto start = std::chrono::steady_clock::now();
    {
        auto unit = SimulatedUnit::Builder().paced(false).link(link).faults({.delay = 30s}).build();
        EXPECT_EQ(unit->device_path(), link.string());
        LineEnd host(link);
        host.send(bytes(kMeterAan));
        std::this_thread::sleep_for(20ms);  // the unit now waits to answer
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(descriptors(), before);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

// quarn7-sim: device path first, a line per frame, the state on SIGUSR1 and on the way out.
TEST(SimProgram, PathLogStateAndCleanExit) {
    FILE* sim = ::popen(
        "printf '%s ' $$ && exec " QUARN7_SIM_PATH " --log --print-state --garbage AA", "r");
    ASSERT_NE(sim, nullptr);
    LineEnd output(::dup(::fileno(sim)));
    std::string seen;
    const auto read_until = [&](const std::string& marker) {
        for (std::string more = "x"; seen.find(marker) == std::string::npos && !more.empty();)
            seen += more = output.receive(1, 5000ms);
        return seen.find(marker) != std::string::npos;
    };
    ASSERT_TRUE(read_until("\n"));
    const pid_t pid = std::stoi(seen);  // the shell's, which the program took over by exec
    const std::string path = seen.substr(seen.find(' ') + 1, seen.find('\n') - seen.find(' ') - 1);
    EXPECT_EQ(ask(LineEnd(path), kMeterAan, 2), "AA 06") << path;
    EXPECT_TRUE(read_until(kMeterAan + "  -> AA 06\n")) << seen;
    ::kill(pid, SIGUSR1);
    EXPECT_TRUE(read_until("elements on: meterteller_aan overlay_aan")) << seen;
    seen.clear();
    ::kill(pid, SIGTERM);
    EXPECT_TRUE(read_until("elements on: meterteller_aan")) << seen;
    EXPECT_EQ(::pclose(sim), 0);  // exited, with 0
    EXPECT_FALSE(std::filesystem::exists(path));
    FILE* misused = ::popen("timeout 10 " QUARN7_SIM_PATH " --delay 60001 2>&1", "r");
    char said[200] = {};
    EXPECT_NE(::fgets(said, sizeof said, misused), nullptr);
    EXPECT_STREQ(said, "--delay: wants a whole number from 0 to 60000, not 60001\n");
    EXPECT_EQ(WEXITSTATUS(::pclose(misused)), 2);  // a usage error
}

}  // namespace
}  // namespace quarn7::sim
