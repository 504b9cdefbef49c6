#include "platform/win32/services_win32.h"

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace quarn7 {

MessageBox win32_message_box() {
    return [](const std::string& text) {
        MessageBoxW(GetActiveWindow(), to_wide(text).c_str(), L"", MB_OK);
    };
}

EventPump win32_event_pump() {
    return [] {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            // WM_QUIT belongs to the host's own loop: put it back and let that loop end.
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    };
}

}  // namespace quarn7
