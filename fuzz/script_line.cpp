// Whatever a user types on a script line (the input).
#include "script_line.h"

#include <cassert>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    using namespace quarn7::cli;
    std::vector<std::string> words;
    try {  // nothing but UsageError escapes
        words = split_words({reinterpret_cast<const char*>(input), size});
        for (const auto& word : words) parse_value(word);
        const Call call = resolve_call(words);
        assert(call.args.size() == call.member->arguments.size());
    } catch (const UsageError&) {
    }
    std::string requoted;  // each ' inside a word becomes '\''
    for (const auto& word : words) {
        requoted += " '";
        for (const char c : word) requoted += c == '\'' ? "'\\''" : std::string(1, c);
        requoted += "'";
    }
    assert(split_words(requoted) == words);
    return 0;
}
