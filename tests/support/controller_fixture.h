// A controller wired to a scripted port on a fake clock, with its message boxes recorded.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "quarn7/clsvyx7.h"
#include "support/scripted_port.h"

namespace quarn7::testing {

struct Controller {
    Controller() {
        de->set_clock(clock);
        de->set_message_box([this](const std::string& text) { messages.push_back(text); });
        de->ComObject(Variant(std::static_pointer_cast<Object>(port)));
    }

    void open() { switch_port(true); }
    void close() { switch_port(false); }
    void switch_port(bool on) {
        Variant v(on);
        de->OpenClose(v);
    }
    void diagnostics_on() { if (de->state().meldingen_aan != -1) de->meldingen(); }
    void acknowledge_everything() {
        port->answer_with([](const std::string&) { return Answer{{1ms, std::string(1, '\x06')}}; });
    }
    // lees_data of `item`: the decoded reply, or what the read left in its argument.
    Variant read_item(int item) {
        Variant tekst(static_cast<std::int16_t>(item));
        de->lees_data(tekst);
        return tekst;
    }
    std::vector<Clock::duration> send_times() const {
        std::vector<Clock::duration> out;
        for (const auto& w : port->writes()) out.push_back(w.at.time_since_epoch());
        return out;
    }

    FakeClock clock;
    std::shared_ptr<ScriptedPort> port = std::make_shared<ScriptedPort>(clock);
    std::shared_ptr<clsvyx7> de = std::make_shared<clsvyx7>();
    std::vector<std::string> messages;
};

class ControllerTest : public ::testing::Test, protected Controller {};

}  // namespace quarn7::testing
