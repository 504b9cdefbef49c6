// The controller over a real pseudo-terminal against the simulated unit.
#include <sys/resource.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "link/clsvyx7.h"
#include "platform/error.h"
#include "platform/termios_port.h"
#include "sim/simulated_unit.h"
#include "support/scripted_port.h"

namespace quarn7 {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::hex;
using WallClock = std::chrono::steady_clock;

std::chrono::microseconds thread_cpu_time() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

class OverPty : public ::testing::Test {
protected:
    void SetUp() override { connect(sim::SimulatedUnit::Builder().build()); }

    void connect(std::unique_ptr<sim::SimulatedUnit> new_unit) {
        unit = std::move(new_unit);
        port = std::make_shared<TermiosPort>();
        port->bind(unit->device_path());
        de->ComObject(Variant(std::static_pointer_cast<Object>(port)));
        de->set_message_box([this](const std::string& text) { messages.push_back(text); });
        Variant yes(true);
        de->OpenClose(yes);
        ASSERT_TRUE(port->PortOpen()) << de->last_open_error();
    }

    std::unique_ptr<sim::SimulatedUnit> unit;
    std::shared_ptr<TermiosPort> port;
    std::shared_ptr<clsvyx7> de = std::make_shared<clsvyx7>();
    std::vector<std::string> messages;
};

TEST_F(OverPty, DoCommandIsAcknowledgedOnceAndLoggedByTheUnit) {
    de->meterteller_aan();
    EXPECT_EQ(de->last_outcome(), Outcome::Acknowledged);
    ASSERT_TRUE(unit->wait_for_frames(1, 2s));
    const auto frames = unit->frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(hex(frames[0].bytes), "02 01 00 00 26 00 0D");
}

TEST_F(OverPty, WrittenCounterReadsBack) {
    Variant distance(12.3);
    de->afstand(distance);
    EXPECT_EQ(distance, Variant(std::int16_t{123}));
    EXPECT_DOUBLE_EQ(de->afstand().to_double(), 12.3);
}

TEST_F(OverPty, SilentUnitCostsAlmostNoCpuWhileWaiting) {
    unit->set_faults({.silent = true});
    const auto cpu_before = thread_cpu_time();
    const auto wall_before = WallClock::now();
    de->meterteller_aan();
    const auto wall = WallClock::now() - wall_before;
    const auto cpu = thread_cpu_time() - cpu_before;
    EXPECT_EQ(de->last_outcome(), Outcome::NoReaction);
    EXPECT_GE(wall, 590ms);
    EXPECT_LT(wall, 3s);
    EXPECT_LT(cpu, 100ms) << "the reply windows must block, not spin";
    EXPECT_TRUE(unit->wait_for_frames(6, 2s));
    EXPECT_EQ(unit->frames().size(), 6u);
}

TEST_F(OverPty, RefusalIsReportedWithDiagnostics) {
    de->meldingen();
    unit->set_faults({.refuse = true});
    de->meterteller_aan();
    EXPECT_EQ(de->last_outcome(), Outcome::Refused);
    EXPECT_THAT(messages, ElementsAre("226010D", "Command not accepted"));
}

TEST_F(OverPty, LineGoingAwayRaisesDeviceLostAndAFreshLineWorks) {
    unit->set_faults({.silent = true});
    std::thread unplug([this] {
        std::this_thread::sleep_for(150ms);
        unit->close_line();
    });
    const auto before = WallClock::now();
    try {
        Variant tekst(std::int16_t{43});
        de->lees_waarde(tekst);
        ADD_FAILURE() << "no error when the line went away";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), ErrorNumber::DeviceLost);
    }
    unplug.join();
    EXPECT_LT(WallClock::now() - before, 2s);
    EXPECT_FALSE(port->PortOpen());

    connect(sim::SimulatedUnit::Builder().build());
    de->meterteller_uit();
    EXPECT_EQ(de->last_outcome(), Outcome::Acknowledged);
}

TEST_F(OverPty, SecondProgramOnTheSameLineIsTurnedAway) {
    auto other = std::make_shared<clsvyx7>();
    auto other_port = std::make_shared<TermiosPort>();
    other_port->bind(unit->device_path());
    other->ComObject(Variant(std::static_pointer_cast<Object>(other_port)));
    Variant yes(true);
    other->OpenClose(yes);
    EXPECT_FALSE(other_port->PortOpen());
    EXPECT_THAT(other->last_open_error(), HasSubstr("busy"));
}

}  // namespace
}  // namespace quarn7
