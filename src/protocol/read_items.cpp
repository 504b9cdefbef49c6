#include "protocol/read_items.h"

#include <algorithm>
#include <string>

#include "platform/codepage.h"
#include "platform/conversions.h"
#include "quarn7/error.h"

namespace quarn7 {
namespace {

// The data bytes of one reply, as the decoding rules take them.
class ReplyData {
public:
    explicit ReplyData(std::string_view data) : data_(data) {}

    // b(i): the code of data byte i; a byte the reply did not carry cannot be decoded.
    int b(std::size_t i) const {
        if (i >= data_.size()) {
            throw Error(ErrorNumber::InvalidArgument,
                        "The reply carries no data byte " + std::to_string(i));
        }
        return static_cast<unsigned char>(data_[i]);
    }
    // c(i): data byte i as a character; empty where the reply ended.
    std::string c(std::size_t i) const {
        return i < data_.size() ? from_cp1252(data_.substr(i, 1)) : std::string();
    }
    int word(std::size_t i) const { return b(i + 1) * 256 + b(i); }  // low byte first

private:
    std::string_view data_;
};

std::string signed_form(int n) { return quarn7::signed_form(static_cast<double>(n)); }

int signed16(int word) {
    if (word > 32767) throw Error(ErrorNumber::Overflow);
    return word;
}

}  // namespace

const ReadItem* find_read_item(int item) {
    const auto* end = std::end(kReadItems);
    const auto* row = std::find_if(std::begin(kReadItems), end,
                                   [item](const ReadItem& r) { return r.item == item; });
    return row == end ? nullptr : row;
}

std::optional<Variant> decode_reply(int item, std::string_view data, std::size_t announced) {
    const ReadItem* row = find_read_item(item);
    if (row == nullptr) return std::nullopt;
    const ReplyData r(data);
    switch (row->rule) {
        case ItemRule::Resolution: {
            const int x = signed16(r.word(0));
            const int y = signed16(r.word(2));
            return Variant(signed_form(x) + "x" + signed_form(y));
        }
        case ItemRule::SmallNumber:
            return Variant(static_cast<std::int16_t>(r.b(0)));
        case ItemRule::OffOn:
            if (r.b(0) > 1) return std::nullopt;
            return Variant(r.b(0) == 0 ? "Uit" : "Aan");
        case ItemRule::TvStandard:
            if (r.b(0) > 1) return std::nullopt;
            return Variant(r.b(0) == 0 ? "NTSC" : "PAL");
        case ItemRule::DateChars:
            return Variant(r.c(0) + ":" + r.c(1) + " " + r.c(2) + "/" + r.c(3) + "/" + r.c(4));
        case ItemRule::ClockBytes:
            return Variant(signed_form(r.b(1)) + ":" + signed_form(r.b(0)) + " " +
                           signed_form(r.b(2)) + "/" + signed_form(r.b(3)) + "/" +
                           signed_form(r.b(4)));
        case ItemRule::Counter32:
            // The fourth byte weighs 2^32, as the counter write splits it.
            return Variant(plain_form(r.b(3) * 4294967296.0 + r.b(2) * 65536.0 + r.b(1) * 256.0 +
                                      r.b(0)));
        case ItemRule::Counter16:
            return Variant(plain_form(r.word(0)));
        case ItemRule::Word16:
            if (announced <= 1) return std::nullopt;
            return Variant(signed_form(r.word(0)));
        case ItemRule::RevisionBytes:
            return Variant(signed_form(r.b(0)) + ":" + signed_form(r.b(1)) + ":" +
                           signed_form(r.b(2)) + ":" + signed_form(r.b(3)));
        case ItemRule::StatusChars:
            return Variant(r.c(0) + ":" + r.c(1) + ":" + r.c(2));
        case ItemRule::Logo:
            if (r.b(0) == 0) return Variant("Geen Logo");
            return Variant("Logo: " + plain_form(r.b(0)));
        case ItemRule::CounterUnit:
            switch (r.b(0)) {
                case 2: return Variant("cm");
                case 3: return Variant("ft");
                case 4: return Variant("meter");
                default: return std::nullopt;
            }
        case ItemRule::ThreeWords:
            return Variant(signed_form(r.word(0)) + ":" + signed_form(r.word(2)) + ":" +
                           signed_form(r.word(4)));
        case ItemRule::SignedByte:
            return Variant(signed_form(r.b(0)));
    }
    return std::nullopt;
}

}  // namespace quarn7
