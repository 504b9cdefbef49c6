// What the host makes of a call's words: shell-style splitting of script lines, typed argument
// values, and the member a call means.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "quarn7/dispatch.h"
#include "quarn7/variant.h"

namespace quarn7::cli {

// A mistake in how the host was called (exit status 2), as opposed to an error of a member.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The words of a line as a POSIX shell splits them: blanks separate, single quotes keep
// everything, double quotes keep everything but \" \\ \$ \`, a backslash outside quotes escapes
// the next character, an unquoted # at the start of a word ends the line. Nothing is expanded.
std::vector<std::string> split_words(std::string_view line);

// An argument or let value: int:, long:, dbl:, str:, bool: or empty: give the type; without a
// prefix a whole number is an Integer when it fits 16 bits, a Long when it fits 32, any other
// decimal number a Double, anything else a String.
Variant parse_value(std::string_view text);

// A call resolved against the interface: its member and its arguments, ready to invoke.
struct Call {
    const Member* member = nullptr;
    std::vector<Variant> args;
};

// `NAME [ARG ...]` calls a method or property get; `NAME=VALUE` a property let (or set), VALUE
// being everything after the first "=", later words joined by one blank. An unknown name or a
// wrong number of arguments raises UsageError naming the problem and the closest members.
Call resolve_call(const std::vector<std::string>& words);

// What the member's arguments look like: the value's form for a let ("hh:mm|dd-mm-yyyy" for
// tijd), else ARG=FORM for each argument that has one; "" when nothing is said of them.
std::string expected_arguments(const Member& member);
// ARG or ARG=FORM for argument `index`, as --list-members shows it.
std::string argument_with_form(const Member& member, std::size_t index);

// Levenshtein distance, ignoring case.
std::size_t edit_distance(std::string_view a, std::string_view b);
// The `count` member names nearest to `name` (each name once), nearest first.
std::vector<std::string_view> closest_member_names(std::string_view name, std::size_t count);

}  // namespace quarn7::cli
