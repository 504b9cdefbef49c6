#include "sim/responder.h"

#include <cstdio>
#include <initializer_list>
#include <sstream>

#include "platform/codepage.h"
#include "protocol/frame.h"
#include "protocol/read_items.h"
#include "protocol/switch_commands.h"
#include "protocol/write_codes.h"
#include "sim/frame_reader.h"
#include "sim/hex.h"

namespace quarn7::sim {

namespace {

// Write codes that the state keeps in fields of their own; every other value write is kept as
// its bytes under its code.
constexpr int kClockWrite = write_code("clock and date");
constexpr int kPhotoWrite = write_code("photo counter");
constexpr int kCounter1Write = write_code("distance counter 1");
constexpr int kCounter2Write = write_code("distance counter 2");
constexpr int kSelectFieldWrite = write_code("text field to write");
constexpr int kSystemFieldWrite = write_code("system text field");
// Settings that reads report.
constexpr int kCounterUnitSetting = write_code("unit of LC counter 1");
constexpr int kTextColourSetting = write_code("text colour");
constexpr int kLanguageSetting = write_code("language");
constexpr int kTvStandardSetting = write_code("TV standard");
constexpr int kLogoSetting = write_code("company logo number");

constexpr std::string_view kOn = "_aan";
constexpr std::string_view kOff = "_uit";

int at(std::string_view s, std::size_t i) {
    return i < s.size() ? static_cast<unsigned char>(s[i]) : 0;
}

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (const int v : values) out += static_cast<char>(v);
    return out;
}

// `n` bytes, least significant first.
std::string little_endian(std::uint64_t value, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

// Counters travel as b3 * 2^32 + b2 * 65536 + b1 * 256 + b0 both ways (the fourth byte skips a
// place), so the unit reads back exactly what a host wrote.
std::int64_t counter_from(std::string_view data) {
    return at(data, 3) * (std::int64_t{1} << 32) + at(data, 2) * 65536 + at(data, 1) * 256 +
           at(data, 0);
}

std::string counter_bytes(std::int64_t value) {
    const std::int64_t b3 = value >> 32;
    const std::int64_t rest = value - (b3 << 32);
    return bytes({static_cast<int>(rest % 256), static_cast<int>(rest / 256 % 256),
                  static_cast<int>(rest / 65536), static_cast<int>(b3)});
}

int switch_code(std::string_view member) {
    return find_switch_command(member)->code;
}

// The element an on/off member switches, keyed by its "on" member's code.
std::optional<std::pair<int, bool>> switched_element(std::string_view member) {
    if (member.ends_with(kOn)) return std::pair{switch_code(member), true};
    if (member.ends_with(kOff)) {
        std::string on(member.substr(0, member.size() - kOff.size()));
        return std::pair{switch_code(on + std::string(kOn)), false};
    }
    return std::nullopt;
}

bool shown(const UnitState& s, std::string_view on_member) {
    const auto it = s.switches.find(switch_code(on_member));
    return it != s.switches.end() && it->second;
}

// The setting's bytes, cut or filled with zeros to `n`.
std::string setting(const UnitState& s, int code, std::size_t n) {
    const auto it = s.settings.find(code);
    std::string out = it == s.settings.end() ? std::string() : it->second;
    out.resize(n, '\0');
    return out;
}

std::string off_on(bool on) {
    return bytes({on ? 1 : 0});
}

struct Effect {
    std::string_view member;
    void (*apply)(UnitState&);
};

// Do-commands that do more than switch an element.
constexpr Effect kEffects[] = {
    {"reset_DE", [](UnitState& s) { ++s.resets; }},
    {"VYX_fabrieksdefault",
     [](UnitState& s) {
         const int resets = s.resets;
         s = factory_state();
         s.resets = resets;
     }},
    {"Teller1_0", [](UnitState& s) { s.counter1 = 0; }},
    {"Teller2_0", [](UnitState& s) { s.counter2 = 0; }},
    {"Videoteller_0", [](UnitState& s) { s.video_seconds = 0; }},
    {"Fototeller_0", [](UnitState& s) { s.photo_counter = 0; }},
    {"Digitale_tilt_0", [](UnitState& s) { s.digital_tilt = 0; }},
    {"analoge_tilt_0", [](UnitState& s) { s.analogue_tilt = 0; }},
    {"cursor_wissel",
     [](UnitState& s) {
         bool& cursor = s.switches[switch_code("cursor_aan")];
         cursor = !cursor;
     }},
    {"schermwissen",
     [](UnitState& s) {
         std::erase_if(s.text_fields,
                       [&](const auto& f) { return f.first != s.system_text_field; });
     }},
    {"regel_wissen", [](UnitState& s) { s.text_fields.erase(s.selected_text_field); }},
};

struct ItemSource {
    int item;
    std::string (*data)(const UnitState&);
};

// Items whose data the unit does not hold at zero.
constexpr ItemSource kItemSources[] = {
    {item_code("resolution"),
     [](const UnitState&) { return little_endian(720, 2) + little_endian(576, 2); }},
    {item_code("number of text fields"), [](const UnitState&) { return bytes({20}); }},
    {item_code("text colour"),
     [](const UnitState& s) { return setting(s, kTextColourSetting, 1); }},
    {item_code("language"), [](const UnitState& s) { return setting(s, kLanguageSetting, 1); }},
    {item_code("text shadow"),
     [](const UnitState& s) { return off_on(shown(s, "tekst_schaduw_aan")); }},
    {item_code("window shadow"),
     [](const UnitState& s) { return off_on(shown(s, "Venster_schaduw_aan")); }},
    // Written as 1 PAL, 2 NTSC; reported as 1 PAL, 0 NTSC.
    {item_code("TV standard"),
     [](const UnitState& s) {
         const int standard = at(setting(s, kTvStandardSetting, 1), 0);
         return bytes({standard == 2 ? 0 : standard});
     }},
    {item_code("overlay on/off"),
     [](const UnitState& s) { return off_on(shown(s, "overlay_aan")); }},
    {item_code("date and time"), [](const UnitState& s) { return setting(s, kClockWrite, 5); }},
    {item_code("time"), [](const UnitState& s) { return setting(s, kClockWrite, 5); }},
    {item_code("distance counter 1"), [](const UnitState& s) { return counter_bytes(s.counter1); }},
    {item_code("distance counter 2"),
     [](const UnitState& s) { return little_endian(static_cast<std::uint64_t>(s.counter2), 2); }},
    {item_code("digital tilt"),
     [](const UnitState& s) { return little_endian(s.digital_tilt, 2); }},
    {item_code("analogue tilt"),
     [](const UnitState& s) { return little_endian(s.analogue_tilt, 2); }},
    {item_code("software revision"),
     [](const UnitState&) {
         return bytes({1, 2, 3, 4});
     }},
    {item_code("status"), [](const UnitState&) { return std::string("OK!"); }},
    {item_code("company logo"), [](const UnitState& s) { return setting(s, kLogoSetting, 1); }},
    {item_code("EEx window"),
     [](const UnitState& s) { return off_on(shown(s, "automatisch_EEx_logo_aan")); }},
    {item_code("counter unit"),
     [](const UnitState& s) { return setting(s, kCounterUnitSetting, 1); }},
    {item_code("camera constant"),
     [](const UnitState&) {
         return bytes({1, 0, 2, 0, 3, 0});
     }},
    {item_code("temperature"),
     [](const UnitState&) { return little_endian(215, 2); }},  // 21.5 degrees
};

std::string_view write_meaning(int code) {
    const WriteCode* row = find_write_code(code);
    return row != nullptr ? row->meaning : "unknown code";
}

}  // namespace

UnitState factory_state() {
    UnitState s;
    s.switches[switch_code("overlay_aan")] = true;
    s.settings = {
        {kClockWrite, bytes({0, 12, 1, 1, 24})}, {kCounterUnitSetting, bytes({4})},
        {kTextColourSetting, bytes({1})},        {kLanguageSetting, bytes({0})},
        {kTvStandardSetting, bytes({1})},        {kLogoSetting, bytes({0, 0})},
    };
    return s;
}

std::string Responder::answer(std::string_view frame) {
    const int code = at(frame, wire::kCodeAt);
    bool accepted = false;
    switch (at(frame, wire::kKindAt)) {
        case wire::DoCommand:
            accepted =
                do_command(code, at(frame, wire::kLengthLowAt), at(frame, wire::kLengthHighAt));
            break;
        case wire::Write:
            // The data is what the frame carries, whatever its length words say.
            accepted = write(code, frame.substr(wire::kDataAt, frame.size() - wire::kDataAt - 1));
            break;
        case wire::Read:
            if (const auto data = item_data(code)) return wire::read_reply(*data);
            break;
        default:
            break;
    }
    return std::string(1, accepted ? wire::ACK : wire::NAK);
}

bool Responder::do_command(int code, int lengte_laag, int lengte_hoog) {
    if (lengte_hoog != 0) return false;
    for (const SwitchCommand& row : kSwitchCommands) {
        if (row.code != code || row.lengte_laag != lengte_laag) continue;
        if (const auto element = switched_element(row.member)) {
            state_.switches[element->first] = element->second;
        }
        for (const Effect& effect : kEffects) {
            if (effect.member == row.member) effect.apply(state_);
        }
        return true;
    }
    return false;
}

bool Responder::write(int code, std::string_view data) {
    const WriteCode* row = find_write_code(code);
    if (row == nullptr) return false;
    switch (row->kind) {
        case WriteKind::Video:
            state_.video_seconds = at(data, 0) + 60 * at(data, 1) + 3600 * at(data, 2);
            break;
        case WriteKind::Text: {
            std::string text;  // two bytes per character: the character, then 0
            for (std::size_t i = 0; i < data.size(); i += 2) text += data[i];
            state_.text_fields[state_.selected_text_field] = text;
            break;
        }
        case WriteKind::Window:
            state_.windows[code] = {at(data, 0) + 256 * at(data, 1),
                                    at(data, 2) + 256 * at(data, 3)};
            break;
        case WriteKind::Colour:
            state_.colour = data;
            break;
        case WriteKind::Clock:
        case WriteKind::Value:
            switch (code) {
                case kPhotoWrite:
                    state_.photo_counter = at(data, 0) + 256 * at(data, 1);
                    break;
                case kCounter1Write:
                    state_.counter1 = counter_from(data);
                    break;
                case kCounter2Write:
                    state_.counter2 = counter_from(data);
                    break;
                case kSelectFieldWrite:
                    state_.selected_text_field = at(data, 0);
                    break;
                case kSystemFieldWrite:
                    // Also the field the next text write fills: schrijf_systeemtekstveld sends
                    // this and then the text.
                    state_.system_text_field = state_.selected_text_field = at(data, 0);
                    break;
                default:
                    state_.settings[code] = data;
                    break;
            }
            break;
    }
    return true;
}

void Responder::set_tilt(std::uint16_t digital, std::uint16_t analogue) {
    state_.digital_tilt = digital;
    state_.analogue_tilt = analogue;
}

void Responder::set_item_data(int item, std::string data) {
    item_overrides_[item] = std::move(data);
}

std::optional<std::string> Responder::item_data(int item) const {
    if (const auto it = item_overrides_.find(item); it != item_overrides_.end()) return it->second;
    for (const ItemSource& source : kItemSources) {
        if (source.item == item) return source.data(state_);
    }
    if (const ReadItem* row = find_read_item(item)) return std::string(row->data_bytes, '\0');
    return std::nullopt;
}

std::string describe(const UnitState& state) {
    std::ostringstream out;
    out << "elements on:";
    for (const auto& [code, on] : state.switches) {
        if (!on) continue;
        out << ' ';
        const SwitchCommand* named = nullptr;
        for (const SwitchCommand& row : kSwitchCommands) {
            if (row.code == code && row.member.ends_with(kOn)) named = &row;
        }
        if (named != nullptr) {
            out << named->member;
        } else {
            out << code;
        }
    }
    char video[16];
    std::snprintf(video, sizeof video, "%02d:%02d:%02d", state.video_seconds / 3600,
                  state.video_seconds / 60 % 60, state.video_seconds % 60);
    out << "\ndistance counter 1: " << state.counter1 << " tenths"
        << "\ndistance counter 2: " << state.counter2 << " tenths"
        << "\nphoto counter: " << state.photo_counter << "\nvideo counter: " << video
        << "\ndigital tilt: " << state.digital_tilt << "\nanalogue tilt: " << state.analogue_tilt
        << "\noverlay colour: \"" << state.colour << "\"\nresets: " << state.resets
        << "\nselected text field: " << state.selected_text_field
        << "\nsystem text field: " << state.system_text_field << '\n';
    for (const auto& [field, text] : state.text_fields) {
        out << "text field " << field << ": \"" << from_cp1252(text) << "\"\n";
    }
    for (const auto& [code, value] : state.settings) {
        out << "setting " << code << " (" << write_meaning(code) << "): " << hex_dump(value)
            << '\n';
    }
    for (const auto& [code, position] : state.windows) {
        out << "window " << code << " (" << write_meaning(code) << "): " << position.first << ", "
            << position.second << '\n';
    }
    return out.str();
}

}  // namespace quarn7::sim
