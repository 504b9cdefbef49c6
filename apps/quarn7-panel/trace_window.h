// Every byte the panel's controller exchanges with the unit: time, direction and hex, one line per
// write or read of the port.
#pragma once

#include <QPlainTextEdit>

#include "quarn7/serial_port.h"

namespace quarn7::apps {

class TraceWindow : public QPlainTextEdit {
public:
    explicit TraceWindow(Clock::time_point start);

    // Safe from any thread: the line is added on the window's own.
    void add(const TraceEvent& event);

private:
    Clock::time_point start_;
};

}  // namespace quarn7::apps
