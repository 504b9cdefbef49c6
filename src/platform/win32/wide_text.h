// Host text is UTF-8; the Windows API and automation strings are UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace quarn7 {

// Invalid input becomes U+FFFD, never an error.
std::wstring to_wide(std::string_view utf8);
std::string from_wide(std::wstring_view utf16);

}  // namespace quarn7
