// The message box and event pump of a Windows host.
#pragma once

#include "quarn7/services.h"

namespace quarn7 {

// A modal box with the text and one OK button, owned by the calling thread's active window and
// with no title of its own; returns once the operator closed it.
MessageBox win32_message_box();
// Dispatches the window messages waiting for the calling thread, so the host's window stays
// alive during a read.
EventPump win32_event_pump();

}  // namespace quarn7
