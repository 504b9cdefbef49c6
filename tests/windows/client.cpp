// The automation client that tests/windows/run starts under Wine (its unit on COM20).
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <utility>

#include "panel_clicks.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"
#include "quarn7/dispatch.h"
#include "tarnvyx7.h"

template <class... Details>
static void check(bool ok, const char* name, const std::string& format, Details... details) {
    std::printf(((ok ? "ok - %s: " : "FAIL - %s: ") + format + "\n").c_str(), name, details...);
    std::fflush(stdout);
}

static VARIANT long_value(LONG value) {
    VARIANT v{};
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

// _clsvyx7 slot by slot against the dispatch table: DISPIDs number the names by first appearance,
// a get's value is one more parameter ([out, retval]).
static void type_library(IDispatch* controller) {
    ITypeInfo *dispatch_side = nullptr, *type = nullptr;
    HREFTYPE vtable_side = 0;
    TYPEATTR* attributes = nullptr;
    controller->GetTypeInfo(0, LOCALE_USER_DEFAULT, &dispatch_side);
    dispatch_side->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable_side);
    dispatch_side->GetRefTypeInfo(vtable_side, &type);
    type->GetTypeAttr(&attributes);
    const auto& members = quarn7::interface_members();
    constexpr std::string_view kinds[] = {"", "method", "get", "", "let", "", "", "", "set"};
    std::map<std::string_view, DISPID> ids;
    std::string wrong;
    for (UINT i = 0; i < attributes->cFuncs && i < members.size(); ++i) {
        const quarn7::Member& m = members[i];
        const DISPID id = ids.try_emplace(m.name, ids.size() + 1).first->second;
        FUNCDESC* f = nullptr;
        BSTR name = nullptr;
        type->GetFuncDesc(i, &f);
        type->GetDocumentation(f->memid, &name, nullptr, nullptr, nullptr);
        const std::size_t parameters = m.arguments.size() + (m.kind == quarn7::MemberKind::Get);
        if (quarn7::from_wide(name) != m.name || kinds[f->invkind] != quarn7::kind_name(m.kind) ||
            f->memid != id || static_cast<std::size_t>(f->cParams) != parameters) {
            wrong += std::string(m.name) + " ";
        }
    }
    check(attributes->cFuncs == members.size() && wrong.empty(),
          "type info matches the dispatch table", "%u; %s", attributes->cFuncs, wrong.c_str());
}

// Values land in the host's own typed variables: here an Integer and a String (a BSTR).
static void typed_write_backs(_clsvyx7* controller) {
    short high = 0;
    BSTR text = SysAllocString(L"  AB  ");
    VARIANT value = long_value(1000), field = long_value(161), low{}, high_ref, text_ref;
    V_VT(&high_ref) = VT_BYREF | VT_I2;
    V_I2REF(&high_ref) = &high;
    V_VT(&text_ref) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&text_ref) = &text;
    const HRESULT split = controller->hooglaag(&value, &high_ref, &low);
    const HRESULT trimmed = controller->ZetTekst(&text_ref, &field);
    check(split == S_OK && high == 3 && trimmed == S_OK && std::wstring(text) == L"AB",
          "hooglaag and ZetTekst write into an Integer and a BSTR", "%d [%ls]", high, text);
}

static HRESULT nested_call = S_OK;
static LRESULT CALLBACK host_window(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_APP) nested_call = reinterpret_cast<_clsvyx7*>(l)->meterteller_aan();
    return message == WM_APP ? 0 : DefWindowProcW(window, message, w, l);
}

// The unit first reads back what the previous client wrote. While a read waits, a host button's
// call comes in and is refused; 1300 m crosses as C8 32 00 00.
static void read_back(_clsvyx7* controller, LONG before, LONG metres) {
    const HWND window =
        CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(host_window));
    VARIANT written = long_value(metres), earlier{}, read{};
    controller->get_afstand(&earlier);
    controller->put_afstand(&written);
    PostMessageW(window, WM_APP, 0, reinterpret_cast<LPARAM>(controller));
    const HRESULT hr = controller->get_afstand(&read);
    check(V_R8(&earlier) == before && hr == S_OK && V_VT(&read) == VT_R8 && V_R8(&read) == metres,
          "the previous client's distance, then this one's, read through COM20", "%g %08lX %d %g",
          V_R8(&earlier), hr, V_VT(&read), V_R8(&read));
    check(nested_call == MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 17),
          "a read runs host messages, refusing their call (0x800A0011)", "%08lX", nested_call);
}

// --- The panel that panel.vbs shows, worked by control id (CommandN_i 1000 N + i, TextN 100 + N)
// and checked against the unit's log (argv[2]), where a repeated frame counts once.

static std::wstring text_of(HWND window) {
    wchar_t text[256] = {};
    SendMessageW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    return text;
}

// The frames logged from line `seen` on ("<time>  <frame>  -> <answer>"), " | " between them.
static std::string frames_from(const char* log, std::size_t& seen, std::string frames = "") {
    static std::string last;
    std::ifstream in(log);
    std::string line;
    for (std::size_t n = 0; std::getline(in, line); ++n) {
        if (n < seen || line.find("  -> ") == std::string::npos) continue;
        const std::size_t from = line.find("  ", line.find_first_not_of(' ')) + 2;
        const std::string frame = line.substr(from, line.find("  -> ") - from);
        if (frame != std::exchange(last, frame)) frames += (frames.empty() ? "" : " | ") + frame;
        seen = n + 1;
    }
    return frames;
}

template <class Condition>
static bool wait_for(Condition condition, int tries = 1000) {
    for (; !condition() && tries > 0; --tries) Sleep(10);
    return condition();
}

// The text of the next message box of this title; it is closed with OK.
static std::wstring answer_box(const wchar_t* title) {
    HWND box = nullptr;
    wait_for([&] { return IsWindowVisible(box = FindWindowW(L"#32770", title)); });
    const std::wstring text = text_of(GetDlgItem(box, 0xFFFF));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return text;
}

// With diagnostics on, opening an open port is reported in a message box with no title.
static void message_box(_clsvyx7* controller, VARIANT* open) {
    std::wstring text;
    std::thread operator_thread([&] { text = answer_box(L""); });
    controller->meldingen();
    const HRESULT hr = controller->OpenClose(open);
    operator_thread.join();
    check(hr == S_OK && text == L"Already open", "\"Already open\" in a message box with no title",
          "%08lX [%ls]", hr, text.c_str());
}

static void panel(const char* log) {
    HWND panel = nullptr;
    wait_for([&] { return IsWindowVisible(panel = FindWindowW(L"Quarn7Panel", L"  ")); }, 3000);
    const auto item = [&](int id) { return GetDlgItem(panel, id); };
    const auto texts = [&](std::initializer_list<int> ids, std::wstring out = L"") {
        for (int id : ids) out += text_of(item(id)) + (IsWindowEnabled(item(id)) ? L"|" : L"-|");
        return out;  // "-" after a disabled control
    };
    const auto type = [&](int id, std::string_view text) {
        SetDlgItemTextW(panel, id, std::wstring(text.begin(), text.end()).c_str());
    };
    const std::wstring shown =
        texts({1001, 1066, 2027, 3039, 4000, 4001, 5000, 7000, 8000, 106, 101, 120, 123});
    check(shown ==
              L"Tijdvesnter uit|Bedrijfslogo aan-|Venster zetten tekstveld 1..20:|Staus DE|"
              L"Open|Close|zettekst xy|Meldingen wissel|Sluit venster|10|Text1|1|1-|",
          "settings shows the panel: captions, texts, disabled controls", "%ls", shown.c_str());
    type(106, "20");
    SendMessageW(item(4000), BM_CLICK, 0, 0);  // Open on COM20
    std::size_t seen = 0;
    std::string frames = frames_from(log, seen), wrong;
    for (const quarn7::testing::PanelClick& row : quarn7::testing::kPanelClicks) {
        type(101, row.text1);
        const int id = 1000 * (row.array.back() - '0') + row.index;
        SendMessageW(item(id), BM_CLICK, 0, 0);
        frames.clear();
        wait_for([&] { return (frames = frames_from(log, seen, frames)) == row.frames; }, 100);
        const std::wstring text1(row.shown.begin(), row.shown.end());
        if (frames != row.frames || text_of(item(101)) != text1) {
            wrong += std::to_string(id) + " [" + frames + "] ";
        }
    }
    check(wrong.empty(), "the shared clicks: frames on the line, Text1 after", "%s", wrong.c_str());
    // With diagnostics on, a call's echo (through the panel's message box) waits for the operator
    // while every button is disabled.
    SendMessageW(item(7000), BM_CLICK, 0, 0);
    PostMessageW(item(1006), BM_CLICK, 0, 0);
    wait_for([&] { return IsWindowVisible(FindWindowW(L"#32770", L"")); });
    const std::wstring busy = texts({1000, 3010, 4000, 4001, 5000, 7000, 8000});
    const std::wstring echo = answer_box(L"");
    check(std::ranges::count(busy, L'-') == 7 && echo == L"226010D" &&
              wait_for([&] { return IsWindowEnabled(item(8000)); }),
          "buttons disabled while a call runs, its echo in a message box", "%ls [%ls]",
          busy.c_str(), echo.c_str());
    SendMessageW(item(8000), BM_CLICK, 0, 0);
    const bool hidden = !IsWindowVisible(panel);
    answer_box(L"panel test");  // panel.vbs calls settings again
    wait_for([&] { return IsWindowVisible(panel); });
    check(hidden && texts({101, 106}) == L"Text1|10|",
          "Sluit venster, then settings: initial texts", "%ls", texts({101}).c_str());
    answer_box(L"panel test");
}

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    if (std::string(argv[1]) == "panel") return panel(argv[2]), 0;
    CoInitialize(nullptr);
    _clsvyx7* controller = nullptr;
    ISerialPort* port = nullptr;
    CoCreateInstance(__uuidof(clsvyx7), nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&controller));
    CoCreateInstance(__uuidof(SerialPort), nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&port));
    type_library(controller);
    VARIANT open = long_value(-1);  // True
    controller->putref_mvarComObject(port);
    controller->put_Poort_nummer(20);
    controller->OpenClose(&open);
    typed_write_backs(controller);
    read_back(controller, std::stol(argv[1]), std::stol(argv[2]));
    message_box(controller, &open);
}
