// What the controller needs from its host besides the port: a message box and an event pump.
#pragma once

#include <functional>
#include <string>

#include "quarn7/export.h"

namespace quarn7 {

// Shows one text to the operator and returns once it was seen. The default writes the text to
// standard error.
using MessageBox = std::function<void(const std::string& text)>;
QUARN7_API MessageBox stderr_message_box();

// Lets the host's pending events run; the default does nothing.
using EventPump = std::function<void()>;

}  // namespace quarn7
