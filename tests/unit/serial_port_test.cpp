// The serial port object's checks, trace and line-error marks; the controller's link members.
#include "quarn7/serial_port.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/scripted_port.h"

namespace quarn7::testing {
namespace {

using ::testing::ElementsAre;
constexpr auto kInvalid = ErrorNumber::InvalidPropertyValue;
constexpr auto kNotOpen = ErrorNumber::PortNotOpen;
constexpr auto kAlreadyOpen = ErrorNumber::PortAlreadyOpen;

TEST_F(ControllerTest, SerialPortRefusesWhatItCannotBeNeedsOpeningForIoAndTracesBothWays) {
    using enum TraceEvent::Direction;
    std::vector<std::tuple<Clock::time_point, TraceEvent::Direction, std::string>> seen;
    port->set_trace([&](const TraceEvent& e) { seen.emplace_back(e.time, e.direction, e.bytes); });
    port->set_trace_clock(clock);
    for (const char* good : {"19200,o,8,1", "9600,N,7,2", "300, e ,5,1.5", "1200,s,8,2"})
        EXPECT_EQ(error_of([&] { port->Settings(good); }), std::nullopt) << good;
    const LineSettings s = parse_line_settings("300, e ,5,1.5");
    EXPECT_EQ(std::tuple(s.baud, s.parity, s.data_bits, s.stop_bits), std::tuple(300, 'e', 5, 2));
    for (const char* bad : {"", "19200,o,8", "19200,o,8,1,1", "0,n,8,1", "-9600,n,8,1",
                            "19200,x,8,1", "19200,oo,8,1", "19200,n,9,1", "19200,n,4,1",
                            "19200,n,8,3", "19200,n,8,0", "19200,,8,1"})
        EXPECT_EQ(error_of([&] { port->Settings(bad); }), kInvalid) << bad;
    EXPECT_EQ(port->Settings(), "1200,s,8,2");  // the last good one, as given
    const std::pair<std::function<void()>, std::optional<ErrorNumber>> calls[] = {  // in order
        {[&] { port->CommPort(0); }, kInvalid}, {[&] { port->Handshaking(-1); }, kInvalid},
        {[&] { port->Handshaking(4); }, kInvalid}, {[&] { port->Output("x"); }, kNotOpen},
        {[&] { port->Input(); }, kNotOpen}, {[&] { port->InBufferCount(); }, kNotOpen},
        {[&] { port->wait_input(1ms); }, kNotOpen}, {[&] { port->PortOpen(false); }, {}},
        {[&] { port->PortOpen(true); }, {}}, {[&] { port->PortOpen(true); }, kAlreadyOpen},
        {[&] { port->CommPort(5); }, kAlreadyOpen}};
    for (std::size_t i = 0; i < std::size(calls); ++i)
        EXPECT_EQ(error_of(calls[i].first), calls[i].second) << "call " << i;
    EXPECT_EQ(std::pair(port->opens(), port->closes()), std::pair(1, 0));
    port->answer({{5ms, bytes("06")}});
    port->Output("A");
    port->wait_input(100ms);
    port->Input();
    port->fail_writes(1);
    EXPECT_EQ(error_of([&] { port->Output("B"); }), ErrorNumber::PortIo);
    const Clock::time_point t0{};
    EXPECT_THAT(seen, ElementsAre(std::tuple(t0, Out, "A"), std::tuple(t0 + 5ms, In, "\x06"),
                                  std::tuple(t0 + 5ms, Out, "B")));
}

// FF 00 x: x damaged (FF 00 00: a break); FF FF: one FF. A mark the read cut short stays unused.
TEST(UnmarkLineErrors, TakesOutMarksAndUndoublesFfAcrossReads) {
    const std::tuple<const char*, const char*, std::uint64_t, std::size_t> cases[] = {
        {"06 02 01 00 C8 0D", "06 02 01 00 C8 0D", 0, 6}, {"FF FF FF FF 41", "FF FF 41", 0, 5},
        {"06 FF 00 C8 0D", "06 0D", 1, 5}, {"FF 00 00", "", 1, 3}, {"FF 00 FF 41", "41", 1, 4},
        {"41 FF", "41", 0, 1}, {"41 FF 00", "41", 0, 1}, {"FF 41", "FF 41", 0, 2}};
    for (const auto& [in, good, bad, used] : cases) {
        const UnmarkedInput o = unmark_line_errors(bytes(in));
        EXPECT_EQ(std::tuple(hex(o.bytes), o.damaged, o.used), std::tuple(good, bad, used)) << in;
    }
    const std::string marked = bytes("06 FF 00 C8 FF FF 0D");
    for (std::size_t cut = 0; cut <= marked.size(); ++cut) {  // the rest goes into the next read
        const UnmarkedInput first = unmark_line_errors(marked.substr(0, cut));
        const UnmarkedInput rest = unmark_line_errors(marked.substr(first.used));
        EXPECT_EQ(std::tuple(hex(first.bytes + rest.bytes), first.damaged + rest.damaged),
                  std::tuple("06 FF 0D", 1u)) << cut;
    }
}

// Port members need a port object; open forces the line settings and speaks only when asked.
TEST_F(ControllerTest, SerialLinkMembersNeedAPortObjectAndOpenForcesTheLineSettings) {
    auto bare = std::make_shared<clsvyx7>();
    Variant yes(true), two(std::int16_t{2}), three(std::int16_t{3}), five(std::int16_t{5});
    Variant seven("7"), too_big(70000), text("panel"), self(std::static_pointer_cast<Object>(bare));
    EXPECT_EQ(error_of([&] { bare->Poort_nummer(); }), ErrorNumber::ObjectNotSet);
    EXPECT_EQ(error_of([&] { bare->Poort_nummer(two); }), ErrorNumber::ObjectNotSet);
    EXPECT_EQ(error_of([&] { bare->OpenClose(yes); }), ErrorNumber::ObjectNotSet);
    EXPECT_EQ(error_of([&] { bare->voeruit1(); }), ErrorNumber::ObjectNotSet);
    EXPECT_EQ(error_of([&] { bare->mvarComObject(self); }), ErrorNumber::TypeMismatch);
    bare->regel(seven);  // kept as an Integer
    EXPECT_EQ(bare->regel(), Variant(std::int16_t{7}));
    EXPECT_EQ(error_of([&] { bare->kolom(too_big); }), ErrorNumber::Overflow);
    EXPECT_EQ(error_of([&] { bare->settings(text); }), ErrorNumber::TypeMismatch);
    EXPECT_EQ(error_of([&] { bare->settings(self); }), ErrorNumber::PanelUnavailable);
    std::shared_ptr<clsvyx7> shown;
    set_panel_opener([&](std::shared_ptr<clsvyx7> c) { shown = std::move(c); });
    bare->settings(self);
    set_panel_opener(nullptr);
    EXPECT_EQ(shown, bare);
    port->Settings("9600,n,8,1");
    port->Handshaking(2);
    de->Poort_nummer(three);
    open();
    EXPECT_EQ(std::tuple(port->opened_settings(), port->opened_handshaking(), port->opened_port()),
              std::tuple("19200,o,8,1", 0, 3));
    de->Poort_nummer(five);  // only while closed
    EXPECT_EQ(de->Poort_nummer(), three);
    open();
    EXPECT_EQ(std::pair(port->opens(), messages.size()), std::pair(1, std::size_t{0}));
    diagnostics_on();
    for (auto step : {&Controller::open, &Controller::close, &Controller::close}) (this->*step)();
    port->refuse_open(ErrorNumber::NoSuchDevice);
    open();
    EXPECT_THAT(messages, ElementsAre("Already open", "Already closed", "Illegal port number"));
    EXPECT_EQ(de->last_open_error(), "No such device");
}

}  // namespace
}  // namespace quarn7::testing
