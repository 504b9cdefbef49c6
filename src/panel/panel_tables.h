// The service panel's three button arrays and its entry boxes, as data. Rows stand in display
// order, column by column, top to bottom; `index` is the button's index in its array (its id in
// the array's QButtonGroup and the number in its object name).
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "quarn7/clsvyx7.h"
#include "protocol/read_items.h"
#include "protocol/switch_commands.h"
#include "protocol/write_codes.h"

namespace quarn7::panel {

// --- Do-commands (Command1): one switch member each ---

using SwitchMember = void (clsvyx7::*)();

// Parallel to kSwitchCommands: both come from the one switch list.
inline constexpr SwitchMember kSwitchMembers[] = {
#define QUARN7_SWITCH_POINTER(member, code, lengte_laag) &clsvyx7::member,
    QUARN7_SWITCH_COMMANDS(QUARN7_SWITCH_POINTER)
#undef QUARN7_SWITCH_POINTER
};
static_assert(std::size(kSwitchMembers) == std::size(kSwitchCommands));

// Position of `member` in kSwitchCommands; the table's size when it is no switch member.
constexpr std::size_t switch_row(std::string_view member) {
    std::size_t row = 0;
    while (row < std::size(kSwitchCommands) && kSwitchCommands[row].member != member) ++row;
    return row;
}

struct DoButton {
    std::int16_t index;
    std::string_view caption;
    std::string_view member;  // a row of kSwitchCommands
    std::uint8_t column;
    std::uint8_t lines = 1;
    bool enabled = true;
};

inline constexpr DoButton kDoButtons[] = {
    {0, "Tijdvenster aan", "tijd_aan", 0},
    {1, "Tijdvesnter uit", "tijd_uit", 0},
    {2, "Datumvenster aan", "datum_aan", 0},
    {3, "Datumvenster uit", "datum_uit", 0},
    {4, "Dig tilt venster aan", "dig_tilt_aan", 0},
    {5, "Dig tilt venster uit", "dig_tilt_uit", 0},
    {6, "Meterteller venster 1 aan", "meterteller_aan", 0},
    {7, "Meterteller venster 1 uit", "meterteller_uit", 0},
    {8, "Meterteller venster 2 aan", "meterteller2_aan", 0},
    {9, "Meterteller venster 2 uit", "meterteller2_uit", 0},
    {10, "Analoge tilt aan", "ana_tilt_aan", 0},
    {11, "Analoge tilt uit", "ana_tilt_uit", 0},
    {12, "Foto teller venster aan", "foto_aan", 0},
    {13, "Foto teller venster uit", "foto_uit", 0},
    {14, "Videoteller venster aan", "videoteller_aan", 0},
    {15, "Videoteller venster uit", "videoteller_uit", 0},
    {16, "Snelheids balk aan", "snelheidsbalk_aan", 0},
    {17, "Snelheids balk uit", "snelheidsbalk_uit", 0},
    {18, "Snelheidsmeter aan", "snelheidsmeter_aan", 0},
    {19, "Snelheidsmeter uit", "snelheidsmeter_uit", 0},
    {20, "Systeem tekst aan", "systeem_tekst_aan", 0},
    {21, "Systeem tekst uit", "systeem_tekst_uit", 0},
    {22, "Kijkrichting display aan", "kijkrichtingdisplay_aan", 0},
    {23, "Kijkrichting display uit", "kijkrichtingdisplay_uit", 0},
    {24, "Overlay aan", "overlay_aan", 0},
    {25, "Overlay uit", "overlay_uit", 0},

    {26, "Vensterschaduwen aan", "Venster_schaduw_aan", 1},
    {27, "Vensterschaduwen uit", "Venster_schaduw_uit", 1},
    {28, "Tekstschaduw aan", "tekst_schaduw_aan", 1},
    {29, "Tekstschaduw uit", "tekst_schaduw_uit", 1},
    {30, "test patroon aan", "testpatroon_aan", 1},
    {31, "test patroon uit", "testpatroon_uit", 1},
    {32, "Reset DE", "reset_DE", 1},
    {33, "Wis alle tekst niet systeem", "schermwissen", 1},
    {34, "Meterteller 1 op 0", "Teller1_0", 1},
    {35, "Meterteller 2 op 0", "Teller2_0", 1},
    {36, "Digitale tilt op 0", "Digitale_tilt_0", 1},
    {37, "Videoteller op 0", "Videoteller_0", 1},
    {38, "Foto teller op 0", "Fototeller_0", 1},
    {39, "Overlay aan", "overlay_aan", 1},
    {40, "Toetsenbord bediening", "toetsenbordbediening", 1},
    {41, "Software bediening", "softwarebediening", 1},
    {42, "Fabrieksintelling terug", "VYX_fabrieksdefault", 1},
    {43, "Autom. EEx logo aan", "automatisch_EEx_logo_aan", 1},
    {44, "Autom. EEx logo uit", "automatisch_EEx_logo_uit", 1},
    {45, "Analoge tilt op 0", "analoge_tilt_0", 1},
    {46, "EEx logo aan", "automatisch_EEx_temp_logo_aan", 1},
    {47, "EEx logo uit", "automatisch_EEx_temp_logo_uit", 1},
    {48, "Kruisdraden aan", "kruisdraden_aan", 1},
    {49, "Kruisdraden uit", "kruisdraden_uit", 1},
    {50, "Positie cirkel aan", "positie_cirkel_aan", 1},
    {51, "Positie cirkel uit", "positie_cirkel_uit", 1},

    {52, "Hint venster aan", "hint_venster_aan", 2},
    {53, "Hint venster uit", "hint_venster_uit", 2},
    {54, "Start diameter meting", "start_diameter_meting", 2},
    {55, "Cancel", "cancel_1", 2},
    {56, "Zet cirkel positie", "zet_cirkel_positie", 2},
    {57, "Cancel", "cancel_2", 2},
    {58, "Zet merk positie", "zet_merk_positie", 2},
    {59, "Wijzig Lc teller richting aan", "wijzig_lc_teller_richting_aan", 2},
    {60, "Wijzig Lc teller richting uit", "wijzig_lc_teller_richting_uit", 2},
    {61, "Num. draaihoek beeld aan", "num_draaihoek_beeld_aan", 2},
    {62, "Num. draaihoek beeld uit", "num_draaihoek_beeld_uit", 2},
    {63, "Hoekmeting aan", "hoekmeting_aan", 2},
    {64, "Hoekmeting uit", "hoekmeting_uit", 2},
    {65, "Meetlijn aan", "meetlijn_aan", 2},
    {67, "Meetlijn uit", "meetlijn_uit", 2},
    {68, "Temperatuur beeld aan", "temperatuurbeeld_aan", 2},
    {69, "Temperatuur beeld uit", "temperatuurbeeld_uit", 2},
    // Kept disabled: the logo is chosen by number with write button 44.
    {66, "Bedrijfslogo aan", "bedrijfslogo_aan", 2, 1, false},
    {70, "Bedrijfslogo uit", "bedrijfslogo_uit", 2, 1, false},
    {71, "Bevestig stikstof melding", "bevestig_stikstof", 2, 2},
};

constexpr bool every_do_button_has_a_switch_member() {
    for (const DoButton& button : kDoButtons) {
        if (switch_row(button.member) == std::size(kSwitchCommands)) return false;
    }
    return true;
}
static_assert(every_do_button_has_a_switch_member());

inline SwitchMember switch_member(const DoButton& button) {
    return kSwitchMembers[switch_row(button.member)];
}

// --- Writes (Command2) ---

using LetMember = void (clsvyx7::*)(Variant&);

// What a write button hands to its member, and what it leaves in Text1.
enum class WriteForm : std::uint8_t {
    Value,            // Text1 "|" code, shown in Text1
    FieldNumber,      // Text22 "|" code, shown in Text1
    Window,           // Text3 "|" Text4 "|" code, shown in Text1
    TextFieldWindow,  // Text3 "|" Text4 "|" signed form of code + Text20, shown in Text1
    Clock,            // "hh:mm:ss|DD-MM-YY" now; Text1 unchanged
    Text1,            // the text of Text1; Text1 unchanged
    SystemTextField,  // the text of Text23; Text1 unchanged
};

struct WriteButton {
    std::int16_t index;
    std::string_view caption;
    WriteForm form;
    std::uint8_t code;  // unused by the forms that leave Text1 unchanged
    LetMember member;
    std::uint8_t column;
    std::uint8_t lines = 1;
};

inline constexpr WriteButton kWriteButtons[] = {
    {0, "Tijd/datum zetten", WriteForm::Clock, 0, &clsvyx7::tijd, 0},
    {1, "Fototeller zetten", WriteForm::Value, write_code("photo counter"),
     &clsvyx7::schrijf_2byte_waarde, 0},
    {2, "Zet meterteller1", WriteForm::Text1, 0, &clsvyx7::afstand, 0},
    {45, "Zet videoteller", WriteForm::Text1, 0, &clsvyx7::videoteller, 0},
    {3, "Eenheid LC1 zetten", WriteForm::Value, write_code("unit of LC counter 1"),
     &clsvyx7::schrijf_commando, 0},
    {4, "Eenheid LC2 zetten", WriteForm::Value, write_code("unit of LC counter 2"),
     &clsvyx7::schrijf_commando, 0},
    {5, "Zet meterteller2", WriteForm::Text1, 0, &clsvyx7::afstand2, 0},
    {6, "Factor LC1 zetten", WriteForm::Value, write_code("factor of LC counter 1"),
     &clsvyx7::schrijf_commando, 0},
    {7, "Factor LC2 zetten", WriteForm::Value, write_code("factor of LC counter 2"),
     &clsvyx7::schrijf_commando, 0},
    {8, "°C of °F", WriteForm::Value, write_code("temperature unit"), &clsvyx7::schrijf_commando,
     0},
    {9, "Tekst kleur 1..16", WriteForm::Value, write_code("text colour"),
     &clsvyx7::schrijf_commando, 0},
    {10, "Videoinput !=YC 0=comp", WriteForm::Value, write_code("video input"),
     &clsvyx7::schrijf_commando, 0},
    {46, "Outputfilter1-10", WriteForm::Value, write_code("output filter"),
     &clsvyx7::schrijf_commando, 0},
    {11, "Contrast overlay 0..63", WriteForm::Value, write_code("overlay contrast"),
     &clsvyx7::schrijf_commando, 0},
    {12, "Helderheid overley 0..255", WriteForm::Value, write_code("overlay brightness"),
     &clsvyx7::schrijf_commando, 0},

    {13, "Contrast output 0..63", WriteForm::Value, write_code("output contrast"),
     &clsvyx7::schrijf_commando, 1},
    {14, "Helderheid output 0..255", WriteForm::Value, write_code("output brightness"),
     &clsvyx7::schrijf_commando, 1},
    {15, "Verzadiging output 0..4095", WriteForm::Value, write_code("output saturation"),
     &clsvyx7::schrijf_commando, 1},
    {16, "Transparantheid overlay 0..70", WriteForm::Value, write_code("overlay transparency"),
     &clsvyx7::schrijf_commando, 1, 2},
    {17, "Datum DD.MM.YY=1 MM.DD.YY=0", WriteForm::Value, write_code("date order"),
     &clsvyx7::schrijf_commando, 1, 2},
    {18, "Taal 1..13", WriteForm::Value, write_code("language"), &clsvyx7::schrijf_commando, 1},
    {19, "TV 1=PAL 2=NTSC", WriteForm::Value, write_code("TV standard"), &clsvyx7::schrijf_commando,
     1},
    {20, "Venster klok zetten", WriteForm::Window, write_code("clock window"),
     &clsvyx7::venster_zetten, 1},

    {21, "Venster datum zetten", WriteForm::Window, write_code("date window"),
     &clsvyx7::venster_zetten, 2},
    {47, "Venster analoge tilt zetten", WriteForm::Window, write_code("analogue tilt window"),
     &clsvyx7::venster_zetten, 2},
    {22, "Venster LC1 zetten", WriteForm::Window, write_code("LC1 window"),
     &clsvyx7::venster_zetten, 2},
    {23, "Venster LC2 zetten", WriteForm::Window, write_code("LC2 window"),
     &clsvyx7::venster_zetten, 2},
    {24, "Venster digitale tilt zetten", WriteForm::Window, write_code("digital tilt window"),
     &clsvyx7::venster_zetten, 2},
    {25, "Venster fototeller zetten", WriteForm::Window, write_code("photo counter window"),
     &clsvyx7::venster_zetten, 2},
    {26, "Venster videoteller zetten", WriteForm::Window, write_code("video counter window"),
     &clsvyx7::venster_zetten, 2},
    // Text field n has the window code n places after this one.
    {27, "Venster zetten tekstveld 1..20:", WriteForm::TextFieldWindow,
     write_code("text field 1 window") - 1, &clsvyx7::venster_zetten, 2, 2},
    {28, "Venster snelheidsbalk", WriteForm::Window, write_code("speed bar window"),
     &clsvyx7::venster_zetten, 2},
    {29, "Vnstr numerieke snelheid", WriteForm::Window, write_code("numeric speed window"),
     &clsvyx7::venster_zetten, 2},
    {30, "Venster systeemtekstregel", WriteForm::Window, write_code("system text line window"),
     &clsvyx7::venster_zetten, 2},
    {48, "Venster kijkrichting", WriteForm::Window, write_code("viewing direction window"),
     &clsvyx7::venster_zetten, 2},
    {31, "Venster EEX logo", WriteForm::Window, write_code("EEx logo window"),
     &clsvyx7::venster_zetten, 2},
    {32, "Venster bedrijfslogo", WriteForm::Window, write_code("company logo window"),
     &clsvyx7::venster_zetten, 2},
    {33, "Positie meetcirkel", WriteForm::Window, write_code("measuring circle position"),
     &clsvyx7::venster_zetten, 2},

    {34, "Diameter meting zetten", WriteForm::Window, write_code("diameter measurement position"),
     &clsvyx7::venster_zetten, 3},
    {35, "Laserpositie zetten", WriteForm::Window, write_code("laser position"),
     &clsvyx7::venster_zetten, 3},
    {36, "Venster num. draaihoek", WriteForm::Window, write_code("numeric rotation angle window"),
     &clsvyx7::venster_zetten, 3},
    {37, "Venster hoekmeting", WriteForm::Window, write_code("angle measurement window"),
     &clsvyx7::venster_zetten, 3},
    {38, "Draaihoek voor hoekmeting", WriteForm::Value,
     write_code("rotation angle for angle measurement"), &clsvyx7::schrijf_2byte_waarde, 3, 2},
    {39, "Venster temperatuur", WriteForm::Window, write_code("temperature window"),
     &clsvyx7::venster_zetten, 3},
    {40, "Tekstveld dat beschreven wordt 1..20", WriteForm::FieldNumber,
     write_code("text field to write"), &clsvyx7::schrijf_commando, 3, 2},
    {41, "Schrijf tekst in tekstveld", WriteForm::Text1, 0, &clsvyx7::schrijf_tekst_veld, 3},
    {42, "Tekstveld voor systeemtekst", WriteForm::SystemTextField, 0,
     &clsvyx7::kies_systeemtekstveld, 3, 2},
    {43, "Tekst bij tilt 1..4", WriteForm::Text1, 0, &clsvyx7::schrijf_tekst_veld, 3},
    // The logo number is typed into Text1 like every other value.
    {44, "Nr. bedrijfslogo", WriteForm::Value, write_code("company logo number"),
     &clsvyx7::schrijf_2byte_waarde, 3},
};

// --- Reads (Command3) ---

using GetMember = Variant (clsvyx7::*)();

enum class ReadForm : std::uint8_t {
    Item,        // lees_waarde of `item`; Text1 shows the result
    Counter,     // `counter`, divided by 10 once more; Text1 shows it
    SystemText,  // schrijf_systeemtekstveld with the Text1 box itself
    Blank,       // nothing
};

struct ReadButton {
    std::int16_t index;
    std::string_view caption;
    ReadForm form;
    std::uint8_t item;
    GetMember counter;
    std::uint8_t column;
};

inline constexpr ReadButton kReadButtons[] = {
    {0, "Resolutie", ReadForm::Item, item_code("resolution"), nullptr, 0},
    {1, "Aantal tekst velden", ReadForm::Item, item_code("number of text fields"), nullptr, 0},
    {2, "Tekst kleur", ReadForm::Item, item_code("text colour"), nullptr, 0},
    {3, "Taal", ReadForm::Item, item_code("language"), nullptr, 0},
    {4, "Tekst schaduw", ReadForm::Item, item_code("text shadow"), nullptr, 0},
    {5, "Meetvenster schaduw", ReadForm::Item, item_code("window shadow"), nullptr, 0},
    {6, "TV standaard", ReadForm::Item, item_code("TV standard"), nullptr, 0},
    {7, "Overlay aan/uit", ReadForm::Item, item_code("overlay on/off"), nullptr, 0},
    {8, "Datum en tijd", ReadForm::Item, item_code("date and time"), nullptr, 0},
    {9, "Tijd", ReadForm::Item, item_code("time"), nullptr, 0},
    {10, "Meterteller 1", ReadForm::Counter, 0, &clsvyx7::afstand, 0},
    {11, "Meterteller 2", ReadForm::Counter, 0, &clsvyx7::afstand2, 0},
    {12, "Digitale tilt", ReadForm::Item, item_code("digital tilt"), nullptr, 0},
    {13, "Analoge tilt", ReadForm::Item, item_code("analogue tilt"), nullptr, 0},
    {14, "Software revsie", ReadForm::Item, item_code("software revision"), nullptr, 0},
    {39, "Staus DE", ReadForm::Item, item_code("status"), nullptr, 0},
    {15, "Bedrijfslogo 0=geen", ReadForm::Item, item_code("company logo"), nullptr, 0},
    {16, "EEx venster 0=geen", ReadForm::Item, item_code("EEx window"), nullptr, 0},
    {17, "Diameter na meting", ReadForm::Item, item_code("diameter after measurement"), nullptr, 0},
    {18, "Scheur na meting", ReadForm::Item, item_code("crack after measurement"), nullptr, 0},
    {19, "Draaihoek in 10°", ReadForm::Item, item_code("rotation angle in 10 degrees"), nullptr, 0},
    {20, "Meterteller eenheid", ReadForm::Item, item_code("counter unit"), nullptr, 0},

    {21, "Cameraconstante zelmar", ReadForm::Item, item_code("camera constant"), nullptr, 1},
    {22, "Pan hoek in 0.1°", ReadForm::Item, item_code("pan angle in 0.1 degree"), nullptr, 1},
    {23, "Draaihoekmeting in 1°", ReadForm::Item, item_code("rotation measurement in 1 degree"),
     nullptr, 1},
    {24, "Lifthoogte in mm", ReadForm::Item, item_code("lift height in mm"), nullptr, 1},
    {25, "Draaihoek camera in 0.1°", ReadForm::Item, item_code("camera rotation in 0.1 degree"),
     nullptr, 1},
    {26, "Temp 1 dig = 9.357 C", ReadForm::Item, item_code("temperature"), nullptr, 1},
    {27, " ", ReadForm::Blank, 0, nullptr, 1},
    {28, " ", ReadForm::Blank, 0, nullptr, 1},
    {29, " ", ReadForm::Blank, 0, nullptr, 1},
    {30, " ", ReadForm::Blank, 0, nullptr, 1},
    {31, " ", ReadForm::Blank, 0, nullptr, 1},
    {32, " ", ReadForm::Blank, 0, nullptr, 1},
    {33, " ", ReadForm::Blank, 0, nullptr, 1},
    {34, " ", ReadForm::Blank, 0, nullptr, 1},
    {35, " ", ReadForm::Blank, 0, nullptr, 1},
    {36, " ", ReadForm::Blank, 0, nullptr, 1},
    {37, " ", ReadForm::Blank, 0, nullptr, 1},
    {38, "schrijf_systeemtekstveld", ReadForm::SystemText, 0, nullptr, 1},
};

// --- The arrays and single buttons a click reaches the panel model through ---

// One value per button array or single button; the model acts on the first six, the view on the
// last two (closing the window, hiding the options group).
enum class ButtonArray : std::uint8_t {
    Do,           // Command1
    Write,        // Command2
    Read,         // Command3
    Port,         // Command4: 0 Open, 1 Close
    TestLines,    // Command5
    Diagnostics,  // Command7
    Close,        // Command8
    OptionsOk,    // Command6
};

struct ArrayName {
    ButtonArray array;
    std::string_view name;  // buttons of an array are named `name`_index, a single one `name`
    bool single;
};

inline constexpr ArrayName kArrayNames[] = {
    {ButtonArray::Do, "Command1", false},         {ButtonArray::Write, "Command2", false},
    {ButtonArray::Read, "Command3", false},       {ButtonArray::Port, "Command4", false},
    {ButtonArray::TestLines, "Command5", true},   {ButtonArray::Diagnostics, "Command7", true},
    {ButtonArray::Close, "Command8", true},       {ButtonArray::OptionsOk, "Command6", true},
};

constexpr std::string_view array_name(ButtonArray array) {
    for (const ArrayName& row : kArrayNames) {
        if (row.array == array) return row.name;
    }
    return {};
}

// The buttons outside the three groups, with their captions.
struct SingleButton {
    ButtonArray array;
    std::int16_t index;  // within Command4; 0 for a single button
    std::string_view caption;
};

inline constexpr SingleButton kSingleButtons[] = {
    {ButtonArray::Port, 0, "Open"},
    {ButtonArray::Port, 1, "Close"},
    {ButtonArray::TestLines, 0, "zettekst xy"},
    {ButtonArray::Diagnostics, 0, "Meldingen wissel"},
    {ButtonArray::Close, 0, "Sluit venster"},
    {ButtonArray::OptionsOk, 0, "O.K."},
};

// Group boxes and labels. Frame5 ("Opties", six option buttons captioned "Option1" and the O.K.
// button) is built hidden and nothing shows it.
struct Caption {
    std::string_view name;
    std::string_view caption;
};

inline constexpr Caption kFrames[] = {
    {"Frame1", "Doe opdrachten"}, {"Frame2", "Lees opdrachten"}, {"Frame4", "Schrijf opdrachten"},
    {"Frame3", ""},               {"Frame5", "Opties"},
};
inline constexpr int kOptionCount = 6;
inline constexpr std::string_view kOptionCaption = "Option1";

struct Label {
    std::string_view name;
    std::string_view caption;
    std::string_view box;  // the entry box it names
};

inline constexpr Label kLabels[] = {
    {"Label3", "Poort", "Text6"},
    {"Label4", "X 0-24", "Text3"},
    {"Label5", "Y 0-16", "Text4"},
    {"Label1", "Weg te sturen tekst", "Text1"},
    {"Label2", "Opgebouwd commando", "Text2"},
};

// Two blanks: the window shows no title.
inline constexpr std::string_view kWindowTitle = "  ";

// --- Entry boxes ---

struct EntryBox {
    std::string_view name;
    std::string_view initial;
    bool enabled = true;
    std::int16_t beside_write = -1;  // the write button it stands beside, -1: outside the group
};

inline constexpr EntryBox kEntryBoxes[] = {
    {"Text6", "10"},
    {"Text3", "10"},
    {"Text4", "10"},
    {"Text1", "Text1"},
    {"Text2", "Text2"},
    {"Text20", "1", true, 27},
    {"Text21", "1", true, 38},
    {"Text22", "1", true, 40},
    {"Text23", "1", false, 42},
    {"Text24", "", false, 43},
    {"Text25", "1", false, 44},
};

}  // namespace quarn7::panel
