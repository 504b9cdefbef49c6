// The panel model on a scripted port and a fake clock: what each click puts on the line, leaves in
// the boxes and reports to its view; busy state, messages and the status line.
#include "panel/panel_model.h"

#include <iterator>
#include <map>
#include <sstream>

#include "support/panel_clicks.h"
#include "support/protocol.h"
#include "support/scripted_port.h"

using namespace quarn7;
using namespace quarn7::testing;
using panel::ButtonArray;

namespace {

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), {}};
}

// clang-format off
// The do buttons by index, as documented ("-" for a disabled one).
const std::vector<std::string> kDoButtonMembers = words(
    "tijd_aan tijd_uit datum_aan datum_uit dig_tilt_aan dig_tilt_uit meterteller_aan "
    "meterteller_uit meterteller2_aan meterteller2_uit ana_tilt_aan ana_tilt_uit foto_aan "
    "foto_uit videoteller_aan videoteller_uit snelheidsbalk_aan snelheidsbalk_uit "
    "snelheidsmeter_aan snelheidsmeter_uit systeem_tekst_aan systeem_tekst_uit "
    "kijkrichtingdisplay_aan kijkrichtingdisplay_uit overlay_aan overlay_uit Venster_schaduw_aan "
    "Venster_schaduw_uit tekst_schaduw_aan tekst_schaduw_uit testpatroon_aan testpatroon_uit "
    "reset_DE schermwissen Teller1_0 Teller2_0 Digitale_tilt_0 Videoteller_0 Fototeller_0 "
    "overlay_aan toetsenbordbediening softwarebediening VYX_fabrieksdefault "
    "automatisch_EEx_logo_aan automatisch_EEx_logo_uit analoge_tilt_0 "
    "automatisch_EEx_temp_logo_aan automatisch_EEx_temp_logo_uit kruisdraden_aan kruisdraden_uit "
    "positie_cirkel_aan positie_cirkel_uit hint_venster_aan hint_venster_uit "
    "start_diameter_meting cancel_1 zet_cirkel_positie cancel_2 zet_merk_positie "
    "wijzig_lc_teller_richting_aan wijzig_lc_teller_richting_uit num_draaihoek_beeld_aan "
    "num_draaihoek_beeld_uit hoekmeting_aan hoekmeting_uit meetlijn_aan - meetlijn_uit "
    "temperatuurbeeld_aan temperatuurbeeld_uit - bevestig_stikstof");

// The write buttons by index, with Text1 "5", X "3", Y "4", Text20 "2", Text22 "7": form ('v' one
// value byte, 'w' two, 'x' a window) and code of a generic write, or "-" (own frame below).
const std::vector<std::string> kGenericWrites = words(
    "- w33 - v37 v38 - v41 v42 v40 v63 v64 v66 v67 v69 v70 v71 v72 v73 v74 v75 x96 x97 x102 x103 "
    "x104 x105 x106 - x130 x131 x132 x133 x135 x136 x137 x138 x139 x140 w141 x142 - - - - w201 - "
    "v65 x98 x134");
struct Shown { const char* frame; const char* text1; };
const std::map<char, Shown> kForms = {{'v', {"02 01 00 02 %02X 05 0D", "5|%d"}},
                                      {'w', {"02 02 00 02 %02X 05 00 0D", "5|%d"}},
                                      {'x', {"02 04 00 02 %02X 2D 00 3C 00 0D", "3|4|%d"}}};
const std::map<int, Shown> kOwnFrames = {  // 0: 14:05 on 3-12-26; 27: text field 2, window 108
    {0, {"02 05 00 02 20 05 0E 03 0C 1A 0D", "5"}}, {2, {"02 04 00 02 23 32 00 00 00 0D", "5"}},
    {5, {"02 04 00 02 27 32 00 00 00 0D", "5"}},    {40, {"02 01 00 02 A0 07 0D", "7|160"}},
    {41, {"02 02 00 02 A1 35 00 0D", "5"}},         {42, {"02 01 00 02 A2 01 0D", "5"}},
    {43, {"02 02 00 02 A1 35 00 0D", "5"}},         {45, {"02 03 00 02 24 00 00 05 0D", "5"}},
    {27, {"02 04 00 02 6C 2D 00 3C 00 0D", "3|4| 108"}}};
const std::map<int, int> kItemButtons = {  // read buttons by index: the item each reads
    {0, 32},  {1, 33},  {2, 34},  {3, 35},  {4, 36},  {5, 37},  {6, 38},  {7, 39},  {8, 40},
    {9, 41},  {12, 45}, {13, 46}, {14, 50}, {39, 51}, {15, 52}, {16, 54}, {17, 55}, {18, 56},
    {19, 57}, {20, 58}, {21, 59}, {22, 60}, {23, 61}, {24, 62}, {25, 63}, {26, 64}};
const std::map<std::string_view, ButtonArray> kArrays = {
    {"Command1", ButtonArray::Do}, {"Command2", ButtonArray::Write},
    {"Command3", ButtonArray::Read}, {"Command4", ButtonArray::Port}};
// clang-format on

class PanelModelTest : public ::testing::Test, protected Controller, protected panel::PanelView {
protected:
    PanelModelTest() {
        port->answer_with([this](const std::string& frame) {
            if (!busy) ++calls_while_idle;
            return answer_every_frame([this](int) { return reply; })(frame);
        });
        model.set_controller(de);
        open();
    }

    void text_changed(std::string_view box, const std::string& text) override {
        shown[std::string(box)] = text;
    }
    void busy_changed(bool now) override { busy = now; }
    void status_changed(const std::string& now) override { status = now; }
    void show_message(const std::string& text) override { messages.push_back(text); }
    void pump_events() override {
        if (on_events) std::exchange(on_events, {})();
    }

    // The frames a click sent, as hex, " | " between them.
    std::string click(ButtonArray array, int index = 0) {
        const std::size_t from = port->frames().size();
        model.click(array, index);
        std::string out;
        for (auto i = from; i < port->frames().size(); ++i)
            out += (out.empty() ? "" : " | ") + hex(port->frames()[i]);
        return out;
    }
    void type(const std::string& box, std::string text) { model.edit(box, shown[box] = text); }
    std::string padded_line(int index) {  // the text of zettekst line n, one byte per character
        std::string text;
        for (std::size_t i = 5; i + 1 < port->frames()[index].size(); i += 2)
            text += port->frames()[index][i];
        return text;
    }

    std::string reply;
    std::map<std::string, std::string, std::less<>> shown;
    bool busy = false;
    int calls_while_idle = 0;
    std::string status;
    std::function<void()> on_events;
    // 14:05:09 on the 3rd of December 2026, then as the fake clock moves.
    panel::PanelModel model{
        *this, [this] {
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(clock.elapsed());
            return panel::LocalTime{2026, 12, 3, 14, 5, 9, static_cast<int>(ms.count())};
        }};
};

TEST_F(PanelModelTest, TheSharedClickTable) {
    set_host_decimal_separator('.');
    for (const PanelClick& row : kPanelClicks) {
        SCOPED_TRACE(std::string(row.array) + "_" + std::to_string(row.index));
        type("Text1", std::string(row.text1));
        reply = bytes(row.reply);
        EXPECT_EQ(click(kArrays.at(row.array), row.index), row.frames);
        EXPECT_EQ(shown["Text1"], row.shown);
    }
    EXPECT_EQ(calls_while_idle, 0);
}

TEST_F(PanelModelTest, EveryDoAndWriteButton) {
    for (int index = 0; index < 72; ++index) {
        type("Text1", "123");
        const auto* row = documented_switch(kDoButtonMembers[index]);
        EXPECT_EQ(click(ButtonArray::Do, index), row ? switch_frame(*row) : "") << index;
        EXPECT_EQ(shown["Text1"], row ? "" : "123") << index;
    }
    for (const auto& [box, text] :
         {std::pair{"Text3", "3"}, {"Text4", "4"}, {"Text20", "2"}, {"Text22", "7"}})
        type(box, text);
    for (int index = 0; index < 49; ++index) {
        type("Text1", "5");
        const std::string write = kGenericWrites[index];
        const auto [frame, text1] = write == "-" ? kOwnFrames.at(index) : kForms.at(write[0]);
        const int code = write == "-" ? 0 : std::stoi(write.substr(1));
        char expected_frame[64], expected_text[32];
        std::snprintf(expected_frame, sizeof expected_frame, frame, code);
        std::snprintf(expected_text, sizeof expected_text, text1, code);
        EXPECT_EQ(click(ButtonArray::Write, index), expected_frame) << index;
        EXPECT_EQ(model.text("Text1"), expected_text) << index;
    }
}

// Item buttons show what lees_waarde gives; the counters their count / 100 under either
// separator; the blank ones do nothing.
TEST_F(PanelModelTest, ReadButtons) {
    reply = "\x01\x02\x03\x04\x05\x06";
    for (const auto& [index, item] : kItemButtons) {
        Variant tekst{static_cast<std::int16_t>(item)};
        Controller other;
        other.port->answer_with(answer_every_frame([this](int) { return reply; }));
        other.open();
        other.de->lees_waarde(tekst);
        EXPECT_EQ(click(ButtonArray::Read, index), read_request(item));
        EXPECT_EQ(shown["Text1"], tekst.to_text()) << index;
    }
    for (const auto& [separator, index, data] :
         {std::tuple{',', 10, "39 30 00 00"}, {',', 11, "39 30"}, {'.', 10, "39 30 00 00"}}) {
        set_host_decimal_separator(separator);
        reply = bytes(data);
        EXPECT_EQ(click(ButtonArray::Read, index), read_request(index == 10 ? 43 : 44));
        EXPECT_EQ(shown["Text1"], std::string("123") + separator + "45");
    }
    type("Text1", "keep");
    for (int blank = 27; blank <= 37; ++blank) EXPECT_EQ(click(ButtonArray::Read, blank), "");
    EXPECT_EQ(shown["Text1"], "keep");
}

// Sixteen lines, field n then "Dit is regel <seconds since midnight>" padded with ï to 50, each
// with the clock of its own moment.
TEST_F(PanelModelTest, TestLines) {
    click(ButtonArray::TestLines);
    ASSERT_EQ(port->frames().size(), 32u);
    const std::string first = "Dit is regel 50709", last = padded_line(31);
    EXPECT_EQ(padded_line(1), first + std::string(50 - first.size(), '\xEF'));
    for (int n = 1; n <= 16; ++n) {
        char field[32];
        std::snprintf(field, sizeof field, "02 01 00 02 A0 %02X 0D", n);
        EXPECT_EQ(hex(port->frames()[2 * n - 2]), field);
        EXPECT_EQ(padded_line(2 * n - 1).size(), 50u);
    }
    EXPECT_GT(std::stod(last.substr(13)), 50709.0);
}

// Buttons are off while a call runs; a click that arrives from the events a read lets run
// starts nothing.
TEST_F(PanelModelTest, BusyWhileACallRuns) {
    reply = "\x01";
    on_events = [this] { model.click(ButtonArray::Do, 0); };
    EXPECT_EQ(click(ButtonArray::Read, 3), read_request(35));
    EXPECT_TRUE(!on_events && !busy && !model.busy() && messages.empty());
    EXPECT_EQ(calls_while_idle, 0);
}

TEST_F(PanelModelTest, ErrorsAndThePortGroup) {
    type("Text1", "abc");
    EXPECT_EQ(click(ButtonArray::Write, 16), "");
    EXPECT_EQ(shown["Text1"], "abc|72");  // built before the member failed
    EXPECT_EQ(std::exchange(messages, {}), std::vector<std::string>{"Error 13: Type mismatch"});
    EXPECT_EQ(status, "port 1 open");  // nothing was sent

    click(ButtonArray::Do, 0);
    EXPECT_EQ(status, "port 1 open, last call: acknowledged");
    port->answer_with({});
    click(ButtonArray::Do, 0);
    EXPECT_EQ(status, "port 1 open, last call: no_reaction");

    // Close, Open on 3; diagnostics on: Open and Close twice each; off again.
    type("Text6", "3");
    for (int step : {1, 0, -1, 0, 1, 1, -1})  // -1: Meldingen wissel
        click(step < 0 ? ButtonArray::Diagnostics : ButtonArray::Port, step);
    EXPECT_EQ(port->opened_port(), 3);
    EXPECT_EQ(std::exchange(messages, {}),
              (std::vector<std::string>{"Already open", "Already closed"}));
    EXPECT_EQ(status, "port 3 closed");

    // A failed open tells the port's own reason, diagnostics or not.
    port->refuse_open(ErrorNumber::NoSuchDevice);
    click(ButtonArray::Port, 0);
    EXPECT_EQ(messages, std::vector<std::string>{"Open failed: No such device"});
}

TEST_F(PanelModelTest, ResetRestoresTheInitialTexts) {
    for (const char* box : {"Text1", "Text3", "Text6", "Text20", "Text22"}) type(box, "changed");
    model.reset();
    const std::map<std::string, std::string, std::less<>> initial = {
        {"Text1", "Text1"}, {"Text2", "Text2"}, {"Text3", "10"}, {"Text4", "10"},
        {"Text6", "10"},    {"Text20", "1"},    {"Text21", "1"}, {"Text22", "1"},
        {"Text23", "1"},    {"Text24", ""},     {"Text25", "1"}};
    EXPECT_EQ(shown, initial);
    model.set_controller(nullptr);
    EXPECT_EQ(status, "no port object");
    click(ButtonArray::Do, 0);
    EXPECT_EQ(messages.at(0).substr(0, 10), "Error 91: ");
}

TEST_F(PanelModelTest, LettingGoGivesTheHostItsMessageBoxBack) {
    std::string host_saw;
    model.set_controller(nullptr);
    de->set_message_box([&](const std::string& text) { host_saw = text; });
    model.set_controller(de);
    model.set_controller(std::make_shared<clsvyx7>());
    de->message_box()("Fout");
    EXPECT_EQ(host_saw, "Fout");
}

}  // namespace
