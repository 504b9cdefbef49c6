// The unit's protocol as its documentation gives it, typed out by hand. Tests hold the product
// against these lists and never against the product's own tables, so a wrong code, length or
// order anywhere in the product fails a test.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

namespace quarn7::testing {

// The 77 switch members in interface order: code and lengte_laag.
struct DocumentedSwitch {
    std::string_view member;
    int code;
    int lengte_laag;
};

// clang-format off
inline constexpr DocumentedSwitch kDocumentedSwitches[] = {
    {"meterteller_aan", 38, 1}, {"meterteller_uit", 39, 1}, {"meterteller2_aan", 40, 1},
    {"meterteller2_uit", 41, 1}, {"datum_aan", 34, 1}, {"datum_uit", 35, 1},
    {"dig_tilt_aan", 36, 1}, {"dig_tilt_uit", 37, 1}, {"ana_tilt_aan", 42, 1},
    {"ana_tilt_uit", 43, 1}, {"foto_aan", 50, 1}, {"foto_uit", 51, 1}, {"tijd_aan", 32, 1},
    {"tijd_uit", 33, 1}, {"cursor_aan", 96, 0}, {"cursor_uit", 97, 0}, {"cursor_wissel", 98, 0},
    {"videoteller_aan", 52, 1}, {"videoteller_uit", 53, 1}, {"snelheidsbalk_aan", 54, 1},
    {"snelheidsbalk_uit", 55, 1}, {"snelheidsmeter_aan", 56, 1}, {"snelheidsmeter_uit", 57, 1},
    {"systeem_tekst_aan", 58, 1}, {"systeem_tekst_uit", 59, 1},
    {"kijkrichtingdisplay_aan", 60, 1}, {"kijkrichtingdisplay_uit", 61, 1},
    {"bedrijfslogo_aan", 62, 1}, {"bedrijfslogo_uit", 63, 1}, {"overlay_aan", 80, 1},
    {"overlay_uit", 81, 1}, {"Venster_schaduw_aan", 84, 1}, {"Venster_schaduw_uit", 85, 1},
    {"tekst_schaduw_aan", 86, 1}, {"tekst_schaduw_uit", 87, 1}, {"testpatroon_aan", 88, 1},
    {"testpatroon_uit", 89, 1}, {"reset_DE", 90, 1}, {"overlay_zwart_wit", 132, 0},
    {"overlay_wit_zwart", 131, 0}, {"regel_wissen", 134, 0}, {"Teller1_0", 112, 1},
    {"Teller2_0", 113, 1}, {"Digitale_tilt_0", 114, 1}, {"analoge_tilt_0", 124, 1},
    {"Videoteller_0", 115, 1}, {"Fototeller_0", 116, 1}, {"schermwissen", 91, 1},
    {"toetsenbordbediening", 119, 1}, {"softwarebediening", 120, 1},
    {"VYX_fabrieksdefault", 121, 1}, {"automatisch_EEx_logo_aan", 122, 1},
    {"automatisch_EEx_logo_uit", 123, 1}, {"kruisdraden_aan", 130, 1},
    {"kruisdraden_uit", 131, 1}, {"positie_cirkel_aan", 132, 1}, {"positie_cirkel_uit", 133, 1},
    {"hint_venster_aan", 134, 1}, {"hint_venster_uit", 135, 1}, {"start_diameter_meting", 136, 1},
    {"cancel_1", 137, 1}, {"zet_cirkel_positie", 138, 1}, {"cancel_2", 140, 1},
    {"zet_merk_positie", 141, 1}, {"wijzig_lc_teller_richting_aan", 142, 1},
    {"wijzig_lc_teller_richting_uit", 143, 1}, {"num_draaihoek_beeld_aan", 144, 1},
    {"num_draaihoek_beeld_uit", 145, 1}, {"hoekmeting_aan", 146, 1}, {"hoekmeting_uit", 147, 1},
    {"meetlijn_aan", 148, 1}, {"meetlijn_uit", 149, 1}, {"temperatuurbeeld_aan", 150, 1},
    {"temperatuurbeeld_uit", 151, 1}, {"automatisch_EEx_temp_logo_aan", 125, 1},
    {"automatisch_EEx_temp_logo_uit", 126, 1}, {"bevestig_stikstof", 127, 1},
};

// Write codes (kind 2) that the members and the panel send: counters, clock, units and factors,
// picture settings, windows, text fields, colour, logo.
inline constexpr int kDocumentedWriteCodes[] = {
    32, 33, 35, 36, 37, 38, 39, 40, 41, 42, 63, 64, 65, 66, 67, 69, 70, 71, 72, 73, 74, 75,
    96, 97, 98, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116, 117,
    118, 119, 120, 121, 122, 123, 124, 125, 126, 130, 131, 132, 133, 134, 135, 136, 137, 138,
    139, 140, 141, 142, 145, 160, 161, 162, 201,
};

// Read items the unit answers, with the data bytes of each reply.
struct DocumentedItem {
    int item;
    int data_bytes;
};
inline constexpr DocumentedItem kDocumentedItems[] = {
    {32, 4}, {33, 1}, {34, 1}, {35, 1}, {36, 1}, {37, 1}, {38, 1}, {39, 1}, {40, 5}, {41, 5},
    {43, 4}, {44, 2}, {45, 2}, {46, 2}, {50, 4}, {51, 3}, {52, 1}, {54, 1}, {55, 2}, {56, 2},
    {57, 2}, {58, 1}, {59, 6}, {60, 2}, {61, 2}, {62, 1}, {63, 2}, {64, 2},
};
// clang-format on

inline const DocumentedSwitch* documented_switch(std::string_view member) {
    const auto* row = std::ranges::find(kDocumentedSwitches, member, &DocumentedSwitch::member);
    return row == std::end(kDocumentedSwitches) ? nullptr : row;
}

// As hex: STX, lengte_laag, 0, kind 0, code, kind again, CR.
inline std::string switch_frame(const DocumentedSwitch& row) {
    char text[32];
    std::snprintf(text, sizeof text, "02 %02X 00 00 %02X 00 0D", row.lengte_laag, row.code);
    return text;
}

// As hex: STX, 0, 0, kind 1, item, CR.
inline std::string read_request(int item) {
    char text[32];
    std::snprintf(text, sizeof text, "02 00 00 01 %02X 0D", item);
    return text;
}

}  // namespace quarn7::testing
