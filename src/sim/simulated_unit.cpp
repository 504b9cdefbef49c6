#include "quarn7/simulated_unit.h"

#include <utility>

#include "quarn7/termios_port.h"
#include "sim/pty_line.h"
#include "sim/sim_port.h"
#include "sim/unit.h"

namespace quarn7::sim {

struct SimulatedUnit::Impl {
    explicit Impl(const Builder& options)
        : unit(std::make_shared<Unit>(UnitOptions{options.paced_, options.turnaround_,
                                                  options.faults_, options.log_,
                                                  options.on_frame_, options.on_noise_})) {}
    ~Impl() {
        // A host that still holds the in-process port sees the line go away.
        if (!pty) unit->request_hang_up();
    }

    std::shared_ptr<Unit> unit;
    std::unique_ptr<PtyLine> pty;  // none in process
    std::shared_ptr<SerialPort> port;
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
    auto impl = std::make_unique<Impl>(*this);
    impl->pty = std::make_unique<PtyLine>(*impl->unit, link_);
    auto port = std::make_shared<TermiosPort>();
    port->bind(impl->pty->device_path());
    impl->port = std::move(port);
    return std::unique_ptr<SimulatedUnit>(new SimulatedUnit(std::move(impl)));
}

std::unique_ptr<SimulatedUnit> SimulatedUnit::Builder::build_in_process() {
    auto impl = std::make_unique<Impl>(*this);
    impl->port = std::make_shared<SimPort>(impl->unit);
    return std::unique_ptr<SimulatedUnit>(new SimulatedUnit(std::move(impl)));
}

// --- SimulatedUnit ---

SimulatedUnit::SimulatedUnit(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SimulatedUnit::~SimulatedUnit() = default;

const std::string& SimulatedUnit::device_path() const {
    static const std::string none;
    return impl_->pty ? impl_->pty->device_path() : none;
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
    if (impl_->pty) {
        impl_->pty->close_line();
    } else {
        impl_->unit->request_hang_up();
    }
}

bool SimulatedUnit::wait_for_frames(std::size_t count, std::chrono::milliseconds timeout) const {
    return impl_->unit->wait_for_frames(count, timeout);
}

}  // namespace quarn7::sim
