// A controller wired to a scripted port on a fake clock, with its message boxes recorded.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/clsvyx7.h"
#include "support/scripted_port.h"

namespace quarn7::testing {

class ControllerTest : public ::testing::Test {
protected:
    ControllerTest() {
        de->set_clock(clock);
        de->set_message_box([this](const std::string& text) { messages.push_back(text); });
        Variant object(std::static_pointer_cast<Object>(port));
        de->ComObject(object);
    }

    void open() {
        Variant yes(true);
        de->OpenClose(yes);
    }
    void close() {
        Variant no(false);
        de->OpenClose(no);
    }
    void diagnostics_on() {
        if (de->state().meldingen_aan != -1) de->meldingen();
    }
    // ACK shortly after every frame.
    void acknowledge_everything() {
        port->answer_with([](const std::string&) { return Answer{{1ms, std::string(1, '\x06')}}; });
    }

    FakeClock clock;
    std::shared_ptr<ScriptedPort> port = std::make_shared<ScriptedPort>(clock);
    std::shared_ptr<clsvyx7> de = std::make_shared<clsvyx7>();
    std::vector<std::string> messages;
};

}  // namespace quarn7::testing
