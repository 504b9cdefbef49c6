#include "platform/serial_port.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "platform/error.h"
#include "support/scripted_port.h"

namespace quarn7 {
namespace {

using testing::bytes;
using testing::FakeClock;
using testing::ScriptedPort;
using namespace std::chrono_literals;

std::optional<ErrorNumber> error_of(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.number();
    }
    return std::nullopt;
}

class SerialPortTest : public ::testing::Test {
  protected:
    FakeClock clock;
    ScriptedPort port{clock};
};

TEST_F(SerialPortTest, OpeningTwiceIsAnErrorClosingTwiceIsNot) {
    port.PortOpen(false);
    EXPECT_EQ(port.closes(), 0);
    port.PortOpen(true);
    EXPECT_TRUE(port.PortOpen());
    EXPECT_EQ(error_of([&] { port.PortOpen(true); }), ErrorNumber::PortAlreadyOpen);
    EXPECT_EQ(port.opens(), 1);
    port.PortOpen(false);
    port.PortOpen(false);
    EXPECT_FALSE(port.PortOpen());
    EXPECT_EQ(port.closes(), 1);
}

TEST_F(SerialPortTest, OpenUsesTheCurrentProperties) {
    port.CommPort(3);
    port.Settings("19200,o,8,1");
    port.Handshaking(0);
    port.PortOpen(true);
    EXPECT_EQ(port.opened_port(), 3);
    EXPECT_EQ(port.opened_settings(), "19200,o,8,1");
    EXPECT_EQ(port.opened_handshaking(), 0);
}

TEST_F(SerialPortTest, PortNumberChangesOnlyWhileClosed) {
    port.CommPort(4);
    EXPECT_EQ(port.CommPort(), 4);
    for (std::int16_t bad : {std::int16_t{0}, std::int16_t{-1}}) {
        EXPECT_EQ(error_of([&] { port.CommPort(bad); }), ErrorNumber::InvalidPropertyValue);
    }
    port.PortOpen(true);
    EXPECT_EQ(error_of([&] { port.CommPort(5); }), ErrorNumber::PortAlreadyOpen);
    EXPECT_EQ(port.CommPort(), 4);
}

TEST_F(SerialPortTest, SettingsMustParse) {
    for (const char* good :
         {"19200,o,8,1", "9600,N,7,2", "300, e ,5,1.5", "115200,m,6,1", "1200,s,8,2"}) {
        port.Settings(good);
        EXPECT_EQ(port.Settings(), good);
    }
    port.Settings("19200,o,8,1");
    for (const char* bad : {"", "19200", "19200,o,8", "19200,o,8,1,1", "0,n,8,1", "-9600,n,8,1",
                            "fast,n,8,1", "19200,x,8,1", "19200,oo,8,1", "19200,n,9,1",
                            "19200,n,4,1", "19200,n,8,3", "19200,n,8,0", "19200,,8,1"}) {
        EXPECT_EQ(error_of([&] { port.Settings(bad); }), ErrorNumber::InvalidPropertyValue) << bad;
    }
    EXPECT_EQ(port.Settings(), "19200,o,8,1");
}

TEST(LineSettings, FieldsAreRead) {
    struct Case {
        const char* text;
        int baud;
        char parity;
        int data_bits;
        int stop_bits;
    };
    const Case cases[] = {
        {"19200,o,8,1", 19200, 'o', 8, 1}, {"9600,N,7,2", 9600, 'n', 7, 2},
        {"300,e,5,1.5", 300, 'e', 5, 2},   {"115200,M,6,1", 115200, 'm', 6, 1},
        {"1200,s,8,2", 1200, 's', 8, 2},
    };
    for (const auto& c : cases) {
        const LineSettings s = parse_line_settings(c.text);
        ASSERT_TRUE(s.valid) << c.text;
        EXPECT_EQ(s.baud, c.baud) << c.text;
        EXPECT_EQ(s.parity, c.parity) << c.text;
        EXPECT_EQ(s.data_bits, c.data_bits) << c.text;
        EXPECT_EQ(s.stop_bits, c.stop_bits) << c.text;
    }
}

TEST_F(SerialPortTest, HandshakingIsZeroToThree) {
    for (int mode : {0, 1, 2, 3}) {
        port.Handshaking(mode);
        EXPECT_EQ(port.Handshaking(), mode);
    }
    for (int bad : {-1, 4}) {
        EXPECT_EQ(error_of([&] { port.Handshaking(bad); }), ErrorNumber::InvalidPropertyValue);
    }
    EXPECT_EQ(port.Handshaking(), 3);
}

TEST_F(SerialPortTest, IoWhileClosedIsPortNotOpen) {
    const std::pair<const char*, std::function<void()>> calls[] = {
        {"Output", [&] { port.Output("x"); }},
        {"InBufferCount", [&] { port.InBufferCount(); }},
        {"Input", [&] { port.Input(); }},
        {"wait_input", [&] { port.wait_input(100ms); }},
    };
    for (const auto& [name, call] : calls) {
        EXPECT_EQ(error_of(call), ErrorNumber::PortNotOpen) << name;
    }
    EXPECT_TRUE(port.writes().empty());
}

TEST_F(SerialPortTest, TraceShowsBothDirectionsOnTheTraceClock) {
    std::vector<TraceEvent> events;
    port.set_trace([&](const TraceEvent& e) { events.push_back(e); });
    port.set_trace_clock(clock);
    port.PortOpen(true);
    port.answer({{5ms, bytes("06")}});

    clock.advance(10ms);
    port.Output(bytes("02 01 00 00 26 00 0D"));
    EXPECT_EQ(port.Input(), "");  // nothing arrived yet: no event
    ASSERT_TRUE(port.wait_input(100ms));
    EXPECT_EQ(port.Input(), bytes("06"));

    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].direction, TraceEvent::Direction::Out);
    EXPECT_EQ(events[0].bytes, bytes("02 01 00 00 26 00 0D"));
    EXPECT_EQ(events[0].time - Clock::time_point{}, 10ms);
    EXPECT_EQ(events[1].direction, TraceEvent::Direction::In);
    EXPECT_EQ(events[1].bytes, bytes("06"));
    EXPECT_EQ(events[1].time - Clock::time_point{}, 15ms);
}

TEST_F(SerialPortTest, FailedWriteIsStillTraced) {
    std::vector<TraceEvent> events;
    port.set_trace([&](const TraceEvent& e) { events.push_back(e); });
    port.PortOpen(true);
    port.fail_writes(1);
    EXPECT_EQ(error_of([&] { port.Output("A"); }), ErrorNumber::PortIo);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].bytes, "A");
}

}  // namespace
}  // namespace quarn7
