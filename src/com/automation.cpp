#include "com/automation.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "com/controller_object.h"
#include "com/dispatch_port.h"
#include "com/serial_port_object.h"
#include "platform/win32/wide_text.h"

namespace quarn7::com {

namespace {

// Errors a host raises that the library has no name for.
constexpr auto kInvalidUseOfNull = static_cast<ErrorNumber>(94);
constexpr auto kNotSupported = static_cast<ErrorNumber>(438);
constexpr auto kArgumentNotOptional = static_cast<ErrorNumber>(449);
constexpr auto kWrongArgumentCount = static_cast<ErrorNumber>(450);

struct DispatchFailure {
    HRESULT hr;
    ErrorNumber number;
    std::string_view text;  // "": the library's own description of the number
};

// How an automation host reports the dispatch failures of an object it calls.
constexpr DispatchFailure kDispatchFailures[] = {
    {DISP_E_TYPEMISMATCH, ErrorNumber::TypeMismatch, ""},
    {DISP_E_OVERFLOW, ErrorNumber::Overflow, ""},
    {DISP_E_UNKNOWNNAME, kNotSupported, "Object doesn't support this property or method"},
    {DISP_E_MEMBERNOTFOUND, kNotSupported, "Object doesn't support this property or method"},
    {DISP_E_PARAMNOTOPTIONAL, kArgumentNotOptional, "Argument not optional"},
    {DISP_E_BADPARAMCOUNT, kWrongArgumentCount,
     "Wrong number of arguments or invalid property assignment"},
};

// Bytes of the value a VT_BYREF of each plain type points at.
struct PlainType {
    VARTYPE type;
    std::size_t size;
};

constexpr PlainType kPlainTypes[] = {
    {VT_I1, 1}, {VT_UI1, 1}, {VT_I2, 2},   {VT_UI2, 2},  {VT_BOOL, 2},
    {VT_I4, 4}, {VT_UI4, 4}, {VT_INT, 4},  {VT_UINT, 4}, {VT_R4, 4},
    {VT_R8, 8}, {VT_CY, 8},  {VT_DATE, 8}, {VT_I8, 8},   {VT_UI8, 8},
};

// The number a host shows for an automation HRESULT: the code of a 0x800A.... error, the
// HRESULT itself otherwise.
int error_number(HRESULT hr) {
    return HRESULT_FACILITY(hr) == FACILITY_CONTROL ? HRESULT_CODE(hr) : static_cast<int>(hr);
}

}  // namespace

BSTR make_bstr(std::string_view utf8) {
    const std::wstring wide = to_wide(utf8);
    BSTR text = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (text == nullptr) throw std::bad_alloc();
    return text;
}

std::string bstr_text(BSTR text) {
    return text == nullptr ? std::string() : from_wide({text, SysStringLen(text)});
}

Variant object_variant(IDispatch* object) {
    if (object == nullptr) return Variant(std::shared_ptr<Object>());
    INativeObject* ours = nullptr;
    if (SUCCEEDED(
            object->QueryInterface(__uuidof(INativeObject), reinterpret_cast<void**>(&ours)))) {
        Variant native(ours->native());
        ours->Release();
        return native;
    }
    return Variant(std::shared_ptr<Object>(std::make_shared<DispatchPort>(object)));
}

Variant from_variant(const VARIANT& value) {
    OwnedVariant plain;
    if (FAILED(VariantCopyInd(&plain.value, const_cast<VARIANT*>(&value))))
        throw Error(ErrorNumber::TypeMismatch);
    VARIANT& v = plain.value;
    switch (V_VT(&v)) {
        case VT_EMPTY:
            return Variant();
        case VT_NULL:
            throw Error(kInvalidUseOfNull, "Invalid use of Null");
        case VT_I2:
            return Variant(static_cast<std::int16_t>(V_I2(&v)));
        case VT_UI1:
            return Variant(static_cast<std::int16_t>(V_UI1(&v)));
        case VT_I4:
            return Variant(static_cast<std::int32_t>(V_I4(&v)));
        case VT_R4:
            return Variant(V_R4(&v));
        case VT_R8:
            return Variant(V_R8(&v));
        case VT_BOOL:
            return Variant(V_BOOL(&v) != VARIANT_FALSE);
        case VT_BSTR:
            return Variant(bstr_text(V_BSTR(&v)));
        case VT_DISPATCH:
            return object_variant(V_DISPATCH(&v));
        case VT_UNKNOWN: {
            if (V_UNKNOWN(&v) == nullptr) return object_variant(nullptr);
            IDispatch* dispatch = nullptr;
            if (FAILED(V_UNKNOWN(&v)->QueryInterface(IID_IDispatch,
                                                     reinterpret_cast<void**>(&dispatch)))) {
                throw Error(ErrorNumber::TypeMismatch);
            }
            Variant object = object_variant(dispatch);
            dispatch->Release();
            return object;
        }
        case VT_I1:
        case VT_UI2:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
            // Other whole numbers as a Long where they fit.
            if (SUCCEEDED(VariantChangeType(&v, &v, 0, VT_I4))) {
                return Variant(static_cast<std::int32_t>(V_I4(&v)));
            }
            break;
        default:
            break;
    }
    // Everything else that is a number (currency, dates, decimals, large whole numbers).
    const HRESULT hr = VariantChangeType(&v, &v, 0, VT_R8);
    if (FAILED(hr)) throw automation_error(hr, nullptr, "argument");
    return Variant(V_R8(&v));
}

IDispatch* automation_object(const std::shared_ptr<Object>& object) {
    if (!object) return nullptr;
    if (const auto port = std::dynamic_pointer_cast<DispatchPort>(object)) {
        IDispatch* dispatch = port->dispatch();
        dispatch->AddRef();
        return dispatch;
    }
    if (auto port = std::dynamic_pointer_cast<Win32Port>(object)) {
        return static_cast<ISerialPort*>(new SerialPortObject(std::move(port)));
    }
    if (auto controller = std::dynamic_pointer_cast<clsvyx7>(object)) {
        return static_cast<_clsvyx7*>(new ControllerObject(std::move(controller)));
    }
    throw Error(ErrorNumber::TypeMismatch, "The object cannot be handed to an automation host");
}

void to_variant(const Variant& value, VARIANT& out) {
    VariantInit(&out);
    switch (value.type()) {
        case VarType::Empty:
            return;
        case VarType::Integer:
            V_VT(&out) = VT_I2;
            V_I2(&out) = value.integer_value();
            return;
        case VarType::Long:
            V_VT(&out) = VT_I4;
            V_I4(&out) = value.long_value();
            return;
        case VarType::Single:
            V_VT(&out) = VT_R4;
            V_R4(&out) = value.single_value();
            return;
        case VarType::Double:
            V_VT(&out) = VT_R8;
            V_R8(&out) = value.double_value();
            return;
        case VarType::String:
            V_BSTR(&out) = make_bstr(value.string_value());
            V_VT(&out) = VT_BSTR;
            return;
        case VarType::Boolean:
            V_VT(&out) = VT_BOOL;
            V_BOOL(&out) = value.bool_value() ? VARIANT_TRUE : VARIANT_FALSE;
            return;
        case VarType::Object:
            V_DISPATCH(&out) = automation_object(value.object());
            V_VT(&out) = VT_DISPATCH;
            return;
    }
}

void write_back(VARIANT& target, const Variant& value) {
    if (V_VT(&target) == (VT_BYREF | VT_VARIANT)) {
        write_back(*V_VARIANTREF(&target), value);
        return;
    }
    OwnedVariant fresh;
    to_variant(value, fresh.value);
    if ((V_VT(&target) & VT_BYREF) == 0) {
        VariantClear(&target);
        target = fresh.release();
        return;
    }
    // The caller's typed variable keeps its type: the value is converted to it, as the host's
    // own assignment would.
    const VARTYPE type = V_VT(&target) & ~VT_BYREF;
    const HRESULT hr = VariantChangeType(&fresh.value, &fresh.value, 0, type);
    if (FAILED(hr)) throw automation_error(hr, nullptr, "argument");
    switch (type) {
        case VT_BSTR:
            SysFreeString(*V_BSTRREF(&target));
            *V_BSTRREF(&target) = V_BSTR(&fresh.value);
            V_VT(&fresh.value) = VT_EMPTY;
            return;
        case VT_DISPATCH:
            if (*V_DISPATCHREF(&target) != nullptr) (*V_DISPATCHREF(&target))->Release();
            *V_DISPATCHREF(&target) = V_DISPATCH(&fresh.value);
            V_VT(&fresh.value) = VT_EMPTY;
            return;
        default:
            for (const auto& plain : kPlainTypes) {
                if (plain.type == type) {
                    // Every plain value starts at the union's first byte.
                    std::memcpy(V_BYREF(&target), &V_UI1(&fresh.value), plain.size);
                    return;
                }
            }
            throw Error(ErrorNumber::TypeMismatch);
    }
}

Error automation_error(HRESULT hr, const EXCEPINFO* info, std::string_view what) {
    if (hr == DISP_E_EXCEPTION && info != nullptr) {
        EXCEPINFO filled = *info;
        if (filled.pfnDeferredFillIn != nullptr) filled.pfnDeferredFillIn(&filled);
        const HRESULT code = filled.scode != 0
                                 ? filled.scode
                                 : MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, filled.wCode);
        const auto number = static_cast<ErrorNumber>(error_number(code));
        std::string description = bstr_text(filled.bstrDescription);
        if (description.empty()) description = std::string(describe(number));
        SysFreeString(filled.bstrDescription);
        SysFreeString(filled.bstrSource);
        SysFreeString(filled.bstrHelpFile);
        return Error(number, std::move(description));
    }
    for (const auto& failure : kDispatchFailures) {
        if (failure.hr == hr) {
            const auto text = failure.text.empty() ? describe(failure.number) : failure.text;
            return Error(failure.number, std::string(text) + ": " + std::string(what));
        }
    }
    // An error in the automation range without its own description is known by its number.
    const auto number = static_cast<ErrorNumber>(error_number(hr));
    if (HRESULT_FACILITY(hr) == FACILITY_CONTROL) {
        return Error(number, std::string(describe(number)) + ": " + std::string(what));
    }
    char text[64];
    std::snprintf(text, sizeof text, "Automation error 0x%08lX: ", static_cast<unsigned long>(hr));
    return Error(number, text + std::string(what));
}

HRESULT report(const Error& error, REFIID iid, const wchar_t* source) {
    const int number = error.code();
    const HRESULT hr = number < 0 ? static_cast<HRESULT>(number)
                                  : MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
    return report(hr, error.description(), iid, source);
}

HRESULT report(HRESULT hr, std::string_view description, REFIID iid, const wchar_t* source) {
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create))) return hr;
    create->SetGUID(iid);
    create->SetSource(const_cast<LPOLESTR>(source));
    create->SetDescription(const_cast<LPOLESTR>(to_wide(description).c_str()));
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
        SetErrorInfo(0, info);
        info->Release();
    }
    create->Release();
    return hr;
}

}  // namespace quarn7::com
