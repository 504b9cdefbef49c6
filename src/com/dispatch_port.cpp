#include "com/dispatch_port.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "com/automation.h"
#include "platform/codepage.h"
#include "platform/win32/wide_text.h"

namespace quarn7::com {

namespace {

// How often a wait asks InBufferCount: a reply starts well within one reply window of 0.1 s.
constexpr auto kPollInterval = std::chrono::milliseconds(2);

}  // namespace

DispatchPort::DispatchPort(IDispatch* object) : object_(object) {
    object_->AddRef();
    // The number the host gave its object carries over. An object without one is no port (a text
    // box handed in as a value) and keeps the default.
    try {
        const Variant number = get(L"CommPort");
        adopting_ = true;
        CommPort(number.to_integer());
    } catch (const Error&) {
    }
    adopting_ = false;
}

DispatchPort::~DispatchPort() {
    object_->Release();
}

Variant DispatchPort::default_value() const {
    DISPPARAMS none{};
    return invoke(DISPID_VALUE, L"default property", DISPATCH_PROPERTYGET, none);
}

bool DispatchPort::is_open() const {
    return !adopting_ && get(L"PortOpen").to_bool();
}

void DispatchPort::open_port() {
    put(L"CommPort", Variant(comm_port()));
    put(L"Settings", Variant(settings()));
    put(L"Handshaking", Variant(static_cast<std::int16_t>(handshaking())));
    put(L"PortOpen", Variant(true));
}

void DispatchPort::close_port() {
    put(L"PortOpen", Variant(false));
}

void DispatchPort::write_bytes(std::string_view bytes) {
    put(L"Output", Variant(from_cp1252(bytes)));
}

int DispatchPort::bytes_waiting() {
    return get(L"InBufferCount").to_long();
}

std::string DispatchPort::read_waiting() {
    return to_cp1252(get(L"Input").to_text());
}

bool DispatchPort::wait_readable(Clock::duration timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (bytes_waiting() > 0) return true;
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= Clock::duration::zero()) return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(left, kPollInterval));
    }
}

DISPID DispatchPort::id_of(const wchar_t* name) const {
    const auto known = ids_.find(name);
    if (known != ids_.end()) return known->second;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (hr == E_NOTIMPL) hr = script_id_of(name, id);
    if (FAILED(hr)) throw automation_error(hr, nullptr, from_wide(name));
    ids_.emplace(name, id);
    return id;
}

HRESULT DispatchPort::script_id_of(const wchar_t* name, DISPID& id) const {
    IDispatchEx* script_object = nullptr;
    HRESULT hr =
        object_->QueryInterface(__uuidof(IDispatchEx), reinterpret_cast<void**>(&script_object));
    if (FAILED(hr)) return E_NOTIMPL;
    BSTR text = SysAllocString(name);
    hr = script_object->GetDispID(text, fdexNameCaseInsensitive, &id);
    SysFreeString(text);
    script_object->Release();
    return hr;
}

Variant DispatchPort::invoke(DISPID id, const wchar_t* name, WORD flags, DISPPARAMS& params) const {
    OwnedVariant result;
    EXCEPINFO exception{};
    const HRESULT hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                       flags == DISPATCH_PROPERTYGET ? &result.value : nullptr,
                                       &exception, nullptr);
    if (FAILED(hr)) throw automation_error(hr, &exception, from_wide(name));
    return from_variant(result.value);
}

Variant DispatchPort::get(const wchar_t* name) const {
    DISPPARAMS none{};
    return invoke(id_of(name), name, DISPATCH_PROPERTYGET, none);
}

void DispatchPort::put(const wchar_t* name, const Variant& value) {
    OwnedVariant argument;
    to_variant(value, argument.value);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&argument.value, &named, 1, 1};
    invoke(id_of(name), name, DISPATCH_PROPERTYPUT, params);
}

}  // namespace quarn7::com
