#include "quarn7/simulated_unit.h"

#include <functional>
#include <stdexcept>
#include <utility>

#include "sim/sim_port.h"
#include "sim/unit.h"
#ifndef _WIN32
#include "quarn7/termios_port.h"
#include "sim/pty_line.h"
#endif

namespace quarn7::sim {

struct SimulatedUnit::Impl {
    explicit Impl(const Builder& options)
        : unit(std::make_shared<Unit>(UnitOptions{options.paced_, options.turnaround_,
                                                  options.faults_, options.log_,
                                                  options.on_frame_, options.on_noise_})) {}
    // A host that still holds the port sees the line go away.
    ~Impl() { unit->request_hang_up(); }

    std::shared_ptr<Unit> unit;
    std::shared_ptr<SerialPort> port;  // the host's end
    std::string device_path;           // "" in process
    std::function<void()> close_line;
    std::shared_ptr<void> pty;  // the pseudo-terminal's line, where there is one
};

// --- Builder ---

SimulatedUnit::Builder& SimulatedUnit::Builder::paced(bool on) {
    paced_ = on;
    return *this;
}
SimulatedUnit::Builder& SimulatedUnit::Builder::turnaround(std::chrono::microseconds t) {
    turnaround_ = t;
    return *this;
}
SimulatedUnit::Builder& SimulatedUnit::Builder::faults(Faults f) {
    faults_ = std::move(f);
    return *this;
}
SimulatedUnit::Builder& SimulatedUnit::Builder::link(std::string path) {
    link_ = std::move(path);
    return *this;
}
SimulatedUnit::Builder& SimulatedUnit::Builder::log_frames(bool on) {
    log_ = on;
    return *this;
}
SimulatedUnit::Builder& SimulatedUnit::Builder::on_frame(
    std::function<void(const LoggedFrame&)> observer) {
    on_frame_ = std::move(observer);
    return *this;
}
SimulatedUnit::Builder& SimulatedUnit::Builder::on_noise(
    std::function<void(std::chrono::steady_clock::time_point, const std::string&)> observer) {
    on_noise_ = std::move(observer);
    return *this;
}
std::unique_ptr<SimulatedUnit> SimulatedUnit::Builder::build() {
#ifdef _WIN32
    throw std::runtime_error("No pseudo-terminals here: the simulated unit runs in process only");
#else
    auto impl = std::make_unique<Impl>(*this);
    auto pty = std::make_shared<PtyLine>(*impl->unit, link_);
    auto port = std::make_shared<TermiosPort>();
    port->bind(pty->device_path());
    impl->port = std::move(port);
    impl->device_path = pty->device_path();
    impl->close_line = [line = pty.get()] { line->close_line(); };
    impl->pty = std::move(pty);
    return std::unique_ptr<SimulatedUnit>(new SimulatedUnit(std::move(impl)));
#endif
}

std::unique_ptr<SimulatedUnit> SimulatedUnit::Builder::build_in_process() {
    auto impl = std::make_unique<Impl>(*this);
    impl->port = std::make_shared<SimPort>(impl->unit);
    impl->close_line = [unit = impl->unit.get()] { unit->request_hang_up(); };
    return std::unique_ptr<SimulatedUnit>(new SimulatedUnit(std::move(impl)));
}

// --- SimulatedUnit ---

SimulatedUnit::SimulatedUnit(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SimulatedUnit::~SimulatedUnit() = default;

const std::string& SimulatedUnit::device_path() const {
    return impl_->device_path;
}

std::shared_ptr<SerialPort> SimulatedUnit::port() {
    return impl_->port;
}

void SimulatedUnit::set_faults(const Faults& faults) {
    impl_->unit->set_faults(faults);
}

Faults SimulatedUnit::faults() const {
    return impl_->unit->faults();
}

std::vector<LoggedFrame> SimulatedUnit::frames() const {
    return impl_->unit->frames();
}

std::string SimulatedUnit::noise() const {
    return impl_->unit->noise();
}

void SimulatedUnit::clear_frames() {
    impl_->unit->clear_frames();
}

UnitState SimulatedUnit::state() const {
    return impl_->unit->state();
}

void SimulatedUnit::set_tilt(std::uint16_t digital, std::uint16_t analogue) {
    impl_->unit->set_tilt(digital, analogue);
}

void SimulatedUnit::set_item_data(int item, std::string data) {
    impl_->unit->set_item_data(item, std::move(data));
}

void SimulatedUnit::close_line() {
    impl_->close_line();
}

bool SimulatedUnit::wait_for_frames(std::size_t count, std::chrono::milliseconds timeout) const {
    return impl_->unit->wait_for_frames(count, timeout);
}

}  // namespace quarn7::sim
