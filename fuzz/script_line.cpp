// Whatever a user types on a script line (the input): splitting, typed values and call resolution
// either work or raise UsageError (nothing else escapes); a resolved call has one value per
// argument; the words a line splits into, put in single quotes again, split back into themselves.
#include "script_line.h"

#include "check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    using namespace quarn7;
    std::vector<std::string> words;
    try {
        words = cli::split_words({reinterpret_cast<const char*>(input), size});
        for (const auto& word : words) cli::parse_value(word);
        const cli::Call call = cli::resolve_call(words);
        check(call.args.size() == call.member->arguments.size(), "one value per argument");
    } catch (const cli::UsageError&) {
    }
    std::string requoted;  // each ' inside a word becomes '\''
    for (const auto& word : words) {
        requoted += " '";
        for (const char c : word) requoted += c == '\'' ? "'\\''" : std::string(1, c);
        requoted += "'";
    }
    check(cli::split_words(requoted) == words, "quoted words split back into themselves");
    return 0;
}
