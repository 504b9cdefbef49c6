// Any read reply for any item, split as the read transaction splits it: decoding gives a value or
// leaves the echo, or raises one of its two errors, and only for the reason it has.
//
// Input: the item, then the reply bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "protocol/read_items.h"
#include "protocol/frame.h"
#include "quarn7/error.h"

namespace quarn7::fuzz {
namespace {

int byte_at(std::string_view data, std::size_t i) {
    return static_cast<unsigned char>(data[i]);
}

// The rules whose result is a plain number, worked out here the long way.
void check_numbers(const ReadItem& row, std::string_view data, const Variant& result) {
    switch (row.rule) {
        case ItemRule::SmallNumber:
            check(result == Variant(static_cast<std::int16_t>(byte_at(data, 0))), "small number");
            break;
        case ItemRule::Counter16:
            check(result == Variant(std::to_string(byte_at(data, 1) * 256 + byte_at(data, 0))),
                  "16-bit counter");
            break;
        case ItemRule::Counter32: {
            const std::uint64_t value =
                (std::uint64_t{static_cast<unsigned>(byte_at(data, 3))} << 32) +
                byte_at(data, 2) * 65536u + byte_at(data, 1) * 256u + byte_at(data, 0);
            check(result == Variant(std::to_string(value)), "32-bit counter");
            break;
        }
        case ItemRule::Word16:
            check(
                result == Variant(" " + std::to_string(byte_at(data, 1) * 256 + byte_at(data, 0))),
                "16-bit word");
            break;
        case ItemRule::SignedByte:
            check(result == Variant(" " + std::to_string(byte_at(data, 0))), "signed byte");
            break;
        default:
            break;
    }
}

}  // namespace
}  // namespace quarn7::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    using namespace quarn7;
    using fuzz::check;
    if (size == 0) return 0;
    const int item = input[0];
    const std::string_view reply(reinterpret_cast<const char*>(input + 1), size - 1);
    if (reply.size() < wire::kReplyMinimum) return 0;  // no reply: nothing is decoded

    const std::size_t announced = wire::reply_length(reply);
    const std::string_view data = wire::reply_data(reply);
    check(announced <= wire::kReplyDataCap, "length capped");
    check(data.size() <= announced && data.size() <= reply.size() - 4, "data within the reply");

    const ReadItem* row = find_read_item(item);
    try {
        const auto result = decode_reply(item, data, announced);
        if (row == nullptr) {
            check(!result, "an item without a rule leaves the echo");
            return 0;
        }
        if (!result) return 0;
        check(result->type() == VarType::String || result->type() == VarType::Integer,
              "text or a small number");
        if (data.size() >= row->data_bytes) fuzz::check_numbers(*row, data, *result);
    } catch (const Error& e) {
        check(row != nullptr, "an item without a rule raises nothing");
        if (e.number() == ErrorNumber::InvalidArgument) {
            check(data.size() < row->data_bytes, "missing bytes only when the reply was short");
        } else {
            check(e.number() == ErrorNumber::Overflow && row->rule == ItemRule::Resolution,
                  "overflow only for the resolution");
        }
    }
    return 0;
}
