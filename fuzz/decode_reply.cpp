// An item and the reply to its read, split as the read transaction splits it. Input: item, reply.
#include <cassert>
#include <vector>

#include "protocol/read_items.h"
#include "protocol/frame.h"
#include "quarn7/error.h"
#include "support/protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    using namespace quarn7;
    if (size < 1 + wire::kReplyMinimum) return 0;  // no reply: the transaction decodes nothing
    const int item = input[0];
    const std::string_view reply(reinterpret_cast<const char*>(input + 1), size - 1);
    const std::string_view data = wire::reply_data(reply);
    const std::vector<char> buf(data.begin(), data.end());  // exactly sized: ASan sees a read past
    std::size_t needed = 0;  // data bytes the unit sends for the item; 0: it does not answer it
    for (const auto& [i, bytes] : testing::kDocumentedItems) needed += i == item ? bytes : 0;
    try {
        const auto value = decode_reply(item, {buf.data(), buf.size()}, wire::reply_length(reply));
        assert(!value || needed > 0);
    } catch (const Error& e) {
        const bool short_reply = e.number() == ErrorNumber::InvalidArgument && buf.size() < needed;
        assert(short_reply || (e.number() == ErrorNumber::Overflow && item == 32));
    }
    return 0;
}
