// The unit's write commands (kind 2) that this library and its panel send. The simulated unit
// accepts exactly these and keeps what they carry.
#pragma once

#include <cstdint>
#include <string_view>

namespace quarn7 {

enum class WriteKind : std::uint8_t {
    Value,   // `value_bytes` bytes, low byte first
    Clock,   // minute, hour, day, month, year
    Video,   // seconds, minutes, hours
    Text,    // two bytes per character (character, 0)
    Window,  // X low, X high, Y low, Y high
    Colour,  // the colour as decimal characters
};

struct WriteCode {
    std::uint8_t code;
    WriteKind kind;
    std::uint8_t value_bytes;  // 0 where the length varies
    std::string_view meaning;
};

inline constexpr WriteCode kWriteCodes[] = {
    {32, WriteKind::Clock, 5, "clock and date"},
    {33, WriteKind::Value, 2, "photo counter"},
    {35, WriteKind::Value, 4, "distance counter 1"},
    {36, WriteKind::Video, 3, "video counter"},
    {37, WriteKind::Value, 1, "unit of LC counter 1"},
    {38, WriteKind::Value, 1, "unit of LC counter 2"},
    {39, WriteKind::Value, 4, "distance counter 2"},
    {40, WriteKind::Value, 1, "temperature unit"},
    {41, WriteKind::Value, 1, "factor of LC counter 1"},
    {42, WriteKind::Value, 1, "factor of LC counter 2"},
    {63, WriteKind::Value, 1, "text colour"},
    {64, WriteKind::Value, 1, "video input"},
    {65, WriteKind::Value, 1, "output filter"},
    {66, WriteKind::Value, 1, "overlay contrast"},
    {67, WriteKind::Value, 1, "overlay brightness"},
    {69, WriteKind::Value, 1, "output contrast"},
    {70, WriteKind::Value, 1, "output brightness"},
    {71, WriteKind::Value, 1, "output saturation"},
    {72, WriteKind::Value, 1, "overlay transparency"},
    {73, WriteKind::Value, 1, "date order"},
    {74, WriteKind::Value, 1, "language"},
    {75, WriteKind::Value, 1, "TV standard"},
    {96, WriteKind::Window, 4, "clock window"},
    {97, WriteKind::Window, 4, "date window"},
    {98, WriteKind::Window, 4, "analogue tilt window"},
    {102, WriteKind::Window, 4, "LC1 window"},
    {103, WriteKind::Window, 4, "LC2 window"},
    {104, WriteKind::Window, 4, "digital tilt window"},
    {105, WriteKind::Window, 4, "photo counter window"},
    {106, WriteKind::Window, 4, "video counter window"},
    {107, WriteKind::Window, 4, "text field 1 window"},
    {108, WriteKind::Window, 4, "text field 2 window"},
    {109, WriteKind::Window, 4, "text field 3 window"},
    {110, WriteKind::Window, 4, "text field 4 window"},
    {111, WriteKind::Window, 4, "text field 5 window"},
    {112, WriteKind::Window, 4, "text field 6 window"},
    {113, WriteKind::Window, 4, "text field 7 window"},
    {114, WriteKind::Window, 4, "text field 8 window"},
    {115, WriteKind::Window, 4, "text field 9 window"},
    {116, WriteKind::Window, 4, "text field 10 window"},
    {117, WriteKind::Window, 4, "text field 11 window"},
    {118, WriteKind::Window, 4, "text field 12 window"},
    {119, WriteKind::Window, 4, "text field 13 window"},
    {120, WriteKind::Window, 4, "text field 14 window"},
    {121, WriteKind::Window, 4, "text field 15 window"},
    {122, WriteKind::Window, 4, "text field 16 window"},
    {123, WriteKind::Window, 4, "text field 17 window"},
    {124, WriteKind::Window, 4, "text field 18 window"},
    {125, WriteKind::Window, 4, "text field 19 window"},
    {126, WriteKind::Window, 4, "text field 20 window"},
    {130, WriteKind::Window, 4, "speed bar window"},
    {131, WriteKind::Window, 4, "numeric speed window"},
    {132, WriteKind::Window, 4, "system text line window"},
    {133, WriteKind::Window, 4, "EEx logo window"},
    {134, WriteKind::Window, 4, "viewing direction window"},
    {135, WriteKind::Window, 4, "company logo window"},
    {136, WriteKind::Window, 4, "measuring circle position"},
    {137, WriteKind::Window, 4, "diameter measurement position"},
    {138, WriteKind::Window, 4, "laser position"},
    {139, WriteKind::Window, 4, "numeric rotation angle window"},
    {140, WriteKind::Window, 4, "angle measurement window"},
    {141, WriteKind::Value, 2, "rotation angle for angle measurement"},
    {142, WriteKind::Window, 4, "temperature window"},
    {145, WriteKind::Colour, 0, "overlay colour"},
    {160, WriteKind::Value, 1, "text field to write"},
    {161, WriteKind::Text, 0, "text for the selected field"},
    {162, WriteKind::Value, 1, "system text field"},
    {201, WriteKind::Value, 2, "company logo number"},
};

const WriteCode* find_write_code(int code);  // nullptr: the unit refuses the write

// The code of the write with this meaning; the build fails when there is none.
consteval std::uint8_t write_code(std::string_view meaning) {
    for (const WriteCode& row : kWriteCodes) {
        if (row.meaning == meaning) return row.code;
    }
    throw "no write code with that meaning";
}

}  // namespace quarn7
