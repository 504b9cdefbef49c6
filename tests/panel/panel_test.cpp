// The service panel against a scripted port on a fake clock: what each button puts on the line and
// leaves in Text1, held against the buttons as documented; and how the panel behaves around a call.
#include "panel/panel.h"

#include <QtTest>
#include <QtWidgets>

#include "platform/conversions.h"
#include "support/protocol.h"
#include "support/scripted_port.h"

using namespace quarn7;
using namespace quarn7::testing;

namespace {

// clang-format off
// The do buttons by index, as documented ("-" for a disabled one).
const QStringList kDoButtonMembers = QString(
    "tijd_aan tijd_uit datum_aan datum_uit dig_tilt_aan dig_tilt_uit meterteller_aan "
    "meterteller_uit meterteller2_aan meterteller2_uit ana_tilt_aan ana_tilt_uit foto_aan foto_uit "
    "videoteller_aan videoteller_uit snelheidsbalk_aan snelheidsbalk_uit snelheidsmeter_aan "
    "snelheidsmeter_uit systeem_tekst_aan systeem_tekst_uit kijkrichtingdisplay_aan "
    "kijkrichtingdisplay_uit overlay_aan overlay_uit Venster_schaduw_aan Venster_schaduw_uit "
    "tekst_schaduw_aan tekst_schaduw_uit testpatroon_aan testpatroon_uit reset_DE schermwissen "
    "Teller1_0 Teller2_0 Digitale_tilt_0 Videoteller_0 Fototeller_0 overlay_aan "
    "toetsenbordbediening softwarebediening VYX_fabrieksdefault automatisch_EEx_logo_aan "
    "automatisch_EEx_logo_uit analoge_tilt_0 automatisch_EEx_temp_logo_aan "
    "automatisch_EEx_temp_logo_uit kruisdraden_aan kruisdraden_uit positie_cirkel_aan "
    "positie_cirkel_uit hint_venster_aan hint_venster_uit start_diameter_meting cancel_1 "
    "zet_cirkel_positie cancel_2 zet_merk_positie wijzig_lc_teller_richting_aan "
    "wijzig_lc_teller_richting_uit num_draaihoek_beeld_aan num_draaihoek_beeld_uit hoekmeting_aan "
    "hoekmeting_uit meetlijn_aan - meetlijn_uit temperatuurbeeld_aan temperatuurbeeld_uit - "
    "bevestig_stikstof").split(' ');

// The write buttons by index, with Text1 "5", X "3", Y "4", Text20 "2", Text22 "7": form ('v' one
// value byte, 'w' two, 'x' a window) and code of a generic write, or "-" (clock; own frame below).
const QStringList kGenericWrites = QString(
    "- w33 - v37 v38 - v41 v42 v40 v63 v64 v66 v67 v69 v70 v71 v72 v73 v74 v75 x96 x97 x102 x103 "
    "x104 x105 x106 - x130 x131 x132 x133 x135 x136 x137 x138 x139 x140 w141 x142 - - - - w201 - "
    "v65 x98 x134").split(' ');
using Pair = std::pair<const char*, const char*>;  // a frame and Text1 after, or a box and text
const Pair kWriteTexts[] = {{"Text3", "3"}, {"Text4", "4"}, {"Text20", "2"}, {"Text22", "7"}};
const Pair kFirstTexts[] = {{"Text1", "Text1"}, {"Text3", "10"}, {"Text6", "10"}, {"Text20", "1"}};
const std::map<QChar, Pair> kForms = {{'v', {"02 01 00 02 %02X 05 0D", "5|%d"}},
                                      {'w', {"02 02 00 02 %02X 05 00 0D", "5|%d"}},
                                      {'x', {"02 04 00 02 %02X 2D 00 3C 00 0D", "3|4|%d"}}};
const std::map<int, Pair> kOwnFrames = {  // 27: text field 2, window 106 + 2
    {2, {"02 04 00 02 23 32 00 00 00 0D", "5"}},  {5, {"02 04 00 02 27 32 00 00 00 0D", "5"}},
    {40, {"02 01 00 02 A0 07 0D", "7|160"}},      {41, {"02 02 00 02 A1 35 00 0D", "5"}},
    {42, {"02 01 00 02 A2 01 0D", "5"}},          {43, {"02 02 00 02 A1 35 00 0D", "5"}},
    {45, {"02 03 00 02 24 00 00 05 0D", "5"}}, {27, {"02 04 00 02 6C 2D 00 3C 00 0D", "3|4| 108"}}};
const std::map<int, int> kItemButtons = {  // read buttons by index: the item each reads
    {0, 32},  {1, 33},  {2, 34},  {3, 35},  {4, 36},  {5, 37},  {6, 38},  {7, 39},  {8, 40},
    {9, 41},  {12, 45}, {13, 46}, {14, 50}, {39, 51}, {15, 52}, {16, 54}, {17, 55}, {18, 56},
    {19, 57}, {20, 58}, {21, 59}, {22, 60}, {23, 61}, {24, 62}, {25, 63}, {26, 64}};
// clang-format on

}  // namespace

class PanelTest : public QObject {
    Q_OBJECT

    panel::frm_vyx7* panel() { return panel::instance(); }
    QLineEdit* box(const QString& name) { return panel()->findChild<QLineEdit*>(name); }
    QPushButton* button(const QString& name) { return panel()->findChild<QPushButton*>(name); }
    static QStringList frames(const std::string& hex) { return {QString::fromStdString(hex)}; }
    QString text1() { return box("Text1")->text(); }
    long enabled_buttons() {
        return std::ranges::count_if(panel()->findChildren<QPushButton*>(), &QWidget::isEnabled);
    }
    // The frames a click sent; afterwards the buttons are all back on.
    QStringList click(const QString& name) {
        const std::size_t from = port_->frames().size();
        const long enabled = enabled_buttons();
        QTest::mouseClick(button(name), Qt::LeftButton);
        if (enabled_buttons() != enabled) ++not_busy_;
        QStringList out;
        for (auto i = from; i < port_->frames().size(); ++i) out += frames(hex(port_->frames()[i]));
        return out;
    }
    QStringList click(const char* group, int n) { return click(group + QString::number(n)); }

    // A controller, its port open, on `port` answering every frame; `shown` on the busy panel.
    std::shared_ptr<clsvyx7> controller_on(const std::shared_ptr<ScriptedPort>& port,
                                           bool shown = false) {
        auto de = std::make_shared<clsvyx7>();
        de->set_clock(clock_);
        de->ComObject(Variant(std::static_pointer_cast<Object>(port)));
        const Respond answer = answer_every_frame([this](int item) { return item_data_[item]; });
        port->answer_with([this, answer, shown](const std::string& frame) {
            if (shown && !(panel()->busy() && enabled_buttons() == 0)) ++not_busy_;
            return answer(frame);
        });
        Variant yes(true), self(std::static_pointer_cast<Object>(de));
        de->OpenClose(yes);
        if (shown) de->settings(self);
        return de;
    }

    FakeClock clock_;
    std::shared_ptr<ScriptedPort> port_;
    std::vector<std::string> messages_;
    std::map<int, std::string> item_data_;
    int not_busy_ = 0;
private slots:
    void init() {
        panel::install();
        port_ = std::make_shared<ScriptedPort>(clock_);
        controller_on(port_, true);
        panel()->set_message_box([this](const std::string& text) { messages_.push_back(text); });
    }
    void cleanup() {
        QCOMPARE(std::exchange(not_busy_, 0), 0);
        QCOMPARE(std::exchange(messages_, {}), std::vector<std::string>{});  // none unexpected
    }

    void do_and_write_buttons_send_their_frames() {
        for (int index = 0; index < 72; ++index) {
            box("Text1")->setText("123");
            const auto* row = documented_switch(kDoButtonMembers[index].toStdString());
            QCOMPARE(click("Command1_", index), row ? frames(switch_frame(*row)) : QStringList{});
            QCOMPARE(text1(), row ? QString() : QString("123"));
        }

        // The clock write sends the time and date of the click and leaves Text1 as it was.
        box("Text1")->setText("unchanged");
        const auto clock_frame = [] {
            const QDateTime t = QDateTime::currentDateTime();
            return QString::asprintf("02 05 00 02 20 %02X %02X %02X %02X %02X 0D",
                                     t.time().minute(), t.time().hour(), t.date().day(),
                                     t.date().month(), t.date().year() % 100);
        };
        const QString before = clock_frame(), sent = click("Command2_0").join(" | ");
        QVERIFY2(sent == before || sent == clock_frame(), qPrintable(sent));
        QCOMPARE(text1(), QString("unchanged"));
        for (const auto& [name, text] : kWriteTexts) box(name)->setText(text);
        for (int index = 1; index < 49; ++index) {
            box("Text1")->setText("5");
            const QString write = kGenericWrites[index];
            const auto [frame, shown] = write == "-" ? kOwnFrames.at(index) : kForms.at(write[0]);
            const int code = write.mid(1).toInt();
            QCOMPARE(click("Command2_", index), QStringList{QString::asprintf(frame, code)});
            QCOMPARE(text1(), QString::asprintf(shown, code));
        }
    }

    // Item buttons show what lees_waarde gives; the counters their count / 100 under either
    // separator; the blank ones do nothing. A read lets events run: a click then starts nothing.
    void read_buttons() {
        for (const auto& [index, item] : kItemButtons) {
            item_data_[item] = "\x01\x02\x03\x04\x05\x06";
            Variant tekst{static_cast<std::int16_t>(item)};
            controller_on(std::make_shared<ScriptedPort>(clock_))->lees_waarde(tekst);
            QCOMPARE(click("Command3_", index), frames(read_request(item)));
            QCOMPARE(text1(), QString::fromStdString(tekst.to_text()));
        }
        const std::size_t before = port_->frames().size();
        QTimer::singleShot(0, button("Command1_0"), &QPushButton::click);
        click("Command3_3");
        QCoreApplication::processEvents();  // a click not taken during the read would run here
        QCOMPARE(port_->frames().size(), before + 1);
        item_data_ = {{43, bytes("39 30 00 00")}, {44, bytes("39 30")}};
        for (const auto& [separator, index, item] :
             {std::tuple{',', 10, 43}, {',', 11, 44}, {'.', 10, 43}, {'.', 11, 44}}) {
            set_host_decimal_separator(separator);
            QCOMPARE(click("Command3_", index), frames(read_request(item)));
            QCOMPARE(text1(), QString("123") + QLatin1Char(separator) + "45");
        }
        box("Text1")->setText("keep");
        for (int blank = 27; blank <= 37; ++blank) QVERIFY(click("Command3_", blank).empty());
        QCOMPARE(text1(), QString("keep"));
        QCOMPARE(button("Command3_19")->text(), QString("Draaihoek in 10") + QChar(0xB0));

        // The system text; the 16 test lines: line n, then "Dit is regel <seconds>" padded to 50.
        box("Text1")->setText("Hallo");
        const char* hallo = "02 0A 00 02 A1 48 00 61 00 6C 00 6C 00 6F 00 0D";  // "Hallo"
        QCOMPARE(click("Command3_38"), (QStringList{"02 01 00 02 A2 01 0D", hallo}));
        QCOMPARE(text1(), QString("Hallo"));
        const int since = QTime::currentTime().msecsSinceStartOfDay() / 1000;
        const QStringList lines = click("Command5");
        for (int n = 1; n <= 16; ++n) {
            QCOMPARE(lines.value(2 * n - 2), QString::asprintf("02 01 00 02 A0 %02X 0D", n));
            QVERIFY(lines.value(2 * n - 1).startsWith("02 64 00 02 A1 "));  // 50 2-byte characters
            const QString text = QStringDecoder(QStringDecoder::Utf16LE)(
                QByteArray::fromHex(lines[2 * n - 1].toLatin1()).mid(5, 100));
            const auto match = QRegularExpression("^Dit is regel ([0-9.]+)\xC3\xAF+$").match(text);
            QVERIFY2(match.hasMatch() && match.captured(1).toDouble() >= since, qPrintable(text));
        }
    }

    // Open takes the port box; with diagnostics (Meldingen wissel) on, the port buttons report.
    void port_buttons() {
        box("Text6")->setText("3");
        // Close, Open; diagnostics on: Open and Close twice each; off: Close; on again.
        for (const char* name : {"4_1", "4_0", "7", "4_0", "4_1", "4_1", "7", "4_1", "7"})
            click(QString("Command") + name);
        QCOMPARE(port_->opened_port(), std::int16_t{3});
        QCOMPARE(std::exchange(messages_, {}),
                 (std::vector<std::string>{"Already open", "Already closed"}));
        panel()->set_message_box({});  // then in a Qt message box, without a title
        QString shown;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = box->text() + "|" + box->windowTitle();
                box->accept();
            }
        });
        poll.start(5);
        click("Command4_1");
        QCOMPARE(shown, QString("Already closed|"));
    }

    // A member error shows, the panel goes on; reopened for a new controller, it starts afresh.
    void errors_do_not_stop_the_panel_and_reopening_restores_initial_texts() {
        box("Text1")->setText("abc");
        QVERIFY(click("Command2_16").empty());
        QCOMPARE(text1(), QString("abc|72"));  // built before the member failed
        QCOMPARE(std::exchange(messages_, {}), std::vector<std::string>{"Error 13: Type mismatch"});
        QCOMPARE(click("Command1_0").size(), 1);
        for (const auto& [name, first] : kFirstTexts) box(name)->setText("changed");
        click("Command8");  // Sluit venster: the panel closes, the port stays as it was
        QVERIFY(!panel()->isVisible() && port_->PortOpen());
        auto other_port = std::make_shared<ScriptedPort>(clock_);
        controller_on(other_port, true);
        for (const auto& [name, first] : kFirstTexts) QCOMPARE(box(name)->text(), QString(first));
        QString enabled;  // Text20 to Text22 take typing; Text23 to Text25 are shown only
        for (int n = 20; n <= 25; ++n)
            enabled += box(QString("Text%1").arg(n))->isEnabled() ? 'y' : 'n';
        QVERIFY(panel()->isVisible());
        QCOMPARE(enabled, QString("yyynnn"));
        click("Command1_0");
        QCOMPARE(other_port->frames().size(), std::size_t{1});
    }
};

QTEST_MAIN(PanelTest)
#include "panel_test.moc"
