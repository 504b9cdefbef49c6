// A host's own object reached by name through its IDispatch: as a serial port, the seven
// properties of a serial-port control, text crossing as BSTR with one character per byte (code
// page 1252, as such controls expect); as a value, its default property (a text box handed in).
#pragma once

#include <dispex.h>
#include <ole2.h>

#include <map>
#include <string>

#include "quarn7/serial_port.h"
#include "platform/win32/windows_api.h"

namespace quarn7::com {

class DispatchPort final : public SerialPort {
  public:
    explicit DispatchPort(IDispatch* object);
    ~DispatchPort() override;
    DispatchPort(const DispatchPort&) = delete;
    DispatchPort& operator=(const DispatchPort&) = delete;

    IDispatch* dispatch() const { return object_; }
    Variant default_value() const override;

  protected:
    bool is_open() const override;
    // CommPort, Settings and Handshaking go to the object just before it opens: they only
    // change while the port is closed.
    void open_port() override;
    void close_port() override;
    void write_bytes(std::string_view bytes) override;
    int bytes_waiting() override;
    std::string read_waiting() override;
    // The control offers no wait: InBufferCount is asked every few milliseconds.
    bool wait_readable(Clock::duration timeout) override;

  private:
    Variant get(const wchar_t* name) const;
    void put(const wchar_t* name, const Variant& value);
    DISPID id_of(const wchar_t* name) const;
    // Script objects that only name their members through IDispatchEx (Wine's VBScript classes).
    HRESULT script_id_of(const wchar_t* name, DISPID& id) const;
    Variant invoke(DISPID id, const wchar_t* name, WORD flags, DISPPARAMS& params) const;

    IDispatch* object_;
    mutable std::map<std::wstring, DISPID> ids_;
    bool adopting_ = false;  // while the object's own port number is taken over
};

}  // namespace quarn7::com
