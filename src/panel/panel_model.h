// What the service panel does, without a toolkit: the texts of its entry boxes, what each click
// calls on the controller and shows, the busy state, messages and the status line. A view (Qt,
// Win32) builds its widgets from panel_tables.h, forwards clicks and the operator's edits here and
// shows what the model reports through PanelView. The panel calls only public members of its
// controller, exactly as a host would.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "panel/panel_tables.h"
#include "quarn7/clsvyx7.h"

namespace quarn7::panel {

// The local date and time of day, for the clock write and the test lines.
struct LocalTime {
    int year = 0;  // four digits
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};
using LocalClock = std::function<LocalTime()>;
LocalTime local_time_now();

// What the model asks of its view. Every call comes on the thread that clicked.
class PanelView {
public:
    // The model changed a box's text (the operator's own edits are not reported back).
    virtual void text_changed(std::string_view box, const std::string& text) = 0;
    // A call started (true) or ended: every command button is disabled while it runs.
    virtual void busy_changed(bool busy) = 0;
    // The status line: the line, open or closed, and the last call's outcome.
    virtual void status_changed(const std::string& status) = 0;
    // A message box: the controller's messages, a failed open with the port's reason, an error a
    // member raised ("Error 13: Type mismatch"). Returns once the operator has seen it.
    virtual void show_message(const std::string& text) = 0;
    // Lets the toolkit's pending events run while the controller waits for the unit.
    virtual void pump_events() = 0;

protected:
    ~PanelView() = default;
};

class PanelModel {
public:
    explicit PanelModel(PanelView& view, LocalClock clock = local_time_now);
    ~PanelModel();
    PanelModel(const PanelModel&) = delete;
    PanelModel& operator=(const PanelModel&) = delete;

    // objde2: the controller every button drives; its message box and event pump go to the view.
    void set_controller(std::shared_ptr<clsvyx7> controller);
    const std::shared_ptr<clsvyx7>& controller() const { return objde2_; }

    // Every box back at its initial text (kEntryBoxes), for a panel being shown; each box and the
    // status are reported to the view.
    void reset();

    // The operator typed into a box (a name of kEntryBoxes; others are ignored).
    void edit(std::string_view box, std::string text);
    const std::string& text(std::string_view box) const;

    // A button: its array and its index in the array (0 for a single button). Clicks that arrive
    // while a call runs (from the events the controller lets run) are ignored; so are the view's
    // own buttons (Close, OptionsOk) and indices without a button.
    void click(ButtonArray array, int index = 0);
    bool busy() const { return busy_; }

    // Opens the controller's port as the host set it up (Open without taking Text6's number); a
    // failure is shown with the port's own reason.
    void open_line();

    // "/dev/ttyS0 open, last call: acknowledged", "/dev/ttyS0 closed", "no port object".
    std::string status() const;

private:
    void detach();  // the controller's message box and event pump back to the host's
    void set_text(std::string_view box, std::string text);
    // Runs one click's work with busy set; an error raised on the way is shown, and the panel
    // goes on. The status is reported afterwards.
    void run(const std::function<void()>& work);
    void port_clicked(int index);
    void switch_port(bool open);  // OpenClose, and a failure shown
    void do_clicked(int index);
    void write_clicked(int index);
    void read_clicked(int index);
    void write_test_lines();
    Variant write_argument(const WriteButton& button);

    PanelView& view_;
    LocalClock clock_;
    std::shared_ptr<clsvyx7> objde2_;
    MessageBox host_message_box_;  // what the host had set, until the panel lets the controller go
    EventPump host_event_pump_;
    std::map<std::string, std::string, std::less<>> texts_;
    bool busy_ = false;
};

}  // namespace quarn7::panel
