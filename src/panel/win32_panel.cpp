#include "panel/win32_panel.h"

#include <algorithm>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "panel/panel_model.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace quarn7::panel {

namespace {

// Geometry in pixels at 96 dots per inch; the window is built scaled to the system's DPI.
constexpr int kMargin = 6;
constexpr int kGap = 3;
constexpr int kLine = 14;  // a command button of one text line
constexpr int kFrameTop = 16;
constexpr int kFrameSide = 5;
constexpr int kRow = 22;  // entry boxes, labels and the buttons outside the groups
constexpr int kValueBoxWidth = 28;
constexpr int kDoColumn = 150;
constexpr int kReadColumn = 140;
constexpr int kWriteColumn = 150;
constexpr int kSideStrip = 140;
constexpr int kTextBoxWidth = 350;
constexpr int kStatusId = 9000;
// Command buttons 7 points, the value boxes of the write group 6, everything else 8.
constexpr int kButtonPoints = 7;
constexpr int kValueBoxPoints = 6;
constexpr int kTextPoints = 8;

struct Box {
    int x, y, width, height;
};

// "Command2" gives 2, "Text20" 20.
int number_in(std::string_view name) {
    int number = 0;
    for (const char c : name) {
        if (c >= '0' && c <= '9') number = number * 10 + (c - '0');
    }
    return number;
}

int button_id(ButtonArray array, int index) {
    return 1000 * number_in(array_name(array)) + index;
}

int box_id(std::string_view box) {
    return 100 + number_in(box);
}

// A group box's caption by its name, a label's by the box it names.
template <class Row, std::size_t N>
std::string_view caption_of(const Row (&rows)[N], std::string_view name) {
    for (const Row& row : rows) {
        if constexpr (requires { row.box; }) {
            if (row.box == name) return row.caption;
        } else if (row.name == name) {
            return row.caption;
        }
    }
    return {};
}

std::string_view single_caption(ButtonArray array, int index = 0) {
    for (const SingleButton& button : kSingleButtons) {
        if (button.array == array && button.index == index) return button.caption;
    }
    return {};
}

HINSTANCE this_module() {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&this_module), &module);
    return module;
}

class Win32Panel final : public PanelView {
public:
    void open(std::shared_ptr<clsvyx7> controller) {
        if (!IsWindow(window_)) build();
        model_.set_controller(std::move(controller));
        if (!IsWindowVisible(window_)) model_.reset();
        ShowWindow(window_, SW_SHOWNORMAL);
        SetForegroundWindow(window_);
    }

    void text_changed(std::string_view box, const std::string& text) override {
        SetDlgItemTextW(window_, box_id(box), to_wide(text).c_str());
    }
    void busy_changed(bool busy) override {
        for (const auto& [button, enabled] : command_buttons_)
            EnableWindow(button, !busy && enabled);
    }
    void status_changed(const std::string& status) override {
        SetDlgItemTextW(window_, kStatusId, to_wide(status).c_str());
    }
    void show_message(const std::string& text) override {
        MessageBoxW(window_, to_wide(text).c_str(), L"", MB_OK);
    }
    void pump_events() override { pump_(); }

private:
    static LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM w, LPARAM l);
    void command(int id, int notification, HWND control);

    int scaled(int pixels) const { return MulDiv(pixels, dpi_, 96); }
    HFONT font(int points) const {
        return CreateFontW(-MulDiv(points, dpi_, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH, L"Tahoma");
    }
    HWND add(const wchar_t* kind, std::string_view text, DWORD style, int id, Box at, HFONT face);
    void add_button(std::string_view caption, int id, Box at, bool enabled = true,
                    HFONT face = nullptr, int lines = 1);
    void add_entry_box(std::string_view name, Box at, HFONT face = nullptr);
    void add_label(std::string_view box, Box at, DWORD align = SS_LEFT);
    void add_frame(std::string_view name, Box at);
    template <class Row, std::size_t N>
    std::vector<int> add_columns(const Row (&rows)[N], ButtonArray array, int x, int y,
                                 int column_width);
    void build();

    PanelModel model_{*this};
    EventPump pump_ = win32_event_pump();
    HWND window_ = nullptr;
    int dpi_ = 96;
    HFONT text_font_ = nullptr, button_font_ = nullptr, value_box_font_ = nullptr;
    std::vector<std::pair<HWND, bool>> command_buttons_;  // with their enabled state at rest
};

HWND Win32Panel::add(const wchar_t* kind, std::string_view text, DWORD style, int id, Box at,
                     HFONT face) {
    const HWND control =
        CreateWindowExW(std::wstring_view(kind) == L"EDIT" ? WS_EX_CLIENTEDGE : 0, kind,
                        to_wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, scaled(at.x),
                        scaled(at.y), scaled(at.width), scaled(at.height), window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), this_module(), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(face ? face : text_font_), FALSE);
    return control;
}

void Win32Panel::add_button(std::string_view caption, int id, Box at, bool enabled, HFONT face,
                            int lines) {
    const DWORD style = WS_TABSTOP | BS_PUSHBUTTON | (lines > 1 ? BS_MULTILINE : 0);
    const HWND button = add(L"BUTTON", caption, style, id, at, face);
    EnableWindow(button, enabled);
    command_buttons_.emplace_back(button, enabled);
}

void Win32Panel::add_entry_box(std::string_view name, Box at, HFONT face) {
    for (const EntryBox& box : kEntryBoxes) {
        if (box.name != name) continue;
        EnableWindow(add(L"EDIT", box.initial, WS_TABSTOP | ES_AUTOHSCROLL, box_id(name), at, face),
                     box.enabled);
    }
}

void Win32Panel::add_label(std::string_view box, Box at, DWORD align) {
    add(L"STATIC", caption_of(kLabels, box), align, -1, at, nullptr);
}

void Win32Panel::add_frame(std::string_view name, Box at) {
    add(L"BUTTON", caption_of(kFrames, name), BS_GROUPBOX, -1, at, nullptr);
}

// The buttons of one array in their columns, from (x, y) down; a write button with a value box
// beside it leaves room for the box. The bottom of each column.
template <class Row, std::size_t N>
std::vector<int> Win32Panel::add_columns(const Row (&rows)[N], ButtonArray array, int x, int y,
                                         int column_width) {
    std::vector<int> bottoms;
    for (const Row& row : rows) {
        if (bottoms.size() <= row.column) bottoms.resize(row.column + 1, y);
        int& top = bottoms[row.column];
        const int left = x + row.column * (column_width + kGap);
        int width = column_width;
        int lines = 1;
        if constexpr (requires { row.lines; }) lines = row.lines;
        if constexpr (std::is_same_v<Row, WriteButton>) {
            for (const EntryBox& box : kEntryBoxes) {
                if (box.beside_write != row.index) continue;
                width -= kValueBoxWidth + 2;
                add_entry_box(box.name, {left + width + 2, top, kValueBoxWidth, kLine},
                              value_box_font_);
            }
        }
        bool enabled = true;
        if constexpr (requires { row.enabled; }) enabled = row.enabled;
        add_button(row.caption, button_id(array, row.index), {left, top, width, lines * kLine},
                   enabled, button_font_, lines);
        top += lines * kLine + 1;
    }
    return bottoms;
}

// The arrangement of the panel: the do-commands top left, the reads top right, the writes
// bottom left with the port group, the two switches and the position boxes in a strip beside
// them, Text1 and Text2 along the bottom.
void Win32Panel::build() {
    const HDC screen = GetDC(nullptr);
    dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    text_font_ = font(kTextPoints);
    button_font_ = font(kButtonPoints);
    value_box_font_ = font(kValueBoxPoints);
    command_buttons_.clear();

    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = this_module();
    window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    window_class.lpszClassName = kWin32PanelClass;
    RegisterClassExW(&window_class);  // fails harmlessly when a lost window is built again
    constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    window_ =
        CreateWindowExW(0, kWin32PanelClass, to_wide(kWindowTitle).c_str(), kStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, 100, 100, nullptr, nullptr, this_module(), this);

    const int do_width = 3 * kDoColumn + 2 * kGap + 2 * kFrameSide;
    const int read_x = kMargin + do_width + kMargin;
    const int read_width = 2 * kReadColumn + kGap + 2 * kFrameSide;
    const int top = kMargin + kFrameTop;
    const auto do_bottoms =
        add_columns(kDoButtons, ButtonArray::Do, kMargin + kFrameSide, top, kDoColumn);
    const auto read_bottoms =
        add_columns(kReadButtons, ButtonArray::Read, read_x + kFrameSide, top, kReadColumn);
    const int upper_bottom = std::max(std::ranges::max(do_bottoms), std::ranges::max(read_bottoms));
    add_frame("Frame1", {kMargin, kMargin, do_width, upper_bottom + kFrameSide - kMargin});
    add_frame("Frame2", {read_x, kMargin, read_width, upper_bottom + kFrameSide - kMargin});

    const int write_y = upper_bottom + kFrameSide + kMargin;
    auto write_bottoms = add_columns(kWriteButtons, ButtonArray::Write, kMargin + kFrameSide,
                                     write_y + kFrameTop, kWriteColumn);
    int& last_column = write_bottoms.back();
    const int last_x =
        kMargin + kFrameSide + (static_cast<int>(write_bottoms.size()) - 1) * (kWriteColumn + kGap);
    add_button(single_caption(ButtonArray::TestLines), button_id(ButtonArray::TestLines, 0),
               {last_x, last_column + kMargin, kWriteColumn, kLine}, true, button_font_);
    last_column += kMargin + kLine;
    const int write_width = 4 * kWriteColumn + 3 * kGap + 2 * kFrameSide;
    const int write_bottom = std::ranges::max(write_bottoms) + kFrameSide;
    add_frame("Frame4", {kMargin, write_y, write_width, write_bottom - write_y});

    const int side_x = kMargin + write_width + kMargin;
    const int half = (kSideStrip - 3 * kMargin) / 2;
    add_label("Text6", {side_x + kMargin, write_y + 13, half, kRow - 4});
    add_entry_box("Text6", {side_x + kMargin + half + kMargin, write_y + 10, half, kRow - 2});
    for (int index = 0; index < 2; ++index) {
        add_button(single_caption(ButtonArray::Port, index), button_id(ButtonArray::Port, index),
                   {side_x + kMargin + index * (half + kMargin), write_y + 36, half, kRow});
    }
    add_frame("Frame3", {side_x, write_y, kSideStrip, 64});
    int y = write_y + 64 + kMargin;
    for (const ButtonArray single : {ButtonArray::Diagnostics, ButtonArray::Close}) {
        add_button(single_caption(single), button_id(single, 0), {side_x, y, kSideStrip, kRow});
        y += kRow + kMargin;
    }
    y = write_bottom - 2 * kRow - kMargin;
    for (const std::string_view box : {"Text3", "Text4"}) {
        add_label(box, {side_x, y + 3, half + kMargin, kRow - 4}, SS_RIGHT);
        add_entry_box(box, {side_x + half + 2 * kMargin, y, half + kMargin, kRow - 2});
        y += kRow + 2;
    }

    y = write_bottom + kMargin;
    for (const std::string_view box : {"Text1", "Text2"}) {
        add_entry_box(box, {kMargin, y, kTextBoxWidth, kRow - 2});
        add_label(box, {kMargin + kTextBoxWidth + kMargin, y + 3, 150, kRow - 4});
        y += kRow + 2;
    }
    add(L"STATIC", "", SS_RIGHT, kStatusId, {side_x - 80, y - kRow + 3, kSideStrip + 80, kRow - 4},
        nullptr);

    RECT frame{0, 0, scaled(side_x + kSideStrip + kMargin), scaled(y + kMargin)};
    AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Panel::command(int id, int notification, HWND control) {
    if (notification == EN_CHANGE) {
        std::wstring text(GetWindowTextLengthW(control) + 1, L'\0');
        text.resize(GetWindowTextW(control, text.data(), static_cast<int>(text.size())));
        model_.edit("Text" + std::to_string(id - 100), from_wide(text));
        return;
    }
    if (notification != BN_CLICKED || id < 1000) return;
    for (const ArrayName& row : kArrayNames) {
        if (number_in(row.name) != id / 1000) continue;
        if (row.array == ButtonArray::Close) {
            ShowWindow(window_, SW_HIDE);
        } else {
            model_.click(row.array, id % 1000);
        }
    }
}

LRESULT CALLBACK Win32Panel::window_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(l);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* panel = reinterpret_cast<Win32Panel*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_COMMAND:
            if (panel) panel->command(LOWORD(w), HIWORD(w), reinterpret_cast<HWND>(l));
            return 0;
        case WM_CLOSE:  // closing only hides: the panel and its controller stay
            ShowWindow(window, SW_HIDE);
            return 0;
        default:
            return DefWindowProcW(window, message, w, l);
    }
}

}  // namespace

void open_win32_panel(std::shared_ptr<clsvyx7> controller) {
    // Kept for the life of the process: its window may outlive every automation object.
    static Win32Panel* const panel = new Win32Panel;
    panel->open(std::move(controller));
}

}  // namespace quarn7::panel
