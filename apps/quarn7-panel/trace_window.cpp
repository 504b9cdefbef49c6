#include "trace_window.h"

#include <QFontDatabase>
#include <QMetaObject>
#include <chrono>
#include <cstdio>
#include <string>

namespace quarn7::apps {

namespace {

// A long session must not grow the window without end.
constexpr int kKeptLines = 5000;

std::string trace_line(const TraceEvent& event, Clock::time_point start) {
    const double seconds = std::chrono::duration<double>(event.time - start).count();
    char head[32];
    std::snprintf(head, sizeof head, "%10.4f  %s ", seconds,
                  event.direction == TraceEvent::Direction::Out ? "->" : "<-");
    std::string line = head;
    char byte[4];
    for (unsigned char c : event.bytes) {
        std::snprintf(byte, sizeof byte, " %02X", c);
        line += byte;
    }
    return line;
}

}  // namespace

TraceWindow::TraceWindow(Clock::time_point start) : start_(start) {
    setWindowTitle("quarn7-panel: line trace");
    setReadOnly(true);
    setMaximumBlockCount(kKeptLines);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    resize(460, 600);
}

void TraceWindow::add(const TraceEvent& event) {
    const QString line = QString::fromStdString(trace_line(event, start_));
    QMetaObject::invokeMethod(this, [this, line] { appendPlainText(line); });
}

}  // namespace quarn7::apps
