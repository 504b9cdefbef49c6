// What the automation server's objects share: VARIANT and BSTR conversions to and from
// quarn7::Variant, errors as automation errors, and the base class that serves IUnknown,
// IDispatch (from the type library) and ISupportErrorInfo.
#pragma once

#include <atomic>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "com/module.h"
#include "quarn7/error.h"
#include "quarn7/variant.h"

namespace quarn7::com {

// Implemented by this DLL's own automation objects: the native object behind one, so that an
// object of ours handed to a member is used as itself rather than by name.
struct INativeObject : IUnknown {
    virtual std::shared_ptr<Object> native() = 0;
};

}  // namespace quarn7::com

__CRT_UUID_DECL(quarn7::com::INativeObject, 0x452a54fa, 0xf6e5, 0x4353, 0xa8, 0x64, 0xee, 0x5d,
                0x5e, 0x2e, 0xd4, 0xbf)

namespace quarn7::com {

// A VARIANT that clears itself.
struct OwnedVariant {
    VARIANT value;
    OwnedVariant() { VariantInit(&value); }
    ~OwnedVariant() { VariantClear(&value); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;
    // Ownership passes to the caller.
    VARIANT release() {
        VARIANT out = value;
        VariantInit(&value);
        return out;
    }
};

// UTF-8 to a new BSTR (the caller frees it) and back.
BSTR make_bstr(std::string_view utf8);
std::string bstr_text(BSTR text);

// The argument's value, through VT_BYREF. Objects of this DLL become their native object, any
// other object an adapter that reaches its properties by name.
Variant from_variant(const VARIANT& value);
Variant object_variant(IDispatch* object);
// A new VARIANT for `value`; the caller owns it.
void to_variant(const Variant& value, VARIANT& out);
// The automation object for a native one (AddRef'd); nullptr for none.
IDispatch* automation_object(const std::shared_ptr<Object>& object);
// Stores `value` in an argument passed by reference: through VT_BYREF into the caller's own
// variable (converted to that variable's type), otherwise in place of the argument.
void write_back(VARIANT& target, const Variant& value);

// An automation failure as an Error: the number a host would show (Err.Number) and a description.
// `what` names what was asked of the object.
Error automation_error(HRESULT hr, const EXCEPINFO* info, std::string_view what);

// Puts the failure in the thread's error object (description, source, interface) and gives the
// HRESULT: for an Error, 0x800A0000 + its number, which hosts show as Err.Number = number.
HRESULT report(const Error& error, REFIID iid, const wchar_t* source);
HRESULT report(HRESULT hr, std::string_view description, REFIID iid, const wchar_t* source);

// Runs `body`; no exception leaves it.
template <class Body>
HRESULT guarded(REFIID iid, const wchar_t* source, Body&& body) noexcept {
    try {
        body();
        return S_OK;
    } catch (const Error& e) {
        return report(e, iid, source);
    } catch (const std::bad_alloc&) {
        return report(E_OUTOFMEMORY, "Out of memory", iid, source);
    } catch (const std::exception& e) {
        return report(E_FAIL, e.what(), iid, source);
    } catch (...) {
        return report(E_UNEXPECTED, "Unexpected failure", iid, source);
    }
}

// The base of an automation object with the dual interface `Interface`. Created with one
// reference, deleted when the last is released.
template <class Interface>
class Automation : public Interface, public ISupportErrorInfo, public INativeObject {
  public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(Interface)) {
            *out = static_cast<Interface*>(this);
        } else if (iid == IID_ISupportErrorInfo) {
            *out = static_cast<ISupportErrorInfo*>(this);
        } else if (iid == __uuidof(INativeObject)) {
            *out = static_cast<INativeObject*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // IDispatch: names, argument coercion and the call itself come from the type library, so
    // late-bound callers reach the same vtable as early-bound ones.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (info == nullptr) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        if (types().dispatch == nullptr) return TYPE_E_CANTLOADLIBRARY;
        *info = types().dispatch;
        (*info)->AddRef();
        return S_OK;
    }
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                               DISPID* ids) override {
        if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        if (types().dispatch == nullptr) return TYPE_E_CANTLOADLIBRARY;
        return types().dispatch->GetIDsOfNames(names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argument_error) override {
        if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        ITypeInfo* const vtable = types().vtable;
        if (vtable == nullptr) return TYPE_E_CANTLOADLIBRARY;
        const HRESULT hr = vtable->Invoke(static_cast<Interface*>(this), id, flags, params, result,
                                          exception, argument_error);
        // A read whose reply lands in its argument is naturally called as a statement
        // (`de.revisie tekst`), which asks for a method: the property get serves it.
        if (hr == DISP_E_MEMBERNOTFOUND && flags == DISPATCH_METHOD) {
            return vtable->Invoke(static_cast<Interface*>(this), id,
                                  DISPATCH_METHOD | DISPATCH_PROPERTYGET, params, result, exception,
                                  argument_error);
        }
        return hr;
    }

    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override {
        return iid == __uuidof(Interface) ? S_OK : S_FALSE;
    }

    Automation(const Automation&) = delete;
    Automation& operator=(const Automation&) = delete;

  protected:
    explicit Automation(const wchar_t* source) : source_(source) { object_created(); }
    virtual ~Automation() { object_destroyed(); }

    template <class Body>
    HRESULT guarded(Body&& body) noexcept {
        return com::guarded(__uuidof(Interface), source_, std::forward<Body>(body));
    }

  private:
    static const InterfaceTypes& types() {
        static const InterfaceTypes loaded = interface_types(__uuidof(Interface));
        return loaded;
    }

    const wchar_t* source_;  // the ProgID, shown as the error's source
    std::atomic<ULONG> references_ = 1;
};

}  // namespace quarn7::com
