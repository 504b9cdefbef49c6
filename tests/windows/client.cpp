// A C++ automation client of quarn7.dll, run under Wine by tests/windows/run against the
// simulated unit: calls the controller by name through IDispatch and through the early-bound
// vtable, and drives Quarn7.SerialPort directly. Prints "ok - ..." or "FAIL - ..." per check.
//
// Usage: quarn7-com-client PORT LOG
//   PORT: a COM port number whose simulated unit logs its frames to LOG (quarn7-sim --log).
// clang-format off
#include "platform/win32/windows_api.h"
#include <ole2.h>
// After the system headers, so that only the library's own GUIDs are defined here.
#include <initguid.h>
#include "tarnvyx7.h"
// clang-format on

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "protocol/switch_commands.h"
#include "quarn7/dispatch.h"
#include "protocol/frame.h"
#include "platform/win32/wide_text.h"
#include "sim/hex.h"

namespace {

using quarn7::from_wide;
using quarn7::to_wide;

int failures = 0;

void check(bool ok, const std::string& name, const std::string& detail = {}) {
    if (ok) {
        std::printf("ok - %s\n", name.c_str());
    } else {
        ++failures;
        std::printf("FAIL - %s%s%s\n", name.c_str(), detail.empty() ? "" : ": ", detail.c_str());
    }
    std::fflush(stdout);
}

std::string hresult_text(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// The frames the simulated unit logged (quarn7-sim --log), as hex.
class SimLog {
  public:
    explicit SimLog(std::string path) : path_(std::move(path)) {}

    std::vector<std::string> frames() const {
        std::vector<std::string> frames;
        std::ifstream in(path_);
        std::string line;
        while (std::getline(in, line)) {
            const auto arrow = line.find("  -> ");
            if (arrow == std::string::npos) continue;
            const auto start =
                line.find_first_not_of(' ', line.find("  ", line.find_first_not_of(' ')));
            frames.push_back(line.substr(start, arrow - start));
        }
        return frames;
    }
    // The frames logged after the first `seen`, once `count` of them are there (or after 2 s).
    std::vector<std::string> frames_after(std::size_t seen, std::size_t count) const {
        std::vector<std::string> all;
        for (int i = 0; i < 200; ++i) {
            all = frames();
            if (all.size() >= seen + count) break;
            Sleep(10);
        }
        return {all.begin() + static_cast<std::ptrdiff_t>(std::min(seen, all.size())), all.end()};
    }

  private:
    std::string path_;
};

template <class T>
struct Ref {
    T* p = nullptr;
    Ref() = default;
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() {
        if (p != nullptr) p->Release();
    }
    T* operator->() const { return p; }
    void** out() { return reinterpret_cast<void**>(&p); }
};

struct Var {
    VARIANT v;
    Var() { VariantInit(&v); }
    ~Var() { VariantClear(&v); }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
};

struct Invoked {
    HRESULT hr;
    EXCEPINFO exception;
};

// A late-bound call by name; `args` in call order.
Invoked invoke(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args,
               VARIANT* result = nullptr) {
    Invoked out{E_FAIL, {}};
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    out.hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(out.hr)) return out;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags == DISPATCH_PROPERTYPUT || flags == DISPATCH_PROPERTYPUTREF) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    UINT bad_argument = 0;
    out.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                            &out.exception, &bad_argument);
    return out;
}

VARIANT i2(short value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I2;
    V_I2(&v) = value;
    return v;
}

VARIANT boolean(bool value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

constexpr HRESULT automation_hresult(int number) {
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
}

// Hands the controller a Quarn7.SerialPort and opens it on `port_number`; true when open.
bool open_on_unit(_clsvyx7* controller, short port_number) {
    Ref<ISerialPort> port;
    CoCreateInstance(CLSID_SerialPort, nullptr, CLSCTX_INPROC_SERVER, IID_ISerialPort, port.out());
    controller->putref_mvarComObject(port.p);
    controller->put_Poort_nummer(port_number);
    Var open;
    V_VT(&open.v) = VT_BOOL;
    V_BOOL(&open.v) = VARIANT_TRUE;
    controller->OpenClose(&open.v);
    VARIANT_BOOL is_open = VARIANT_FALSE;
    port->get_PortOpen(&is_open);
    check(is_open == VARIANT_TRUE,
          "OpenClose opens the port object on COM" + std::to_string(port_number));
    return is_open == VARIANT_TRUE;
}

INVOKEKIND invoke_kind(quarn7::MemberKind kind) {
    switch (kind) {
        case quarn7::MemberKind::Get:
            return INVOKE_PROPERTYGET;
        case quarn7::MemberKind::Let:
            return INVOKE_PROPERTYPUT;
        case quarn7::MemberKind::Set:
            return INVOKE_PROPERTYPUTREF;
        case quarn7::MemberKind::Method:
            return INVOKE_FUNC;
    }
    return INVOKE_FUNC;
}

// The interface as the type library describes it, slot by slot, against the dispatch table.
void interface_follows_the_table(IDispatch* controller) {
    Ref<ITypeInfo> dispatch_side;
    controller->GetTypeInfo(0, LOCALE_USER_DEFAULT,
                            reinterpret_cast<ITypeInfo**>(dispatch_side.out()));
    HREFTYPE vtable_ref = 0;
    Ref<ITypeInfo> vtable_side;
    if (dispatch_side.p == nullptr ||
        FAILED(dispatch_side->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable_ref)) ||
        FAILED(dispatch_side->GetRefTypeInfo(vtable_ref,
                                             reinterpret_cast<ITypeInfo**>(vtable_side.out())))) {
        check(false, "the type information of _clsvyx7 is dual");
        return;
    }
    const auto& members = quarn7::interface_members();
    TYPEATTR* attributes = nullptr;
    vtable_side->GetTypeAttr(&attributes);
    const std::size_t slots = attributes->cFuncs;
    vtable_side->ReleaseTypeAttr(attributes);

    std::string wrong;
    std::vector<std::string_view> named;  // names in order of first appearance
    for (std::size_t i = 0; i < std::min(slots, members.size()); ++i) {
        const quarn7::Member& m = members[i];
        FUNCDESC* function = nullptr;
        vtable_side->GetFuncDesc(static_cast<UINT>(i), &function);
        BSTR name = nullptr;
        vtable_side->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr);
        if (std::find(named.begin(), named.end(), m.name) == named.end()) named.push_back(m.name);
        const DISPID dispid =
            static_cast<DISPID>(std::find(named.begin(), named.end(), m.name) - named.begin() + 1);
        // A get's value is its extra [out, retval] parameter.
        const std::size_t parameters = m.arguments.size() + (m.kind == quarn7::MemberKind::Get);
        if (from_wide(name) != m.name || function->invkind != invoke_kind(m.kind) ||
            function->memid != dispid ||
            static_cast<std::size_t>(function->cParams) != parameters) {
            wrong += std::to_string(i) + ":" + std::string(m.name) + " ";
        }
        SysFreeString(name);
        vtable_side->ReleaseFuncDesc(function);
    }
    check(
        slots == members.size() && wrong.empty(),
        "_clsvyx7 has every member of the table in its order, kind and DISPID",
        std::to_string(slots) + " slots, " + std::to_string(members.size()) + " members; " + wrong);
}

void switch_table_by_name(IDispatch* controller, const SimLog& log) {
    std::string wrong;
    for (const auto& row : quarn7::kSwitchCommands) {
        const std::size_t seen = log.frames().size();
        const std::wstring name = to_wide(row.member);
        const Invoked call = invoke(controller, name.c_str(), DISPATCH_METHOD, {});
        const std::string expected = quarn7::sim::hex_dump(quarn7::wire::do_command_frame(
            {.commando_code = row.code, .commando_soort = 0, .lengte_laag = row.lengte_laag}));
        const auto frames = log.frames_after(seen, 1);
        if (FAILED(call.hr) || frames.size() != 1 || frames[0] != expected) {
            wrong += std::string(row.member) + " (" + hresult_text(call.hr) + ", " +
                     (frames.empty() ? "no frame" : frames[0]) + ") ";
        }
    }
    check(wrong.empty(), "every switch member called by name sends its frame", wrong);
}

void write_backs_into_typed_variables(_clsvyx7* controller) {
    // A host's typed variables arrive as VT_BYREF of their own type and keep that type.
    short high = 0;
    long low = 0;
    Var value;
    V_VT(&value.v) = VT_BSTR;
    V_BSTR(&value.v) = SysAllocString(L"1000");
    Var hoog;
    V_VT(&hoog.v) = VT_BYREF | VT_I2;
    V_I2REF(&hoog.v) = &high;
    Var laag;
    V_VT(&laag.v) = VT_BYREF | VT_I4;
    V_I4REF(&laag.v) = &low;
    const HRESULT hr = controller->hooglaag(&value.v, &hoog.v, &laag.v);
    check(hr == S_OK && high == 3 && low == 232, "hooglaag writes back through VT_BYREF typed",
          hresult_text(hr) + " hoog=" + std::to_string(high) + " laag=" + std::to_string(low));
}

void write_back_into_bstr(_clsvyx7* controller) {
    BSTR text = SysAllocString(L"  AB  ");
    Var tekst;
    V_VT(&tekst.v) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&tekst.v) = &text;
    Var veld;
    V_VT(&veld.v) = VT_I2;
    V_I2(&veld.v) = 161;
    const HRESULT zet = controller->ZetTekst(&tekst.v, &veld.v);
    check(zet == S_OK && std::wstring(text) == L"AB",
          "ZetTekst writes the trimmed text into a BSTR",
          hresult_text(zet) + " [" + from_wide(text) + "]");
    SysFreeString(text);
}

void errors(IDispatch* fresh_dispatch, _clsvyx7* fresh) {
    // Early bound: the HRESULT carries the number, the error object the description.
    short number = 0;
    const HRESULT hr = fresh->get_Poort_nummer(&number);
    Ref<IErrorInfo> info;
    GetErrorInfo(0, reinterpret_cast<IErrorInfo**>(info.out()));
    BSTR description = nullptr;
    BSTR source = nullptr;
    if (info.p != nullptr) {
        info->GetDescription(&description);
        info->GetSource(&source);
    }
    check(hr == automation_hresult(91) && description != nullptr && SysStringLen(description) > 0 &&
              source != nullptr && std::wstring(source) == L"Quarn7.clsvyx7",
          "no port object: 0x800A005B with description and source",
          hresult_text(hr) + " " + (description ? from_wide(description) : "(none)"));
    SysFreeString(description);
    SysFreeString(source);

    struct BadCall {
        const char* what;
        const wchar_t* member;
        WORD flags;
        std::vector<VARIANT> args;
        HRESULT expected_scode;  // 0: any failure without EXCEPINFO
    };
    VARIANT null_value;
    VariantInit(&null_value);
    V_VT(&null_value) = VT_NULL;
    VARIANT array;
    VariantInit(&array);
    V_VT(&array) = VT_ARRAY | VT_I4;
    V_ARRAY(&array) = SafeArrayCreateVector(VT_I4, 0, 2);
    const BadCall bad_calls[] = {
        {"too few arguments", L"hooglaag", DISPATCH_METHOD, {i2(1)}, 0},
        {"unknown member", L"bestaat_niet", DISPATCH_METHOD, {}, 0},
        {"Null argument", L"OpenClose", DISPATCH_METHOD, {null_value}, automation_hresult(94)},
        {"array argument", L"OpenClose", DISPATCH_METHOD, {array}, automation_hresult(13)},
        {"ComObject given a number",
         L"ComObject",
         DISPATCH_PROPERTYPUT,
         {i2(5)},
         automation_hresult(13)},
        {"byte out of range",
         L"kies_systeemtekstveld",
         DISPATCH_PROPERTYPUT,
         {i2(300)},
         automation_hresult(5)},
    };
    for (const auto& bad : bad_calls) {
        Var out;
        Invoked call = invoke(fresh_dispatch, bad.member, bad.flags, bad.args, &out.v);
        const bool ok = bad.expected_scode == 0 ? FAILED(call.hr) && call.hr != DISP_E_EXCEPTION
                                                : call.hr == DISP_E_EXCEPTION &&
                                                      call.exception.scode == bad.expected_scode;
        check(ok, std::string("bad input is an error, not a crash: ") + bad.what,
              hresult_text(call.hr) + " scode " + hresult_text(call.exception.scode));
        SysFreeString(call.exception.bstrDescription);
        SysFreeString(call.exception.bstrSource);
        SysFreeString(call.exception.bstrHelpFile);
    }
    SafeArrayDestroy(V_ARRAY(&array));

    check(fresh->get_regel(nullptr) == E_POINTER &&
              fresh->hooglaag(nullptr, nullptr, nullptr) != S_OK,
          "null pointers from an early-bound caller are refused");
}

// A host window whose message handler calls into the controller, as a host's button would.
struct HostWindow {
    static inline _clsvyx7* controller = nullptr;
    static inline HRESULT nested = S_OK;
    static inline int handled = 0;

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
        if (message != WM_APP) return DefWindowProcW(window, message, w, l);
        ++handled;
        nested = controller->meterteller_aan();
        return 0;
    }
};

// A read lets the host's window messages run while it waits; a call they make into the same
// controller is refused rather than taking the read's reply.
void event_pump_during_a_read(_clsvyx7* controller) {
    WNDCLASSW kind{};
    kind.lpfnWndProc = HostWindow::procedure;
    kind.hInstance = GetModuleHandleW(nullptr);
    kind.lpszClassName = L"Quarn7TestHost";
    RegisterClassW(&kind);
    const HWND window = CreateWindowW(L"Quarn7TestHost", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      kind.hInstance, nullptr);
    HostWindow::controller = controller;
    PostMessageW(window, WM_APP, 0, 0);
    Var tekst;
    V_VT(&tekst.v) = VT_I4;
    V_I4(&tekst.v) = 45;
    Var property;
    const HRESULT read = controller->get_lees_waarde(&tekst.v, &property.v);
    check(read == S_OK && HostWindow::handled == 1 &&
              HostWindow::nested == automation_hresult(17) && V_VT(&tekst.v) == VT_R8,
          "a read runs the host's messages; their call into the controller is refused (17)",
          hresult_text(read) + ", " + std::to_string(HostWindow::handled) + " handled, nested " +
              hresult_text(HostWindow::nested));
    DestroyWindow(window);
}

// Reads and closes the message boxes of this process as an operator would, while it lives.
class Operator {
  public:
    struct Box {
        std::string text;
        std::string title;
    };

    Operator() : thread_([this] { watch(); }) {}
    ~Operator() { stop(); }
    Operator(const Operator&) = delete;
    Operator& operator=(const Operator&) = delete;

    std::vector<Box> stop() {
        stopping_ = true;
        if (thread_.joinable()) thread_.join();
        return boxes_;
    }

  private:
    void watch() {
        while (!stopping_) {
            HWND box = nullptr;
            EnumWindows(
                [](HWND window, LPARAM found) -> BOOL {
                    DWORD process = 0;
                    GetWindowThreadProcessId(window, &process);
                    wchar_t kind[16] = {};
                    GetClassNameW(window, kind, 16);
                    if (process != GetCurrentProcessId() || std::wstring(kind) != L"#32770") {
                        return TRUE;
                    }
                    *reinterpret_cast<HWND*>(found) = window;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&box));
            // Read once it shows, when its text is in place.
            if (box != nullptr && box != last_ && IsWindowVisible(box) &&
                GetDlgItem(box, 0xFFFF) != nullptr) {
                wchar_t text[256] = {};
                wchar_t title[256] = {};
                GetDlgItemTextW(box, 0xFFFF, text, 256);  // the text of a message box
                GetWindowTextW(box, title, 256);
                boxes_.push_back({from_wide(text), from_wide(title)});
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                last_ = box;
            }
            Sleep(20);
        }
    }

    std::atomic<bool> stopping_ = false;
    std::vector<Box> boxes_;
    HWND last_ = nullptr;
    std::thread thread_;
};

// With diagnostics on, what the port members report goes to a message box with no title.
void message_boxes(_clsvyx7* controller, short closed_port) {
    struct Case {
        const char* what;
        bool open;
        std::string expected;
    };
    controller->meldingen();
    // The port is open here: opening again only reports, closing works; then the port number
    // points at a port that does not exist.
    for (const Case& c : {Case{"open twice", true, "Already open"}, Case{"close", false, ""},
                          Case{"close twice", false, "Already closed"}}) {
        Operator operator_;
        // A message box blocks the call until the operator closed it.
        VARIANT value = boolean(c.open);
        controller->OpenClose(&value);
        const auto boxes = operator_.stop();
        const bool expected_box = !c.expected.empty();
        check(
            boxes.size() == (expected_box ? 1u : 0u) &&
                (!expected_box || (boxes[0].text == c.expected && boxes[0].title.empty())),
            std::string("OpenClose ") + c.what + ": " +
                (expected_box ? "\"" + c.expected + "\" without a title" : "no message"),
            std::to_string(boxes.size()) + " boxes" +
                (boxes.empty() ? "" : ", first [" + boxes[0].text + "] [" + boxes[0].title + "]"));
    }
    controller->put_Poort_nummer(closed_port);
    {
        Operator operator_;
        VARIANT value = boolean(true);
        const HRESULT hr = controller->OpenClose(&value);
        const auto boxes = operator_.stop();
        check(hr == S_OK && boxes.size() == 1 && boxes[0].text == "Illegal port number",
              "a failed open is a message, not an error",
              hresult_text(hr) + ", " + std::to_string(boxes.size()) + " boxes");
    }
    controller->meldingen();
}

// Quarn7.SerialPort on its own (the VBScript clients drive it through the controller).
void serial_port_object() {
    Ref<ISerialPort> missing;
    CoCreateInstance(CLSID_SerialPort, nullptr, CLSCTX_INPROC_SERVER, IID_ISerialPort,
                     missing.out());
    missing->put_CommPort(99);
    const HRESULT absent = missing->put_PortOpen(VARIANT_TRUE);
    check(absent == automation_hresult(8002), "a port that does not exist: no such device",
          hresult_text(absent));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quarn7-com-client PORT LOG\n");
        return 2;
    }
    const auto port_number = static_cast<short>(std::atoi(argv[1]));
    const SimLog log(argv[2]);
    CoInitialize(nullptr);
    {
        CLSID clsid{};
        const HRESULT found = CLSIDFromProgID(L"Quarn7.clsvyx7", &clsid);
        check(found == S_OK && clsid == CLSID_clsvyx7, "the ProgID names the class",
              hresult_text(found));

        Ref<IDispatch> dispatch;
        const HRESULT created = CoCreateInstance(CLSID_clsvyx7, nullptr, CLSCTX_INPROC_SERVER,
                                                 IID_IDispatch, dispatch.out());
        check(created == S_OK, "CoCreateInstance", hresult_text(created));
        if (created != S_OK) return 1;
        Ref<_clsvyx7> controller;
        dispatch->QueryInterface(IID__clsvyx7, controller.out());

        Ref<IDispatch> fresh_dispatch;
        CoCreateInstance(CLSID_clsvyx7, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                         fresh_dispatch.out());
        Ref<_clsvyx7> fresh;
        fresh_dispatch->QueryInterface(IID__clsvyx7, fresh.out());
        interface_follows_the_table(dispatch.p);
        errors(fresh_dispatch.p, fresh.p);
        write_backs_into_typed_variables(fresh.p);

        if (open_on_unit(controller.p, port_number)) {
            switch_table_by_name(dispatch.p, log);
            write_back_into_bstr(controller.p);
            event_pump_during_a_read(controller.p);
            message_boxes(controller.p, 99);
        }
        serial_port_object();
    }
    // Every object released: the DLL may go.
    const auto can_unload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"quarn7.dll"), "DllCanUnloadNow")));
    check(can_unload != nullptr && can_unload() == S_OK, "DllCanUnloadNow once all are released");
    CoUninitialize();
    return failures == 0 ? 0 : 1;
}
