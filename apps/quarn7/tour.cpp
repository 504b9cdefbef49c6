#include "tour.h"

#include "protocol/read_items.h"

namespace quarn7::cli {

namespace {

constexpr const char* kTourSetUp = R"(# Overlay elements on
overlay_aan
meterteller_aan
meterteller2_aan
foto_aan
videoteller_aan
datum_aan
tijd_aan
dig_tilt_aan
systeem_tekst_aan
# Counters
afstand=12.3
afstand2=456.7
foto_nummer=1000
videoteller=01:02:03
# Clock and date
tijd=14:05|3-12-2026
# Texts
schrijf_systeemtekstveld="Quarn7 tour"
zettekst_x_y 2 1 "Inspection run 7"
# Windows (X 0-24, Y 0-16, window code)
venster_zetten=2|1|96
venster_zetten=14|1|97
venster_zetten=2|14|102
venster_zetten=14|14|103
# Read everything back
afstand
afstand2
)";

}  // namespace

std::string tour_script() {
    std::string script = kTourSetUp;
    // Every item that has a decoding, straight from the read table.
    for (const auto& item : kReadItems) {
        script += "lees_waarde " + std::to_string(item.item) + "\n";
    }
    return script + "helling_instant\n";
}

}  // namespace quarn7::cli
