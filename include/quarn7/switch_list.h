// The do-commands without arguments: member, code, lengte_laag, in interface order. The one list
// declares the controller's switch members and, through the protocol layer's switch table,
// defines them and feeds the dispatch table, the panel and the simulated unit. A code means
// nothing without its kind and length: 131, 132 and 134 each belong to two members that differ
// only in lengte_laag.
#pragma once

// row(member, code, lengte_laag)
#define QUARN7_SWITCH_COMMANDS(row)            \
    row(meterteller_aan, 38, 1)                \
    row(meterteller_uit, 39, 1)                \
    row(meterteller2_aan, 40, 1)               \
    row(meterteller2_uit, 41, 1)               \
    row(datum_aan, 34, 1)                      \
    row(datum_uit, 35, 1)                      \
    row(dig_tilt_aan, 36, 1)                   \
    row(dig_tilt_uit, 37, 1)                   \
    row(ana_tilt_aan, 42, 1)                   \
    row(ana_tilt_uit, 43, 1)                   \
    row(foto_aan, 50, 1)                       \
    row(foto_uit, 51, 1)                       \
    row(tijd_aan, 32, 1)                       \
    row(tijd_uit, 33, 1)                       \
    row(cursor_aan, 96, 0)                     \
    row(cursor_uit, 97, 0)                     \
    row(cursor_wissel, 98, 0)                  \
    row(videoteller_aan, 52, 1)                \
    row(videoteller_uit, 53, 1)                \
    row(snelheidsbalk_aan, 54, 1)              \
    row(snelheidsbalk_uit, 55, 1)              \
    row(snelheidsmeter_aan, 56, 1)             \
    row(snelheidsmeter_uit, 57, 1)             \
    row(systeem_tekst_aan, 58, 1)              \
    row(systeem_tekst_uit, 59, 1)              \
    row(kijkrichtingdisplay_aan, 60, 1)        \
    row(kijkrichtingdisplay_uit, 61, 1)        \
    row(bedrijfslogo_aan, 62, 1)               \
    row(bedrijfslogo_uit, 63, 1)               \
    row(overlay_aan, 80, 1)                    \
    row(overlay_uit, 81, 1)                    \
    row(Venster_schaduw_aan, 84, 1)            \
    row(Venster_schaduw_uit, 85, 1)            \
    row(tekst_schaduw_aan, 86, 1)              \
    row(tekst_schaduw_uit, 87, 1)              \
    row(testpatroon_aan, 88, 1)                \
    row(testpatroon_uit, 89, 1)                \
    row(reset_DE, 90, 1)                       \
    row(overlay_zwart_wit, 132, 0)             \
    row(overlay_wit_zwart, 131, 0)             \
    row(regel_wissen, 134, 0)                  \
    row(Teller1_0, 112, 1)                     \
    row(Teller2_0, 113, 1)                     \
    row(Digitale_tilt_0, 114, 1)               \
    row(analoge_tilt_0, 124, 1)                \
    row(Videoteller_0, 115, 1)                 \
    row(Fototeller_0, 116, 1)                  \
    row(schermwissen, 91, 1)                   \
    row(toetsenbordbediening, 119, 1)          \
    row(softwarebediening, 120, 1)             \
    row(VYX_fabrieksdefault, 121, 1)           \
    row(automatisch_EEx_logo_aan, 122, 1)      \
    row(automatisch_EEx_logo_uit, 123, 1)      \
    row(kruisdraden_aan, 130, 1)               \
    row(kruisdraden_uit, 131, 1)               \
    row(positie_cirkel_aan, 132, 1)            \
    row(positie_cirkel_uit, 133, 1)            \
    row(hint_venster_aan, 134, 1)              \
    row(hint_venster_uit, 135, 1)              \
    row(start_diameter_meting, 136, 1)         \
    row(cancel_1, 137, 1)                      \
    row(zet_cirkel_positie, 138, 1)            \
    row(cancel_2, 140, 1)                      \
    row(zet_merk_positie, 141, 1)              \
    row(wijzig_lc_teller_richting_aan, 142, 1) \
    row(wijzig_lc_teller_richting_uit, 143, 1) \
    row(num_draaihoek_beeld_aan, 144, 1)       \
    row(num_draaihoek_beeld_uit, 145, 1)       \
    row(hoekmeting_aan, 146, 1)                \
    row(hoekmeting_uit, 147, 1)                \
    row(meetlijn_aan, 148, 1)                  \
    row(meetlijn_uit, 149, 1)                  \
    row(temperatuurbeeld_aan, 150, 1)          \
    row(temperatuurbeeld_uit, 151, 1)          \
    row(automatisch_EEx_temp_logo_aan, 125, 1) \
    row(automatisch_EEx_temp_logo_uit, 126, 1) \
    row(bevestig_stikstof, 127, 1)
