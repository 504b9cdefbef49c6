// The serial port object's checks and trace, how the marks a tty puts on damaged bytes are taken
// out, and the controller's link members: port object, port number, open and close, panel.
#include "platform/serial_port.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/controller_fixture.h"

namespace quarn7::testing {
namespace {

using ::testing::ElementsAre;
constexpr auto kInvalid = ErrorNumber::InvalidPropertyValue;

TEST(SerialPort, PropertiesRefuseWhatTheyCannotBeAndIoNeedsAnOpenPort) {
    FakeClock clock;
    ScriptedPort port(clock);
    for (const char* good : {"19200,o,8,1", "9600,N,7,2", "300, e ,5,1.5", "1200,s,8,2"}) {
        port.Settings(good);
        EXPECT_EQ(port.Settings(), good);
    }
    const LineSettings s = parse_line_settings("300, e ,5,1.5");
    EXPECT_EQ(std::tuple(s.valid, s.baud, s.parity, s.data_bits, s.stop_bits),
              std::tuple(true, 300, 'e', 5, 2));
    for (const char* bad : {"", "19200,o,8", "19200,o,8,1,1", "0,n,8,1", "-9600,n,8,1",
                            "19200,x,8,1", "19200,oo,8,1", "19200,n,9,1", "19200,n,4,1",
                            "19200,n,8,3", "19200,n,8,0", "19200,,8,1"}) {
        EXPECT_EQ(error_of([&] { port.Settings(bad); }), kInvalid) << bad;
    }
    EXPECT_EQ(port.Settings(), "1200,s,8,2");
    for (const std::int16_t bad : {std::int16_t{0}, std::int16_t{-1}}) {
        EXPECT_EQ(error_of([&] { port.CommPort(bad); }), kInvalid);
    }
    for (const int bad : {-1, 4}) EXPECT_EQ(error_of([&] { port.Handshaking(bad); }), kInvalid);
    EXPECT_EQ(error_of([&] { port.Output("x"); }), ErrorNumber::PortNotOpen);
    EXPECT_EQ(error_of([&] { port.InBufferCount(); }), ErrorNumber::PortNotOpen);
    EXPECT_EQ(error_of([&] { port.Input(); }), ErrorNumber::PortNotOpen);
    EXPECT_EQ(error_of([&] { port.wait_input(1ms); }), ErrorNumber::PortNotOpen);
    port.PortOpen(false);  // closing a closed port is no error
    port.PortOpen(true);
    EXPECT_EQ(error_of([&] { port.PortOpen(true); }), ErrorNumber::PortAlreadyOpen);
    EXPECT_EQ(error_of([&] { port.CommPort(5); }), ErrorNumber::PortAlreadyOpen);
    EXPECT_EQ(std::pair(port.opens(), port.closes()), std::pair(1, 0));
}

TEST(SerialPort, TraceShowsBothDirectionsOnTheTraceClockAndFailedWrites) {
    FakeClock clock;
    ScriptedPort port(clock);
    std::vector<std::string> events;
    port.set_trace([&](const TraceEvent& e) {
        events.push_back(std::to_string((e.time - Clock::time_point{}) / 1ms) +
                         (e.direction == TraceEvent::Direction::Out ? " out " : " in ") + hex(e.bytes));
    });
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
    EXPECT_THAT(events, ElementsAre("10 out 02 01 00 00 26 00 0D", "15 in 06", "15 out 41"));
}

TEST(UnmarkLineErrors, TakesOutMarksAndUndoublesFfAcrossReads) {
    const std::tuple<const char*, const char*, std::uint64_t, std::size_t> cases[] = {
        {"06 02 01 00 C8 0D", "06 02 01 00 C8 0D", 0, 6}, {"FF FF FF FF 41", "FF FF 41", 0, 5},
        {"06 FF 00 C8 0D", "06 0D", 1, 5},  // a parity or framing error on C8
        {"FF 00 00", "", 1, 3},             // a break
        {"FF 00 FF 41", "41", 1, 4},        // a damaged FF is not doubled
        {"41 FF", "41", 0, 1},              // the read ended inside a mark
        {"41 FF 00", "41", 0, 1},           {"FF 41", "FF 41", 0, 2},  // no mark
    };
    for (const auto& [marked, plain, damaged, used] : cases) {
        const UnmarkedInput out = unmark_line_errors(bytes(marked));
        EXPECT_EQ(std::tuple(hex(out.bytes), out.damaged, out.used), std::tuple(plain, damaged, used))
            << marked;
    }
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

// Open writes the fixed line settings every time; failures and no-ops speak only by message box.
TEST_F(LinkMembers, OpenAndClose) {
    port->Settings("9600,n,8,1");
    port->Handshaking(2);
    Variant three(std::int16_t{3});
    de->Poort_nummer(three);
    open();
    EXPECT_EQ(port->opened_settings(), "19200,o,8,1");
    EXPECT_EQ(port->opened_handshaking(), 0);
    EXPECT_EQ(port->opened_port(), 3);
    Variant five(std::int16_t{5});
    de->Poort_nummer(five);  // only while closed
    EXPECT_EQ(de->Poort_nummer(), Variant(std::int16_t{3}));
    open();
    EXPECT_EQ(port->opens(), 1);
    EXPECT_TRUE(messages.empty());
    diagnostics_on();
    open();
    close();
    close();
    port->refuse_open(ErrorNumber::NoSuchDevice);
    open();
    EXPECT_FALSE(port->PortOpen());
    EXPECT_THAT(messages, ElementsAre("Already open", "Already closed", "Illegal port number"));
    EXPECT_EQ(de->last_open_error(), "No such device");
}

TEST(LinkMembersWithoutPort, PortMembersNeedASerialPortObject) {
    auto de = std::make_shared<clsvyx7>();
    Variant yes(true), number(std::int16_t{2}), self(std::static_pointer_cast<Object>(de));
    EXPECT_EQ(error_of([&] { de->Poort_nummer(); }), ErrorNumber::ObjectNotSet);
    EXPECT_EQ(error_of([&] { de->Poort_nummer(number); }), ErrorNumber::ObjectNotSet);
    EXPECT_EQ(error_of([&] { de->OpenClose(yes); }), ErrorNumber::ObjectNotSet);
    EXPECT_EQ(error_of([&] { de->voeruit1(); }), ErrorNumber::ObjectNotSet);
    EXPECT_EQ(error_of([&] { de->mvarComObject(self); }), ErrorNumber::TypeMismatch);
    EXPECT_EQ(de->mvarComObject().object(), nullptr);
    Variant seven("7"), too_big(70000);
    de->regel(seven);
    EXPECT_EQ(error_of([&] { de->kolom(too_big); }), ErrorNumber::Overflow);
    EXPECT_EQ(std::pair(de->regel(), de->kolom()), std::pair(Variant(std::int16_t{7}), Variant(std::int16_t{0})));
}

TEST(Settings, NeedsAControllerAndAnInstalledPanel) {
    auto de = std::make_shared<clsvyx7>();
    Variant text("panel"), self(std::static_pointer_cast<Object>(de));
    EXPECT_EQ(error_of([&] { de->settings(text); }), ErrorNumber::TypeMismatch);
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
