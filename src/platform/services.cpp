#include "quarn7/services.h"

#include <iostream>

namespace quarn7 {

MessageBox stderr_message_box() {
    return [](const std::string& text) { std::cerr << text << '\n' << std::flush; };
}

}  // namespace quarn7
