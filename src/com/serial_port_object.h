// Quarn7.SerialPort: a Windows COM port with the seven properties of a serial-port control, for
// hosts that have no such control of their own.
#pragma once

#include <memory>

#include "com/automation.h"
#include "platform/win32/win32_port.h"
#include "tarnvyx7.h"

namespace quarn7::com {

class SerialPortObject final : public Automation<ISerialPort> {
  public:
    explicit SerialPortObject(std::shared_ptr<Win32Port> port = std::make_shared<Win32Port>());

    std::shared_ptr<Object> native() override { return port_; }

    STDMETHODIMP get_PortOpen(VARIANT_BOOL* result) override;
    STDMETHODIMP put_PortOpen(VARIANT_BOOL value) override;
    STDMETHODIMP get_CommPort(short* result) override;
    STDMETHODIMP put_CommPort(short value) override;
    STDMETHODIMP get_Settings(BSTR* result) override;
    STDMETHODIMP put_Settings(BSTR value) override;
    STDMETHODIMP get_Handshaking(long* result) override;
    STDMETHODIMP put_Handshaking(long value) override;
    STDMETHODIMP put_Output(VARIANT value) override;
    STDMETHODIMP get_InBufferCount(short* result) override;
    STDMETHODIMP get_Input(VARIANT* result) override;

  private:
    // A property get: the out-value is empty unless `value` gives one.
    template <class T, class Value>
    HRESULT read(T* result, Value value) {
        if (result == nullptr) return E_POINTER;
        *result = T{};
        return guarded([&] { *result = value(); });
    }

    std::shared_ptr<Win32Port> port_;
};

}  // namespace quarn7::com
