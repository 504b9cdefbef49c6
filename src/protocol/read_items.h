// How a read reply's data bytes become the result, by item. Items without a row leave the read
// echo in place.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "quarn7/variant.h"

namespace quarn7 {

enum class ItemRule : std::uint8_t {
    Resolution,    // b1b0 "x" b3b2, signed 16-bit each
    SmallNumber,   // b0 as an Integer
    OffOn,         // "Uit" / "Aan"
    TvStandard,    // "NTSC" / "PAL"
    DateChars,     // c0 ":" c1 " " c2 "/" c3 "/" c4, the characters themselves
    ClockBytes,    // b1 ":" b0 " " b2 "/" b3 "/" b4, signed forms
    Counter32,     // b3 * 2^32 + b2 * 65536 + b1 * 256 + b0, plain form
    Counter16,     // b1 * 256 + b0, plain form
    Word16,        // b1 * 256 + b0, signed form, when the announced length exceeds 1
    RevisionBytes, // b0 ":" b1 ":" b2 ":" b3, signed forms
    StatusChars,   // c0 ":" c1 ":" c2
    Logo,          // "Geen Logo" / "Logo: " b0
    CounterUnit,   // 2 "cm", 3 "ft", 4 "meter"
    ThreeWords,    // b1b0 ":" b3b2 ":" b5b4, signed forms
    SignedByte,    // b0, signed form
};

// What lees_waarde makes of the decoded text.
enum class ItemScaling : std::uint8_t { None, Tilt, Tenths };

struct ReadItem {
    std::uint8_t item;
    ItemRule rule;
    std::uint8_t data_bytes;  // bytes the rule reads (what a unit sends for the item)
    ItemScaling scaling;
    std::string_view meaning;
};

inline constexpr ReadItem kReadItems[] = {
    {32, ItemRule::Resolution, 4, ItemScaling::None, "resolution"},
    {33, ItemRule::SmallNumber, 1, ItemScaling::None, "number of text fields"},
    {34, ItemRule::SmallNumber, 1, ItemScaling::None, "text colour"},
    {35, ItemRule::SmallNumber, 1, ItemScaling::None, "language"},
    {36, ItemRule::OffOn, 1, ItemScaling::None, "text shadow"},
    {37, ItemRule::OffOn, 1, ItemScaling::None, "window shadow"},
    {38, ItemRule::TvStandard, 1, ItemScaling::None, "TV standard"},
    {39, ItemRule::OffOn, 1, ItemScaling::None, "overlay on/off"},
    {40, ItemRule::DateChars, 5, ItemScaling::None, "date and time"},
    {41, ItemRule::ClockBytes, 5, ItemScaling::None, "time"},
    {43, ItemRule::Counter32, 4, ItemScaling::None, "distance counter 1"},
    {44, ItemRule::Counter16, 2, ItemScaling::None, "distance counter 2"},
    {45, ItemRule::Word16, 2, ItemScaling::Tilt, "digital tilt"},
    {46, ItemRule::Word16, 2, ItemScaling::Tilt, "analogue tilt"},
    {50, ItemRule::RevisionBytes, 4, ItemScaling::None, "software revision"},
    {51, ItemRule::StatusChars, 3, ItemScaling::None, "status"},
    {52, ItemRule::Logo, 1, ItemScaling::None, "company logo"},
    {54, ItemRule::OffOn, 1, ItemScaling::None, "EEx window"},
    {55, ItemRule::Word16, 2, ItemScaling::None, "diameter after measurement"},
    {56, ItemRule::Word16, 2, ItemScaling::None, "crack after measurement"},
    {57, ItemRule::Word16, 2, ItemScaling::None, "rotation angle in 10 degrees"},
    {58, ItemRule::CounterUnit, 1, ItemScaling::None, "counter unit"},
    {59, ItemRule::ThreeWords, 6, ItemScaling::None, "camera constant"},
    {60, ItemRule::Word16, 2, ItemScaling::Tenths, "pan angle in 0.1 degree"},
    {61, ItemRule::Word16, 2, ItemScaling::None, "rotation measurement in 1 degree"},
    {62, ItemRule::SignedByte, 1, ItemScaling::None, "lift height in mm"},
    {63, ItemRule::Word16, 2, ItemScaling::Tenths, "camera rotation in 0.1 degree"},
    {64, ItemRule::Word16, 2, ItemScaling::Tenths, "temperature"},
};

const ReadItem* find_read_item(int item);  // nullptr: the reply is not decoded

// The item with this meaning; the build fails when there is none.
consteval std::uint8_t item_code(std::string_view meaning) {
    for (const ReadItem& row : kReadItems) {
        if (row.meaning == meaning) return row.item;
    }
    throw "no read item with that meaning";
}

// The result of a reply to `item`: nullopt where the read echo stays. `data` holds the bytes
// received (at most `announced`); an entry the rule needs beyond it raises InvalidArgument,
// item 32 beyond 16 bits Overflow.
std::optional<Variant> decode_reply(int item, std::string_view data, std::size_t announced);

}  // namespace quarn7
