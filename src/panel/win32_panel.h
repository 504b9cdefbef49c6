// The service panel as a plain Win32 window, for the automation server: a view over the panel
// model, with its controls built from the panel tables.
#pragma once

#include <memory>

#include "quarn7/clsvyx7.h"

namespace quarn7::panel {

// The window's class, and its controls' ids for whoever drives it from outside (test clients,
// accessibility tools): a button of the array CommandN has 1000 × N + its index ("Command2_16"
// is 2016, "Command8" is 8000), the entry box TextN has 100 + N, the status line 9000.
inline constexpr wchar_t kWin32PanelClass[] = L"Quarn7Panel";

// Shows the panel driving `controller` and returns at once. The one window is created on the
// calling thread on first use (that thread must dispatch window messages, as a host's user
// interface thread does) and kept; "Sluit venster" hides it, and the next call shows it again
// with every box at its initial text.
void open_win32_panel(std::shared_ptr<clsvyx7> controller);

}  // namespace quarn7::panel
