// The four exports of the in-process server: class objects, unload check, registration.
// clang-format off
#include "com/module.h"
// After the system headers, so that only the library's own GUIDs are defined here.
#include <initguid.h>
#include "tarnvyx7.h"
// clang-format on

#include <atomic>
#include <initializer_list>
#include <iterator>
#include <new>
#include <string>

#include "com/controller_object.h"
#include "com/serial_port_object.h"

namespace quarn7::com {

namespace {

HINSTANCE module_instance = nullptr;
std::atomic<long> live_objects = 0;
std::atomic<long> server_locks = 0;

struct ClassEntry {
    const CLSID& clsid;
    const wchar_t* prog_id;
    const wchar_t* description;
    IUnknown* (*create)();
};

const ClassEntry kClasses[] = {
    {CLSID_clsvyx7, L"Quarn7.clsvyx7", L"Quarn7 overlay unit controller",
     [] { return static_cast<IUnknown*>(static_cast<_clsvyx7*>(ControllerObject::create())); }},
    {CLSID_SerialPort, L"Quarn7.SerialPort", L"Quarn7 serial port",
     [] { return static_cast<IUnknown*>(static_cast<ISerialPort*>(new SerialPortObject())); }},
};

constexpr WORD kLibraryMajor = 1;
constexpr WORD kLibraryMinor = 0;

// The 32-bit and the 64-bit DLL each register their classes in their own registry view; the
// type library's key holds both (win32 and win64), and Windows shares the ProgIDs between views.
constexpr bool kWin64 = sizeof(void*) == 8;
constexpr SYSKIND kSysKind = kWin64 ? SYS_WIN64 : SYS_WIN32;
constexpr REGSAM kOwnView = kWin64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
constexpr REGSAM kOtherView = kWin64 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

std::wstring module_path() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(module_instance, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring guid_text(REFGUID guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

// The class object of one class; it lives as long as the DLL, so it is never counted.
class ClassFactory final : public IClassFactory {
  public:
    explicit ClassFactory(const ClassEntry& entry) : entry_(entry) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        IUnknown* object = nullptr;
        try {
            object = entry_.create();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        const HRESULT hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        lock ? ++server_locks : --server_locks;
        return S_OK;
    }

    const ClassEntry& entry() const { return entry_; }

  private:
    const ClassEntry& entry_;
};

ClassFactory factories[] = {ClassFactory(kClasses[0]), ClassFactory(kClasses[1])};
static_assert(std::size(factories) == std::size(kClasses));

HRESULT set_value(REGSAM view, const std::wstring& key, const wchar_t* name,
                  const std::wstring& value) {
    HKEY handle = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0,
                                     KEY_SET_VALUE | view, nullptr, &handle, nullptr);
    if (status == ERROR_SUCCESS) {
        const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        status = RegSetValueExW(handle, name, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(value.c_str()), bytes);
        RegCloseKey(handle);
    }
    return HRESULT_FROM_WIN32(status);
}

struct RegistryValue {
    std::wstring key;
    const wchar_t* name;  // nullptr: the key's default value
    std::wstring value;
};

std::wstring clsid_key(const ClassEntry& entry) {
    return L"CLSID\\" + guid_text(entry.clsid);
}

HRESULT set_values(REGSAM view, std::initializer_list<RegistryValue> values) {
    for (const auto& v : values) {
        const HRESULT hr = set_value(view, v.key, v.name, v.value);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT register_prog_id(REGSAM view, const ClassEntry& entry) {
    const std::wstring prog_id = entry.prog_id;
    return set_values(view, {{prog_id, nullptr, entry.description},
                             {prog_id + L"\\CLSID", nullptr, guid_text(entry.clsid)}});
}

HRESULT register_class(const ClassEntry& entry, const std::wstring& path) {
    const std::wstring clsid = clsid_key(entry);
    const HRESULT hr =
        set_values(kOwnView, {{clsid, nullptr, entry.description},
                              {clsid + L"\\InprocServer32", nullptr, path},
                              {clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
                              {clsid + L"\\ProgID", nullptr, entry.prog_id},
                              {clsid + L"\\TypeLib", nullptr, guid_text(LIBID_Tarnvyx7)}});
    return FAILED(hr) ? hr : register_prog_id(kOwnView, entry);
}

bool registered_in_other_view(const ClassEntry& entry) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, (clsid_key(entry) + L"\\InprocServer32").c_str(), 0,
                      KEY_READ | kOtherView, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

ITypeLib* load_type_library() {
    ITypeLib* library = nullptr;
    return SUCCEEDED(LoadTypeLibEx(module_path().c_str(), REGKIND_NONE, &library)) ? library
                                                                                   : nullptr;
}

}  // namespace

void object_created() {
    ++live_objects;
}

void object_destroyed() {
    --live_objects;
}

InterfaceTypes interface_types(REFIID iid) {
    static ITypeLib* const library = load_type_library();
    InterfaceTypes types;
    if (library == nullptr || FAILED(library->GetTypeInfoOfGuid(iid, &types.dispatch))) return {};
    HREFTYPE vtable_side = 0;
    if (FAILED(types.dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable_side)) ||
        FAILED(types.dispatch->GetRefTypeInfo(vtable_side, &types.vtable))) {
        types.dispatch->Release();
        return {};
    }
    return types;
}

}  // namespace quarn7::com

using namespace quarn7::com;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        module_instance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    for (auto& factory : factories) {
        if (factory.entry().clsid == clsid) return factory.QueryInterface(iid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
    return live_objects == 0 && server_locks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    const std::wstring path = module_path();
    for (const auto& entry : kClasses) {
        const HRESULT hr = register_class(entry, path);
        if (FAILED(hr)) return hr;
    }
    // Registers the library and its interfaces (marshalled by the automation marshaller).
    ITypeLib* library = nullptr;
    const HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_REGISTER, &library);
    if (SUCCEEDED(hr)) library->Release();
    return hr;
}

STDAPI DllUnregisterServer() {
    // Only this bitness's entry of the type library; the key goes with the last one.
    UnRegisterTypeLib(LIBID_Tarnvyx7, kLibraryMajor, kLibraryMinor, LANG_NEUTRAL, kSysKind);
    for (const auto& entry : kClasses) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, clsid_key(entry).c_str());
        RegDeleteTreeW(HKEY_CLASSES_ROOT, entry.prog_id);
        // Where the ProgID is shared, the other bitness's server still needs it.
        if (registered_in_other_view(entry)) register_prog_id(kOtherView, entry);
    }
    return S_OK;
}
