// Clicks on the service panel and what each must put on the line and leave in Text1, written out
// by hand. Every view's end-to-end test and the model's test run these rows in order, from the
// panel's initial texts (X and Y 10, Text20 and Text22 1), against a unit in its factory state,
// with "." as the host's decimal separator. Plain C++: no toolkit needed to use it.
#pragma once

#include <string_view>

namespace quarn7::testing {

struct PanelClick {
    std::string_view array;   // the button is named array_index ("Command2_16")
    int index;
    std::string_view text1;   // typed into Text1 before the click
    std::string_view frames;  // sent, as hex; " | " between frames
    std::string_view reply;   // the data of the unit's read reply (hex), as a fresh unit gives it
    std::string_view shown;   // Text1 afterwards
};

// clang-format off
inline constexpr PanelClick kPanelClicks[] = {
    {"Command1", 0, "x", "02 01 00 00 20 00 0D", "", ""},                      // Tijdvenster aan
    {"Command2", 16, "5", "02 01 00 02 48 05 0D", "", "5|72"},                 // Transparantheid
    {"Command2", 2, "12.3", "02 04 00 02 23 7B 00 00 00 0D", "", "12.3"},      // Zet meterteller1
    {"Command3", 10, "", "02 00 00 01 2B 0D", "7B 00 00 00", "1.23"},         // Meterteller 1
    {"Command2", 20, "", "02 04 00 02 60 96 00 96 00 0D", "", "10|10|96"},     // Venster klok
    {"Command2", 27, "", "02 04 00 02 6B 96 00 96 00 0D", "", "10|10| 107"},   // tekstveld 1
    {"Command3", 1, "", "02 00 00 01 21 0D", "14", "20"},                      // Aantal tekst velden
    {"Command2", 40, "", "02 01 00 02 A0 01 0D", "", "1|160"},                 // Tekstveld 1..20
    {"Command3", 38, "Hallo",
     "02 01 00 02 A2 01 0D | 02 0A 00 02 A1 48 00 61 00 6C 00 6C 00 6F 00 0D", "", "Hallo"},
    {"Command3", 27, "keep", "", "", "keep"},                                  // a blank button
    {"Command1", 66, "keep", "", "", "keep"},                                  // a disabled one
};
// clang-format on

}  // namespace quarn7::testing
