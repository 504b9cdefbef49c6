#include "panel/panel_model.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <exception>
#include <utility>

#include "quarn7/error.h"

namespace quarn7::panel {

namespace {

constexpr int kOpenButton = 0;  // Command4: Open, Close
constexpr int kTestLineCount = 16;
constexpr std::size_t kTestLineLength = 50;

template <class Row, std::size_t N>
const Row* row_of(const Row (&rows)[N], int index) {
    for (const Row& row : rows) {
        if (row.index == index) return &row;
    }
    return nullptr;
}

// The Text1 box handed to a member as an object whose default property is its text, as
// automation hosts hand in their text boxes.
class TextBoxObject : public Object {
public:
    explicit TextBoxObject(const std::string& text) : text_(text) {}
    Variant default_value() const override { return Variant(text_); }

private:
    const std::string& text_;
};

// "hh:mm:ss|DD-MM-YY"
std::string clock_argument(const LocalTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d|%02d-%02d-%02d", t.hour, t.minute, t.second,
                  t.day, t.month, t.year % 100);
    return text;
}

float seconds_since_midnight(const LocalTime& t) {
    return static_cast<float>(t.hour * 3600 + t.minute * 60 + t.second + t.millisecond / 1000.0);
}

}  // namespace

LocalTime local_time_now() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &seconds);
#else
    localtime_r(&seconds, &tm);
#endif
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.millisecond = static_cast<int>(ms);
    return t;
}

PanelModel::PanelModel(PanelView& view, LocalClock clock) : view_(view), clock_(std::move(clock)) {
    for (const EntryBox& box : kEntryBoxes) texts_.emplace(box.name, box.initial);
}

PanelModel::~PanelModel() {
    detach();
}

void PanelModel::detach() {
    if (!objde2_) return;
    objde2_->set_message_box(std::move(host_message_box_));
    objde2_->set_event_pump(std::move(host_event_pump_));
}

void PanelModel::set_controller(std::shared_ptr<clsvyx7> controller) {
    detach();
    objde2_ = std::move(controller);
    if (objde2_) {
        host_message_box_ = objde2_->message_box();
        host_event_pump_ = objde2_->event_pump();
        objde2_->set_message_box([this](const std::string& text) { view_.show_message(text); });
        objde2_->set_event_pump([this] { view_.pump_events(); });
    }
    view_.status_changed(status());
}

void PanelModel::reset() {
    for (const EntryBox& box : kEntryBoxes) set_text(box.name, std::string(box.initial));
    view_.status_changed(status());
}

void PanelModel::edit(std::string_view box, std::string text) {
    const auto found = texts_.find(box);
    if (found != texts_.end()) found->second = std::move(text);
}

const std::string& PanelModel::text(std::string_view box) const {
    static const std::string none;
    const auto found = texts_.find(box);
    return found == texts_.end() ? none : found->second;
}

void PanelModel::set_text(std::string_view box, std::string text) {
    edit(box, std::move(text));
    view_.text_changed(box, this->text(box));
}

std::string PanelModel::status() const {
    const std::shared_ptr<SerialPort> port = objde2_ ? objde2_->port() : nullptr;
    if (!port) return "no port object";
    std::string status = port->line_name() + (port->PortOpen() ? " open" : " closed");
    if (const auto outcome = objde2_->last_outcome()) {
        status += ", last call: " + std::string(outcome_name(*outcome));
    }
    return status;
}

void PanelModel::click(ButtonArray array, int index) {
    if (busy_) return;
    switch (array) {
        case ButtonArray::Do:
            return do_clicked(index);
        case ButtonArray::Write:
            return write_clicked(index);
        case ButtonArray::Read:
            return read_clicked(index);
        case ButtonArray::Port:
            return port_clicked(index);
        case ButtonArray::TestLines:
            return write_test_lines();
        case ButtonArray::Diagnostics:
            return run([this] { objde2_->meldingen(); });
        case ButtonArray::Close:
        case ButtonArray::OptionsOk:
            return;
    }
}

void PanelModel::run(const std::function<void()>& work) {
    // Events run during a read; a second call must not start from them.
    busy_ = true;
    view_.busy_changed(true);
    std::string failure;
    try {
        if (!objde2_) throw Error(ErrorNumber::ObjectNotSet);
        // The status tells this call's outcome, or none when it sent nothing.
        objde2_->clear_last_outcome();
        work();
    } catch (const Error& e) {
        failure = "Error " + std::to_string(e.code()) + ": " + e.description();
    } catch (const std::exception& e) {
        // Nothing may escape into the toolkit's event loop.
        failure = e.what();
    }
    busy_ = false;
    view_.busy_changed(false);
    view_.status_changed(status());
    if (!failure.empty()) view_.show_message(failure);
}

void PanelModel::open_line() {
    if (!busy_) run([this] { switch_port(true); });
}

void PanelModel::port_clicked(int index) {
    if (index == kOpenButton) {
        run([this] {
            Variant number(Variant(text("Text6")).to_integer());
            objde2_->Poort_nummer(number);
            switch_port(true);
        });
    } else if (index == kOpenButton + 1) {
        run([this] { switch_port(false); });
    }
}

void PanelModel::switch_port(bool open) {
    Variant wanted(open);
    objde2_->OpenClose(wanted);
    // OpenClose reports a failure by message box only while diagnostics are on.
    const std::string reason = objde2_->last_open_error();
    if (!reason.empty() && objde2_->port()->PortOpen() != open) {
        view_.show_message((open ? "Open failed: " : "Close failed: ") + reason);
    }
}

void PanelModel::do_clicked(int index) {
    const DoButton* button = row_of(kDoButtons, index);
    if (!button || !button->enabled) return;
    set_text("Text1", "");
    run([&] { (objde2_.get()->*switch_member(*button))(); });
}

Variant PanelModel::write_argument(const WriteButton& button) {
    const std::string code = std::to_string(button.code);
    std::string built;
    switch (button.form) {
        case WriteForm::Value:
            built = text("Text1") + "|" + code;
            break;
        case WriteForm::FieldNumber:
            built = text("Text22") + "|" + code;
            break;
        case WriteForm::Window:
            built = text("Text3") + "|" + text("Text4") + "|" + code;
            break;
        case WriteForm::TextFieldWindow:
            built = text("Text3") + "|" + text("Text4") + "|" +
                    signed_form(button.code + leading_number(text("Text20")));
            break;
        case WriteForm::Clock:
            return Variant(clock_argument(clock_()));
        case WriteForm::Text1:
            return Variant(text("Text1"));
        case WriteForm::SystemTextField:
            return Variant(text("Text23"));
    }
    set_text("Text1", built);
    return Variant(built);
}

void PanelModel::write_clicked(int index) {
    const WriteButton* button = row_of(kWriteButtons, index);
    if (!button) return;
    run([&] {
        Variant argument = write_argument(*button);
        (objde2_.get()->*button->member)(argument);
    });
}

void PanelModel::read_clicked(int index) {
    const ReadButton* button = row_of(kReadButtons, index);
    if (!button) return;
    switch (button->form) {
        case ReadForm::Item:
            run([&] {
                Variant tekst(std::int16_t{button->item});
                objde2_->lees_waarde(tekst);
                set_text("Text1", tekst.to_text());
            });
            break;
        case ReadForm::Counter:
            run([&] {
                // The members give tenths; the operator reads hundredths, whatever the host's
                // decimal separator.
                const Variant tenths = (objde2_.get()->*button->counter)();
                set_text("Text1", Variant(tenths.to_double() / 10).to_text());
            });
            break;
        case ReadForm::SystemText:
            run([&] {
                Variant box(std::make_shared<TextBoxObject>(text("Text1")));
                objde2_->schrijf_systeemtekstveld(box);
            });
            break;
        case ReadForm::Blank:
            break;
    }
}

void PanelModel::write_test_lines() {
    run([&] {
        for (int n = 1; n <= kTestLineCount; ++n) {
            // Each line carries the clock of its own moment.
            std::string line = "Dit is regel" + signed_form(seconds_since_midnight(clock_()), true);
            const std::size_t head = line.size();
            for (std::size_t i = head; i < kTestLineLength; ++i) line += "ï";
            Variant x(static_cast<std::int16_t>(n));
            Variant y(std::int16_t{1});
            Variant tekst(line);
            objde2_->zettekst_x_y(x, y, tekst);
        }
    });
}

}  // namespace quarn7::panel
