// The serial port object's properties, its checks and trace, and how the marks a tty puts on
// damaged bytes are taken out; and the controller's link members: port object, port number, open
// and close, panel.
#include "quarn7/serial_port.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "support/controller_fixture.h"

namespace quarn7::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
constexpr auto kInvalid = ErrorNumber::InvalidPropertyValue;

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

TEST_F(SerialPortTest, PortNumberAndHandshakingRefuseWhatTheyCannotBe) {
    port.CommPort(4);
    EXPECT_EQ(error_of([&] { port.CommPort(0); }), kInvalid);
    EXPECT_EQ(error_of([&] { port.CommPort(-1); }), kInvalid);
    for (int bad : {-1, 4}) EXPECT_EQ(error_of([&] { port.Handshaking(bad); }), kInvalid);
    port.Handshaking(3);
    port.PortOpen(true);
    EXPECT_EQ(error_of([&] { port.CommPort(5); }), ErrorNumber::PortAlreadyOpen);
    EXPECT_EQ(port.CommPort(), 4);
    EXPECT_EQ(port.opened_handshaking(), 3);
}

TEST_F(SerialPortTest, SettingsAreParsedOrRefused) {
    struct Case {
        const char* text;
        int baud;
        char parity;
        int data_bits;
        int stop_bits;
    };
    const Case good[] = {
        {"19200,o,8,1", 19200, 'o', 8, 1}, {"9600,N,7,2", 9600, 'n', 7, 2},
        {"300, e ,5,1.5", 300, 'e', 5, 2}, {"115200,M,6,1", 115200, 'm', 6, 1},
        {"1200,s,8,2", 1200, 's', 8, 2},
    };
    for (const auto& c : good) {
        port.Settings(c.text);
        EXPECT_EQ(port.Settings(), c.text);
        const LineSettings s = parse_line_settings(c.text);
        ASSERT_TRUE(s.valid) << c.text;
        EXPECT_EQ(s.baud, c.baud) << c.text;
        EXPECT_EQ(s.parity, c.parity) << c.text;
        EXPECT_EQ(s.data_bits, c.data_bits) << c.text;
        EXPECT_EQ(s.stop_bits, c.stop_bits) << c.text;
    }
    for (const char* bad : {"", "19200", "19200,o,8", "19200,o,8,1,1", "0,n,8,1", "-9600,n,8,1",
                            "fast,n,8,1", "19200,x,8,1", "19200,oo,8,1", "19200,n,9,1",
                            "19200,n,4,1", "19200,n,8,3", "19200,n,8,0", "19200,,8,1"}) {
        EXPECT_EQ(error_of([&] { port.Settings(bad); }), kInvalid) << bad;
    }
    EXPECT_EQ(port.Settings(), "1200,s,8,2");
}

TEST_F(SerialPortTest, IoWhileClosedIsPortNotOpen) {
    const std::function<void()> calls[] = {
        [&] { port.Output("x"); },
        [&] { port.InBufferCount(); },
        [&] { port.Input(); },
        [&] { port.wait_input(100ms); },
    };
    for (const auto& call : calls) EXPECT_EQ(error_of(call), ErrorNumber::PortNotOpen);
    EXPECT_TRUE(port.writes().empty());
}

TEST_F(SerialPortTest, TraceShowsBothDirectionsOnTheTraceClockAndFailedWrites) {
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
    port.fail_writes(1);
    EXPECT_EQ(error_of([&] { port.Output("A"); }), ErrorNumber::PortIo);

    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].direction, TraceEvent::Direction::Out);
    EXPECT_EQ(events[0].bytes, bytes("02 01 00 00 26 00 0D"));
    EXPECT_EQ(events[0].time - Clock::time_point{}, 10ms);
    EXPECT_EQ(events[1].direction, TraceEvent::Direction::In);
    EXPECT_EQ(events[1].bytes, bytes("06"));
    EXPECT_EQ(events[1].time - Clock::time_point{}, 15ms);
    EXPECT_EQ(events[2].bytes, "A");  // traced although the write failed
}

TEST(UnmarkLineErrors, TakesOutMarksAndUndoublesFf) {
    struct Case {
        const char* marked;
        const char* bytes;
        std::uint64_t damaged;
        std::size_t used;
    };
    const Case cases[] = {
        {"", "", 0, 0},
        {"06 02 01 00 C8 0D", "06 02 01 00 C8 0D", 0, 6},
        {"FF FF", "FF", 0, 2},
        {"FF FF FF FF 41", "FF FF 41", 0, 5},
        {"06 FF 00 C8 0D", "06 0D", 1, 5},  // a parity or framing error on C8
        {"FF 00 00", "", 1, 3},             // a break
        {"FF 00 FF 41", "41", 1, 4},        // a damaged FF is not doubled
        {"FF 00 41 FF 00 42 FF FF", "FF", 2, 8},
        {"41 FF", "41", 0, 1},  // the read ended inside a mark
        {"41 FF 00", "41", 0, 1},
        {"FF 41", "FF 41", 0, 2},  // no mark: taken as it stands
    };
    for (const auto& c : cases) {
        const UnmarkedInput out = unmark_line_errors(bytes(c.marked));
        EXPECT_EQ(hex(out.bytes), c.bytes) << c.marked;
        EXPECT_EQ(out.damaged, c.damaged) << c.marked;
        EXPECT_EQ(out.used, c.used) << c.marked;
    }
}

TEST(UnmarkLineErrors, AMarkCutByTheReadIsCompletedByTheNext) {
    const std::string marked = bytes("06 FF 00 C8 FF FF 0D");
    for (std::size_t cut = 0; cut <= marked.size(); ++cut) {
        const UnmarkedInput first = unmark_line_errors(marked.substr(0, cut));
        const UnmarkedInput rest =
            unmark_line_errors(marked.substr(first.used, cut - first.used) + marked.substr(cut));
        EXPECT_EQ(hex(first.bytes + rest.bytes), "06 FF 0D") << cut;
        EXPECT_EQ(first.damaged + rest.damaged, 1u) << cut;
    }
}

using LinkMembers = ControllerTest;

TEST_F(LinkMembers, OpenWritesTheLineSettingsEveryTime) {
    port->Settings("9600,n,8,1");
    port->Handshaking(2);
    open();
    EXPECT_TRUE(port->PortOpen());
    EXPECT_EQ(port->opened_settings(), "19200,o,8,1");
    EXPECT_EQ(port->opened_handshaking(), 0);
}

TEST_F(LinkMembers, OpeningAnOpenPortTouchesNothing) {
    open();
    port->Settings("9600,n,8,1");
    open();
    EXPECT_EQ(port->opens(), 1);
    EXPECT_EQ(port->Settings(), "9600,n,8,1");
    EXPECT_THAT(messages, IsEmpty());

    diagnostics_on();
    open();
    close();
    close();
    EXPECT_THAT(messages, ElementsAre("Already open", "Already closed"));
}

TEST_F(LinkMembers, FailedOpenIsReportedOnlyByMessageBox) {
    port->refuse_open(ErrorNumber::NoSuchDevice);
    open();
    EXPECT_FALSE(port->PortOpen());
    EXPECT_THAT(messages, IsEmpty());
    EXPECT_FALSE(de->last_open_error().empty());

    diagnostics_on();
    open();
    EXPECT_THAT(messages, ElementsAre("Illegal port number"));
}

TEST_F(LinkMembers, PortNumberChangesOnlyWhileClosed) {
    Variant three(std::int16_t{3});
    de->Poort_nummer(three);
    EXPECT_EQ(de->Poort_nummer(), Variant(std::int16_t{3}));
    open();
    EXPECT_EQ(port->opened_port(), 3);
    Variant five(std::int16_t{5});
    de->Poort_nummer(five);
    EXPECT_EQ(de->Poort_nummer(), Variant(std::int16_t{3}));
}

TEST(LinkMembersWithoutPort, EveryPortMemberRaisesObjectNotSet) {
    clsvyx7 de;
    Variant yes(true);
    Variant number(std::int16_t{2});
    EXPECT_EQ(error_of([&] { de.Poort_nummer(); }), ErrorNumber::ObjectNotSet);
    EXPECT_EQ(error_of([&] { de.Poort_nummer(number); }), ErrorNumber::ObjectNotSet);
    EXPECT_EQ(error_of([&] { de.OpenClose(yes); }), ErrorNumber::ObjectNotSet);
}

TEST(LinkMembersWithoutPort, PortObjectMustBeASerialPort) {
    auto de = std::make_shared<clsvyx7>();
    Variant controller(std::static_pointer_cast<Object>(de));
    EXPECT_EQ(error_of([&] { de->mvarComObject(controller); }), ErrorNumber::TypeMismatch);
    EXPECT_EQ(de->mvarComObject().object(), nullptr);
}

TEST(LinkMembersWithoutPort, RegelAndKolomKeepWhatTheHostWrote) {
    clsvyx7 de;
    Variant seven("7");
    de.regel(seven);
    Variant too_big(70000);
    EXPECT_EQ(error_of([&] { de.kolom(too_big); }), ErrorNumber::Overflow);
    EXPECT_EQ(de.regel(), Variant(std::int16_t{7}));
    EXPECT_EQ(de.kolom(), Variant(std::int16_t{0}));
}

TEST(Settings, NeedsAControllerAndAnInstalledPanel) {
    auto de = std::make_shared<clsvyx7>();
    Variant text("panel");
    EXPECT_EQ(error_of([&] { de->settings(text); }), ErrorNumber::TypeMismatch);

    Variant self(std::static_pointer_cast<Object>(de));
    set_panel_opener(nullptr);
    EXPECT_EQ(error_of([&] { de->settings(self); }), ErrorNumber::PanelUnavailable);

    std::shared_ptr<clsvyx7> shown;
    set_panel_opener([&](std::shared_ptr<clsvyx7> c) { shown = std::move(c); });
    de->settings(self);
    EXPECT_EQ(shown, de);
    set_panel_opener(nullptr);
}

}  // namespace
}  // namespace quarn7::testing
