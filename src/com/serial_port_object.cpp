#include "com/serial_port_object.h"

#include <algorithm>
#include <limits>

#include "platform/codepage.h"

namespace quarn7::com {

namespace {

constexpr const wchar_t* kSource = L"Quarn7.SerialPort";

}  // namespace

SerialPortObject::SerialPortObject(std::shared_ptr<Win32Port> port)
    : Automation(kSource), port_(std::move(port)) {}

STDMETHODIMP SerialPortObject::get_PortOpen(VARIANT_BOOL* result) {
    return read(result, [&] { return port_->PortOpen() ? VARIANT_TRUE : VARIANT_FALSE; });
}

STDMETHODIMP SerialPortObject::put_PortOpen(VARIANT_BOOL value) {
    return guarded([&] { port_->PortOpen(value != VARIANT_FALSE); });
}

STDMETHODIMP SerialPortObject::get_CommPort(short* result) {
    return read(result, [&] { return port_->CommPort(); });
}

STDMETHODIMP SerialPortObject::put_CommPort(short value) {
    return guarded([&] { port_->CommPort(value); });
}

STDMETHODIMP SerialPortObject::get_Settings(BSTR* result) {
    return read(result, [&] { return make_bstr(port_->Settings()); });
}

STDMETHODIMP SerialPortObject::put_Settings(BSTR value) {
    return guarded([&] { port_->Settings(bstr_text(value)); });
}

STDMETHODIMP SerialPortObject::get_Handshaking(long* result) {
    return read(result, [&] { return long{port_->Handshaking()}; });
}

STDMETHODIMP SerialPortObject::put_Handshaking(long value) {
    return guarded([&] {
        if (value < 0 || value > 3) throw Error(ErrorNumber::InvalidPropertyValue);
        port_->Handshaking(static_cast<int>(value));
    });
}

STDMETHODIMP SerialPortObject::put_Output(VARIANT value) {
    return guarded([&] { port_->Output(to_cp1252(from_variant(value).to_text())); });
}

STDMETHODIMP SerialPortObject::get_InBufferCount(short* result) {
    return read(result, [&] {
        const int count = port_->InBufferCount();
        return static_cast<short>(std::min(count, int{std::numeric_limits<short>::max()}));
    });
}

STDMETHODIMP SerialPortObject::get_Input(VARIANT* result) {
    if (result == nullptr) return E_POINTER;
    VariantInit(result);
    return guarded([&] { to_variant(Variant(from_cp1252(port_->Input())), *result); });
}

}  // namespace quarn7::com
