// quarn7-panel: the service panel against a serial device or the built-in simulated unit, with a
// window that traces every byte on the line.
#include <CLI/CLI.hpp>
#include <QApplication>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/line.h"
#include "quarn7/clsvyx7.h"
#include "panel/panel.h"
#include "trace_window.h"

namespace {

using namespace quarn7;

struct Options {
    std::string device;
    std::optional<std::int16_t> port_number;
    bool simulate = false;
    apps::SimOptions sim;
    std::string screenshot;
};

// A screenshot needs no display: render off screen unless the caller chose a platform.
void prefer_offscreen() {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

int run(QApplication& qt, const Options& options) {
    panel::install();
    const auto start = steady_clock().now();
    apps::TraceWindow trace(start);

    auto de = std::make_shared<clsvyx7>();
    de->set_trace([&trace](const TraceEvent& event) { trace.add(event); });
    const apps::Line line = apps::attach_line(*de, options.simulate, options.sim, options.device);

    Variant self(std::static_pointer_cast<Object>(de));
    de->settings(self);
    panel::frm_vyx7* frm = panel::instance();
    // A screenshot has nobody to close a message box.
    if (!options.screenshot.empty()) frm->set_message_box(stderr_message_box());

    // Given a line, the panel opens it as the host set it up, a failure shown with the port's
    // reason; otherwise the operator types the port number into the panel and clicks "Open".
    if (options.simulate || !options.device.empty() || options.port_number) {
        if (options.port_number) {
            Variant number(*options.port_number);
            de->Poort_nummer(number);
        }
        frm->model().open_line();
    }

    int status = 0;
    if (!options.screenshot.empty()) {
        QApplication::processEvents();
        if (!frm->grab().save(QString::fromStdString(options.screenshot), "PNG")) {
            std::cerr << "quarn7-panel: cannot write " << options.screenshot << '\n';
            status = 1;
        }
    } else {
        trace.move(frm->frameGeometry().topRight());
        trace.show();
        QObject::connect(frm, &panel::frm_vyx7::closed, &qt, &QApplication::quit);
        status = qt.exec();
    }

    de->set_trace({});
    if (line.port->PortOpen()) {
        Variant closed(false);
        de->OpenClose(closed);
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    CLI::App app{
        "The overlay unit's service panel, with a trace of every byte on the line.\n"
        "Qt's own options (-platform NAME, ...) are passed on to Qt.",
        "quarn7-panel"};
    auto* device = app.add_option("--device", options.device,
                                  "Serial device or tcp://HOST:PORT, rfc2217://HOST:PORT");
    auto* port = app.add_option("--port", options.port_number,
                                "Port number to open (device from the number mapping)");
    auto* simulate = app.add_flag("--simulate", options.simulate,
                                  "Use the built-in simulated unit on a pseudo-terminal");
    simulate->excludes(device);
    simulate->excludes(port);
    device->excludes(port);
    apps::add_sim_options(app, options.sim);
    app.add_option("--screenshot", options.screenshot, "Render the panel to this PNG and exit");
    app.allow_extras();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;  // a usage error, as in quarn7
    }

    // Qt gets what the options above left; whatever Qt does not take either is a mistake.
    std::vector<std::string> qt_args{argv[0]};
    for (const std::string& extra : app.remaining()) qt_args.push_back(extra);
    std::vector<char*> qt_argv;
    for (std::string& arg : qt_args) qt_argv.push_back(arg.data());
    qt_argv.push_back(nullptr);
    int qt_argc = static_cast<int>(qt_args.size());
    if (!options.screenshot.empty()) prefer_offscreen();
    QApplication qt(qt_argc, qt_argv.data());
    if (qt_argc > 1) {
        std::cerr << "quarn7-panel: unknown argument " << qt_argv[1] << " (see --help)\n";
        return 2;
    }

    try {
        return run(qt, options);
    } catch (const std::exception& e) {
        std::cerr << "quarn7-panel: " << e.what() << '\n';
        return 1;
    }
}
