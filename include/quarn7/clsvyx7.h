// The overlay unit's controller. A host hands it a serial port object, sets the port number,
// opens the port and calls its members; every member that talks to the unit fills the command
// words and runs one of the three transactions (voeruit1 do-command, voeruit3 value write,
// voeruit5 read).
//
// Members keep the automation interface's names, arguments and write-backs: property gets return
// a Variant, property lets are overloads taking the value, arguments passed by reference are
// Variant&. Errors are quarn7::Error. Calls are serialised: another thread's call waits for the
// running one; a call made from inside this controller's own waits (its event pump or message
// box) is refused with CallRefused.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "quarn7/clock.h"
#include "quarn7/export.h"
#include "quarn7/serial_port.h"
#include "quarn7/services.h"
#include "quarn7/switch_list.h"
#include "quarn7/variant.h"

namespace quarn7 {

// What the last transaction ended in.
enum class Outcome {
    Acknowledged,   // do-command or write: a reply other than a refusal
    Refused,        // do-command or write: the reply started with NAK
    NoReaction,     // no (complete) reply after the last send
    PortClosed,     // nothing sent: the port was closed
    ReplyReceived,  // read: a complete reply
    SendFailed,     // read: the port object failed while sending (the attempt went on)
    Damaged,        // do-command or write: the answer held a byte damaged on the line
};
QUARN7_API std::string_view outcome_name(Outcome outcome);  // "acknowledged", "refused", ...

// The controller's working state, readable for diagnostics and tests.
struct LinkState {
    std::int16_t commando_code = 0;
    std::int16_t commando_soort = 0;  // 0 do-command, 1 read, 2 write
    std::int16_t lengte_laag = 0;
    std::int16_t lengte_hoog = 0;
    std::string commando_frame;  // bytes
    std::string schrijf_data;    // bytes
    std::array<std::string, 81> data_tabel{};
    std::int16_t meldingen_aan = 0;  // 0 off, -1 on
};

class clsvyx7;
// Installed by the panel library: shows the service panel driving `controller`.
using PanelOpener = std::function<void(std::shared_ptr<clsvyx7> controller)>;
QUARN7_API void set_panel_opener(PanelOpener opener);

class QUARN7_API clsvyx7 : public Object, public std::enable_shared_from_this<clsvyx7> {
public:
    clsvyx7();
    ~clsvyx7() override;
    clsvyx7(const clsvyx7&) = delete;
    clsvyx7& operator=(const clsvyx7&) = delete;

    // --- Link and state (interface order) ---
    Variant regel();
    void regel(Variant& value);
    Variant kolom();
    void kolom(Variant& value);
    Variant mvarComObject();
    void mvarComObject(Variant& port);  // set by reference: a SerialPort object
    void ComObject(Variant port);       // let: a SerialPort object, TypeMismatch otherwise
    void OpenClose(Variant& blnValue);
    Variant Poort_nummer();
    void Poort_nummer(Variant& value);
    void settings(Variant& test);  // shows the service panel driving `test` (a clsvyx7)
    void dat_leeg();
    void floating_point_lezen(Variant& Waarde);
    void floating_point_zetten(Variant& Waarde, Variant& opdr);

    // --- Switch commands (interface order; the colour write stands among them) ---
#define QUARN7_DECLARE_SWITCH(member, code, lengte_laag) void member();
    QUARN7_SWITCH_COMMANDS(QUARN7_DECLARE_SWITCH)
#undef QUARN7_DECLARE_SWITCH
    void overlay_wit_zwart_wissel(Variant& kleur);

    void voeruit1();

    // --- Reads ---
    Variant afstand();
    Variant afstand2();
    Variant lees_data(Variant& tekst);
    Variant lees_tijd(Variant& tekst);
    Variant lees_waarde(Variant& tekst);

    // --- Writes ---
    void afstand(Variant& value);
    void afstand2(Variant& value);
    void foto_nummer(Variant& Waarde);
    void schrijf_2byte_waarde(Variant& tekst);
    void schrijf_commando(Variant& tekst);
    void kies_systeemtekstveld(Variant& value);
    void schrijf_systeemtekstveld(Variant& value);
    void schrijf_tekst_veld(Variant& value);
    void venster_zetten(Variant& value);
    void waarde_schrijven(Variant& tekst);
    void eenheid_lc1(Variant& Waarde);
    void eenheid_lc2(Variant& Waarde);
    void factor_lc1(Variant& Waarde);
    void factor_lc2(Variant& Waarde);
    void eenheid_temperatuur(Variant& Waarde);
    void tijd(Variant& value);
    void videoteller(Variant& tekst);

    void voeruit3();
    void voeruit5(Variant& tekst);
    void ZetTekst(Variant& tekst, Variant& veld);
    void zettekst_x_y(Variant& x, Variant& y, Variant& tekst);
    void meldingen();
    void hooglaag(Variant& Waarde, Variant& hoog, Variant& laag);
    Variant revisie(Variant& tekst);
    Variant constante_zelmar5(Variant& tekst);
    Variant helling_instant();
    Variant helling_instant_ana();

    // --- Beyond the automation interface ---
    std::optional<Outcome> last_outcome() const;
    void clear_last_outcome();
    LinkState state() const;
    void set_message_box(MessageBox box);
    void set_event_pump(EventPump pump);
    // The sinks in place, for a host (the panel) that stands in for a while and puts them back.
    MessageBox message_box() const;
    EventPump event_pump() const;
    void set_clock(Clock& clock);  // unit tests drive time by hand
    // Byte trace of every write and read of the port (also applied to ports handed in later).
    void set_trace(TraceSink sink);
    // Reads end their first wait as soon as the complete reply is in (off by default).
    void set_fast_reads(bool on);
    // The port object as the class's own type (nullptr when none was handed in).
    std::shared_ptr<SerialPort> port() const;
    // Opens the port object at the unit's line settings, as OpenClose does, but raises the port's
    // own error (no such device, permission denied, port busy) where OpenClose only reports it.
    void open_port();
    // Why the last OpenClose failed to open or close the port ("" when it did not fail): the
    // member itself reports that only by message box.
    std::string last_open_error() const;

private:
    class Call;  // serialises calls; refuses re-entry from inside the controller's waits
    class ForeignCode;  // marks a wait in which host code (events, a message box) may run

    SerialPort& require_port();
    void open_at_line_settings(SerialPort& port);
    void attach_port(const Variant& port);
    bool diagnostics_on() const { return s_.meldingen_aan == -1; }
    // Readings are worked out only from a reply: an echo or silence measured nothing.
    bool reply_received() const { return last_outcome_ == Outcome::ReplyReceived; }
    void show(const std::string& text);  // the message box
    void run_switch(std::uint8_t code, std::uint8_t lengte_laag);
    Variant tilt(std::int16_t item);  // helling_instant's read, of either tilt
    // A one-byte setting write under a fixed code.
    void write_setting(std::uint8_t code, const Variant& value);
    // Sends a do-command or write frame until the unit answers, at most six times.
    void acknowledged_send(const std::string& frame, const std::string& echo);
    bool wait_for_reply_start(SerialPort& port, Clock::duration window);
    // After a damaged or unreadable answer: the attempt runs its course, what arrives is dropped.
    void skip_damaged_answer(SerialPort& port, Clock::time_point attempt_end);
    // The read's first wait: host events run; with fast reads it ends once `reply` is complete.
    void wait_after_request(SerialPort& port, std::string& reply, Clock::time_point deadline);

    LinkState s_;
    std::int16_t regel_ = 0;
    std::int16_t kolom_ = 0;
    std::shared_ptr<SerialPort> port_;
    MessageBox message_box_;
    EventPump event_pump_;
    Clock* clock_;
    TraceSink trace_;
    bool fast_reads_ = false;
    std::optional<Outcome> last_outcome_;
    std::string last_open_error_;

    mutable std::recursive_mutex call_mutex_;
    std::atomic<std::thread::id> caller_{};
    int call_depth_ = 0;
    std::atomic<int> foreign_depth_ = 0;
};

}  // namespace quarn7
