// Byte strings as hex text, for logs and command-line options.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quarn7::sim {

// "02 01 00 00 26 00 0D": upper-case pairs separated by blanks.
std::string hex_dump(std::string_view bytes);
// "0201", "02 01" or "02:01" to bytes; nullopt when a digit is not hex or a pair is incomplete.
std::optional<std::string> parse_hex(std::string_view text);

}  // namespace quarn7::sim
