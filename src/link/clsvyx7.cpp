// The controller's state, its link members and the guard that keeps calls apart.
#include "quarn7/clsvyx7.h"

#include "link/call.h"
#include "protocol/frame.h"
#include "quarn7/error.h"

namespace quarn7 {
namespace {

std::mutex panel_opener_mutex;
PanelOpener& installed_panel_opener() {
    static PanelOpener opener;
    return opener;
}

}  // namespace

void set_panel_opener(PanelOpener opener) {
    const std::lock_guard lock(panel_opener_mutex);
    installed_panel_opener() = std::move(opener);
}

std::string_view outcome_name(Outcome outcome) {
    switch (outcome) {
        case Outcome::Acknowledged: return "acknowledged";
        case Outcome::Refused: return "refused";
        case Outcome::NoReaction: return "no_reaction";
        case Outcome::PortClosed: return "port_closed";
        case Outcome::ReplyReceived: return "reply_received";
        case Outcome::SendFailed: return "send_failed";
        case Outcome::Damaged: return "damaged";
    }
    return "unknown";
}

clsvyx7::Call::Call(clsvyx7& controller) : c_(controller) {
    if (c_.caller_.load() == std::this_thread::get_id() && c_.foreign_depth_.load() > 0) {
        throw Error(ErrorNumber::CallRefused,
                    "Call refused: this controller is still busy with a call that waits for the "
                    "unit");
    }
    c_.call_mutex_.lock();
    c_.caller_ = std::this_thread::get_id();
    ++c_.call_depth_;
}

clsvyx7::Call::~Call() {
    if (--c_.call_depth_ == 0) c_.caller_ = std::thread::id{};
    c_.call_mutex_.unlock();
}

clsvyx7::clsvyx7() : message_box_(stderr_message_box()), clock_(&steady_clock()) {}

clsvyx7::~clsvyx7() = default;

Variant clsvyx7::regel() {
    const Call call(*this);
    return Variant(regel_);
}

void clsvyx7::regel(Variant& value) {
    const Call call(*this);
    regel_ = value.to_integer();
}

Variant clsvyx7::kolom() {
    const Call call(*this);
    return Variant(kolom_);
}

void clsvyx7::kolom(Variant& value) {
    const Call call(*this);
    kolom_ = value.to_integer();
}

Variant clsvyx7::mvarComObject() {
    const Call call(*this);
    return Variant(std::static_pointer_cast<Object>(port_));
}

void clsvyx7::mvarComObject(Variant& port) {
    const Call call(*this);
    attach_port(port);
}

void clsvyx7::ComObject(Variant port) {
    const Call call(*this);
    attach_port(port);
}

void clsvyx7::attach_port(const Variant& port) {
    if (port.type() != VarType::Object) {
        throw Error(ErrorNumber::TypeMismatch, "The port object must be a serial port object");
    }
    auto serial = std::dynamic_pointer_cast<SerialPort>(port.object());
    if (port.object() && !serial) {
        throw Error(ErrorNumber::TypeMismatch, "The object handed in is not a serial port");
    }
    port_ = std::move(serial);
    if (port_) {
        port_->set_trace(trace_);
        port_->set_trace_clock(*clock_);
    }
}

SerialPort& clsvyx7::require_port() {
    if (!port_) throw Error(ErrorNumber::ObjectNotSet, "No serial port object was handed in");
    return *port_;
}

void clsvyx7::OpenClose(Variant& blnValue) {
    const Call call(*this);
    const bool open = blnValue.to_bool();
    SerialPort& port = require_port();
    if (port.PortOpen() == open) {
        if (diagnostics_on()) show(open ? "Already open" : "Already closed");
        return;
    }
    // A failed open or close is no error to the caller: the port object's state tells.
    last_open_error_.clear();
    try {
        if (open) {
            open_at_line_settings(port);
        } else {
            port.PortOpen(false);
        }
    } catch (const Error& e) {
        last_open_error_ = e.description();
        if (diagnostics_on()) show(open ? "Illegal port number" : "");
    }
}

void clsvyx7::open_port() {
    const Call call(*this);
    open_at_line_settings(require_port());
}

void clsvyx7::open_at_line_settings(SerialPort& port) {
    port.Settings(wire::kLineSettings);
    port.Handshaking(wire::kHandshaking);
    port.PortOpen(true);
}

Variant clsvyx7::Poort_nummer() {
    const Call call(*this);
    return Variant(require_port().CommPort());
}

void clsvyx7::Poort_nummer(Variant& value) {
    const Call call(*this);
    const std::int16_t number = value.to_integer();
    SerialPort& port = require_port();
    if (port.PortOpen()) return;  // the number only changes while the port is closed
    port.CommPort(number);
}

void clsvyx7::settings(Variant& test) {
    const Call call(*this);
    auto controller = std::dynamic_pointer_cast<clsvyx7>(test.object());
    if (!controller) {
        throw Error(ErrorNumber::TypeMismatch, "settings needs a controller object");
    }
    PanelOpener opener;
    {
        const std::lock_guard lock(panel_opener_mutex);
        opener = installed_panel_opener();
    }
    if (!opener) throw Error(ErrorNumber::PanelUnavailable);
    opener(std::move(controller));
}

void clsvyx7::dat_leeg() {
    const Call call(*this);
    for (auto& entry : s_.data_tabel) entry.clear();
}

void clsvyx7::meldingen() {
    const Call call(*this);
    s_.meldingen_aan = static_cast<std::int16_t>(~s_.meldingen_aan);
}

void clsvyx7::show(const std::string& text) {
    if (!message_box_) return;
    const ForeignCode host_code(*this);
    message_box_(text);
}

std::optional<Outcome> clsvyx7::last_outcome() const {
    const std::lock_guard lock(call_mutex_);
    return last_outcome_;
}

void clsvyx7::clear_last_outcome() {
    const Call call(*this);
    last_outcome_.reset();
}

LinkState clsvyx7::state() const {
    const std::lock_guard lock(call_mutex_);
    return s_;
}

std::string clsvyx7::last_open_error() const {
    const std::lock_guard lock(call_mutex_);
    return last_open_error_;
}

void clsvyx7::set_message_box(MessageBox box) {
    const Call call(*this);
    message_box_ = std::move(box);
}

void clsvyx7::set_event_pump(EventPump pump) {
    const Call call(*this);
    event_pump_ = std::move(pump);
}

MessageBox clsvyx7::message_box() const {
    const std::lock_guard lock(call_mutex_);
    return message_box_;
}

EventPump clsvyx7::event_pump() const {
    const std::lock_guard lock(call_mutex_);
    return event_pump_;
}

void clsvyx7::set_clock(Clock& clock) {
    const Call call(*this);
    clock_ = &clock;
    if (port_) port_->set_trace_clock(clock);
}

void clsvyx7::set_trace(TraceSink sink) {
    const Call call(*this);
    trace_ = std::move(sink);
    if (port_) port_->set_trace(trace_);
}

void clsvyx7::set_fast_reads(bool on) {
    const Call call(*this);
    fast_reads_ = on;
}

std::shared_ptr<SerialPort> clsvyx7::port() const {
    const std::lock_guard lock(call_mutex_);
    return port_;
}

}  // namespace quarn7
