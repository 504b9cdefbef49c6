// The C++ automation client that tests/windows/run starts under Wine, one "ok - " or "FAIL - " line
// per check. Usage: quarn7-com-client PORT LOG (LOG: PORT's unit, quarn7-sim --log).
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "link/dispatch.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"
#include "support/protocol.h"
#include "tarnvyx7.h"

namespace {

int failures = 0;

template <class... Details>
void check(bool ok, const char* name, const std::string& format, Details... details) {
    failures += ok ? 0 : 1;
    std::printf(((ok ? "ok - %s: " : "FAIL - %s: ") + format + "\n").c_str(), name, details...);
    std::fflush(stdout);
}

VARIANT of(VARTYPE type, LONG value) {
    VARIANT v{};
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    VariantChangeType(&v, &v, 0, type);
    return v;
}

// The frames the unit logged ("seconds  frame  -> answer"), once `wanted` are there or after
// 60 s. A frame sent again after a late answer, which a busy machine causes, counts once.
std::vector<std::string> logged_frames(const char* log, std::size_t wanted) {
    for (int tries = 0;; ++tries) {
        std::vector<std::string> frames;
        std::ifstream in(log);
        char frame[128];
        for (std::string line; std::getline(in, line);) {
            if (std::sscanf(line.c_str(), "%*f %127[0-9A-F ] ->", frame) != 1) continue;
            const std::string hex(frame, std::string_view(frame).find_last_not_of(' ') + 1);
            if (frames.empty() || frames.back() != hex) frames.push_back(hex);
        }
        if (frames.size() >= wanted || tries == 6000) return frames;
        Sleep(10);
    }
}

// The type information of _clsvyx7 slot by slot against the dispatch table, DISPIDs numbering the
// names in order of first appearance.
void type_library(IDispatch* controller) {
    ITypeInfo *dispatch_side = nullptr, *type = nullptr;
    HREFTYPE vtable_side = 0;
    TYPEATTR* attributes = nullptr;
    controller->GetTypeInfo(0, LOCALE_USER_DEFAULT, &dispatch_side);
    dispatch_side->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable_side);
    dispatch_side->GetRefTypeInfo(vtable_side, &type);
    type->GetTypeAttr(&attributes);
    const auto& members = quarn7::interface_members();
    constexpr std::string_view kinds[] = {"", "method", "get", "", "let", "", "", "", "set"};
    std::vector<std::string_view> names;
    std::string wrong;
    for (UINT i = 0; i < attributes->cFuncs && i < members.size(); ++i) {
        const quarn7::Member& m = members[i];
        if (std::ranges::find(names, m.name) == names.end()) names.push_back(m.name);
        FUNCDESC* f = nullptr;
        BSTR name = nullptr;
        type->GetFuncDesc(i, &f);
        type->GetDocumentation(f->memid, &name, nullptr, nullptr, nullptr);
        // A get's value is one more parameter, [out, retval].
        const std::size_t parameters = m.arguments.size() + (m.kind == quarn7::MemberKind::Get);
        if (quarn7::from_wide(name) != m.name || kinds[f->invkind] != quarn7::kind_name(m.kind) ||
            f->memid != std::ranges::find(names, m.name) - names.begin() + 1 ||
            static_cast<std::size_t>(f->cParams) != parameters) {
            wrong += std::string(m.name) + " ";
        }
        SysFreeString(name);
        type->ReleaseFuncDesc(f);
    }
    check(attributes->cFuncs == members.size() && wrong.empty(),
          "_clsvyx7 has the dispatch table's members in their order, kind and DISPID",
          "%u slots; %s", attributes->cFuncs, wrong.c_str());
    type->ReleaseTypeAttr(attributes);
    type->Release();
    dispatch_side->Release();
}

void switches_by_name(IDispatch* controller, const char* log) {
    using quarn7::testing::switch_frame;
    const auto& documented = quarn7::testing::kDocumentedSwitches;
    const std::size_t before = logged_frames(log, 0).size();
    for (const auto& row : documented) {
        std::wstring name = quarn7::to_wide(row.member);
        LPOLESTR names[] = {name.data()};
        DISPID id = DISPID_UNKNOWN;
        DISPPARAMS none{};
        controller->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        controller->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                           nullptr, nullptr);
    }
    const auto frames = logged_frames(log, before + std::size(documented));
    std::string wrong;
    for (std::size_t i = 0; i < std::size(documented); ++i) {
        const auto& row = documented[i];
        const bool sent = before + i < frames.size() && frames[before + i] == switch_frame(row);
        if (!sent) wrong += std::string(row.member) + " ";
    }
    check(wrong.empty(), "every documented switch member called by name sends its frame",
          "wrong or missing: %s", wrong.c_str());
}

// Values land in the host's own typed variables: here an Integer and a String (a BSTR).
void typed_write_backs(_clsvyx7* controller) {
    short high = 0;
    BSTR text = SysAllocString(L"  AB  ");
    VARIANT value = of(VT_I4, 1000), field = of(VT_I2, 161), low{}, high_ref, text_ref;
    V_VT(&high_ref) = VT_BYREF | VT_I2;
    V_I2REF(&high_ref) = &high;
    V_VT(&text_ref) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&text_ref) = &text;
    const HRESULT split = controller->hooglaag(&value, &high_ref, &low);
    const HRESULT trimmed = controller->ZetTekst(&text_ref, &field);
    check(split == S_OK && high == 3 && trimmed == S_OK && std::wstring(text) == L"AB",
          "hooglaag and ZetTekst write into an Integer and a BSTR", "%08lX %d, %08lX [%ls]", split,
          high, trimmed, text);
    SysFreeString(text);
}

// The host's window procedure, as a host's button would call into the controller.
_clsvyx7* host_controller = nullptr;
HRESULT nested_call = S_OK;

LRESULT CALLBACK host_window(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_APP) nested_call = host_controller->meterteller_aan();
    return message == WM_APP ? 0 : DefWindowProcW(window, message, w, l);
}

// A read runs the host's messages while it waits (first thing, before any reply can come), and
// refuses their call into the same controller: 17, as its HRESULT to this early-bound caller.
void event_pump(_clsvyx7* controller) {
    host_controller = controller;
    const HWND window =
        CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(host_window));
    PostMessageW(window, WM_APP, 0, 0);
    VARIANT tekst = of(VT_I4, 45), result{};
    const HRESULT read = controller->get_lees_waarde(&tekst, &result);
    check(read == S_OK && nested_call == MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 17),
          "a read runs the host's messages and refuses their call (0x800A0011)",
          "%08lX, nested %08lX", read, nested_call);
}

// With diagnostics on, what the port members report goes to a message box without a title of its
// own, which an operator thread reads and closes.
void message_box(_clsvyx7* controller, VARIANT* open) {
    wchar_t text[64] = {}, title[64] = {};
    std::thread operator_thread([&] {
        for (int tries = 0; text[0] == 0 && tries < 6000; ++tries) {
            Sleep(10);
            const HWND box = FindWindowW(L"#32770", nullptr);
            if (box == nullptr || !IsWindowVisible(box)) continue;
            GetWindowTextW(box, title, 64);
            if (GetDlgItemTextW(box, 0xFFFF, text, 64) > 0) PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
    });
    controller->meldingen();
    const HRESULT hr = controller->OpenClose(open);
    operator_thread.join();
    check(hr == S_OK && std::wstring(text) == L"Already open" && title[0] == 0,
          "opening twice shows \"Already open\" in a message box without a title",
          "%08lX [%ls] [%ls]", hr, text, title);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    CoInitialize(nullptr);
    _clsvyx7* controller = nullptr;
    ISerialPort* port = nullptr;
    CoCreateInstance(__uuidof(clsvyx7), nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&controller));
    CoCreateInstance(__uuidof(SerialPort), nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&port));
    type_library(controller);
    VARIANT open = of(VT_BOOL, 1);
    controller->putref_mvarComObject(port);
    controller->put_Poort_nummer(static_cast<short>(std::stoi(argv[1])));
    controller->OpenClose(&open);
    switches_by_name(controller, argv[2]);
    typed_write_backs(controller);
    event_pump(controller);
    message_box(controller, &open);
    std::printf("ok - quarn7-com-client ran to its end\n");
    return failures == 0 ? 0 : 1;
}
