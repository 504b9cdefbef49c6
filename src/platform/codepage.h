// Host text is UTF-8; bytes on the wire are code page 1252.
#pragma once

#include <string>
#include <string_view>

namespace quarn7 {

// Each character becomes its code page 1252 byte; a character the page lacks (or invalid UTF-8)
// becomes '?'.
std::string to_cp1252(std::string_view utf8);
// Each byte becomes its code page 1252 character; the five bytes the page leaves undefined map to
// the control character of the same number, so every byte string survives the round trip.
std::string from_cp1252(std::string_view bytes);

}  // namespace quarn7
