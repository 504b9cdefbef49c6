// Whatever a user types on a script line: splitting, typed values and call resolution either work
// or raise a UsageError; nothing else escapes, and the words a line splits into survive being
// quoted and split again.
//
// Input: one script line.
#include "script_line.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "check.h"

namespace quarn7::fuzz {
namespace {

// The word in single quotes, each ' written as '\''.
std::string single_quoted(std::string_view word) {
    std::string out = "'";
    for (const char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool has_typed_prefix(std::string_view word) {
    for (const std::string_view tag : {"int:", "long:", "dbl:", "bool:", "empty:"}) {
        if (word.starts_with(tag)) return true;
    }
    return false;
}

void check_value(const std::string& word) {
    try {
        const Variant value = cli::parse_value(word);
        if (word.starts_with("str:")) {
            check(value == Variant(word.substr(4)), "str: keeps the text");
        }
        if (value.type() == VarType::Integer) {
            check(cli::parse_value(std::to_string(value.integer_value())) == value,
                  "an Integer reads back");
        }
        if (value.type() == VarType::String && !word.starts_with("str:")) {
            check(value == Variant(word), "plain text stays as typed");
        }
    } catch (const cli::UsageError&) {
        check(has_typed_prefix(word), "only a typed value can be refused");
    }
}

}  // namespace
}  // namespace quarn7::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    using namespace quarn7;
    using fuzz::check;
    const std::string_view line(reinterpret_cast<const char*>(input), size);
    std::vector<std::string> words;
    try {
        words = cli::split_words(line);
    } catch (const cli::UsageError&) {
        return 0;
    }
    std::string requoted;
    for (const auto& word : words) requoted += " " + fuzz::single_quoted(word);
    check(cli::split_words(requoted) == words, "quoted words split back into themselves");

    for (const auto& word : words) fuzz::check_value(word);
    try {
        const cli::Call call = cli::resolve_call(words);
        check(call.member != nullptr, "a resolved call has its member");
        check(call.args.size() == call.member->arguments.size(), "one value per argument");
    } catch (const cli::UsageError&) {
    }
    return 0;
}
