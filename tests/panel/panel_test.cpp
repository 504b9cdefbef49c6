// The service panel against a scripted port on a fake clock: what each button puts on the line and
// leaves in Text1, held against the buttons as documented; and how the panel behaves around a call.
#include "panel/panel.h"

#include <QApplication>
#include <QDateTime>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>
#include <map>

#include "platform/conversions.h"
#include "support/protocol.h"
#include "support/scripted_port.h"

using namespace quarn7;
using namespace quarn7::testing;

namespace {

// The do buttons by index, as documented ("" for a disabled one).
const char* const kDoButtonMembers[72] = {
    "tijd_aan", "tijd_uit", "datum_aan", "datum_uit", "dig_tilt_aan", "dig_tilt_uit",
    "meterteller_aan", "meterteller_uit", "meterteller2_aan", "meterteller2_uit", "ana_tilt_aan",
    "ana_tilt_uit", "foto_aan", "foto_uit", "videoteller_aan", "videoteller_uit",
    "snelheidsbalk_aan", "snelheidsbalk_uit", "snelheidsmeter_aan", "snelheidsmeter_uit",
    "systeem_tekst_aan", "systeem_tekst_uit", "kijkrichtingdisplay_aan", "kijkrichtingdisplay_uit",
    "overlay_aan", "overlay_uit", "Venster_schaduw_aan", "Venster_schaduw_uit",
    "tekst_schaduw_aan", "tekst_schaduw_uit", "testpatroon_aan", "testpatroon_uit", "reset_DE",
    "schermwissen", "Teller1_0", "Teller2_0", "Digitale_tilt_0", "Videoteller_0", "Fototeller_0",
    "overlay_aan", "toetsenbordbediening", "softwarebediening", "VYX_fabrieksdefault",
    "automatisch_EEx_logo_aan", "automatisch_EEx_logo_uit", "analoge_tilt_0",
    "automatisch_EEx_temp_logo_aan", "automatisch_EEx_temp_logo_uit", "kruisdraden_aan",
    "kruisdraden_uit", "positie_cirkel_aan", "positie_cirkel_uit", "hint_venster_aan",
    "hint_venster_uit", "start_diameter_meting", "cancel_1", "zet_cirkel_positie", "cancel_2",
    "zet_merk_positie", "wijzig_lc_teller_richting_aan", "wijzig_lc_teller_richting_uit",
    "num_draaihoek_beeld_aan", "num_draaihoek_beeld_uit", "hoekmeting_aan", "hoekmeting_uit",
    "meetlijn_aan", "", "meetlijn_uit", "temperatuurbeeld_aan", "temperatuurbeeld_uit", "",
    "bevestig_stikstof"};

// The write buttons by index, with Text1 "5", X "3", Y "4", Text20 "2", Text22 "7": the command
// code each writes through a generic member ('v' one value byte, 'w' two, 'x' a window), or the
// frame of a dedicated member.
const std::map<int, std::pair<char, int>> kGenericWrites = {
    {1, {'w', 33}},   {3, {'v', 37}},   {4, {'v', 38}},   {6, {'v', 41}},   {7, {'v', 42}},
    {8, {'v', 40}},   {9, {'v', 63}},   {10, {'v', 64}},  {11, {'v', 66}},  {12, {'v', 67}},
    {13, {'v', 69}},  {14, {'v', 70}},  {15, {'v', 71}},  {16, {'v', 72}},  {17, {'v', 73}},
    {18, {'v', 74}},  {19, {'v', 75}},  {20, {'x', 96}},  {21, {'x', 97}},  {22, {'x', 102}},
    {23, {'x', 103}}, {24, {'x', 104}}, {25, {'x', 105}}, {26, {'x', 106}}, {28, {'x', 130}},
    {29, {'x', 131}}, {30, {'x', 132}}, {31, {'x', 133}}, {32, {'x', 135}}, {33, {'x', 136}},
    {34, {'x', 137}}, {35, {'x', 138}}, {36, {'x', 139}}, {37, {'x', 140}}, {38, {'w', 141}},
    {39, {'x', 142}}, {44, {'w', 201}}, {46, {'v', 65}},  {47, {'x', 98}},  {48, {'x', 134}}};
const std::map<int, std::pair<QString, QString>> kDedicatedWrites = {  // frame, Text1 after
    {2, {"02 04 00 02 23 32 00 00 00 0D", "5"}},
    {5, {"02 04 00 02 27 32 00 00 00 0D", "5"}},
    {27, {"02 04 00 02 6C 2D 00 3C 00 0D", "3|4| 108"}},  // text field 2: window 106 + 2
    {40, {"02 01 00 02 A0 07 0D", "7|160"}},
    {41, {"02 02 00 02 A1 35 00 0D", "5"}},
    {42, {"02 01 00 02 A2 01 0D", "5"}},
    {43, {"02 02 00 02 A1 35 00 0D", "5"}},
    {45, {"02 03 00 02 24 00 00 05 0D", "5"}}};

// The read buttons that read an item, by index.
const std::map<int, int> kItemButtons = {
    {0, 32},  {1, 33},  {2, 34},  {3, 35},  {4, 36},  {5, 37},  {6, 38},  {7, 39},
    {8, 40},  {9, 41},  {12, 45}, {13, 46}, {14, 50}, {39, 51}, {15, 52}, {16, 54},
    {17, 55}, {18, 56}, {19, 57}, {20, 58}, {21, 59}, {22, 60}, {23, 61}, {24, 62},
    {25, 63}, {26, 64}};

QString qhex(const std::string& bytes) {
    return QString::fromStdString(hex(bytes));
}

}  // namespace

class PanelTest : public QObject {
    Q_OBJECT

private:
    panel::frm_vyx7* panel() { return panel::instance(); }
    QLineEdit* box(const QString& name) { return panel()->findChild<QLineEdit*>(name); }
    QPushButton* button(const QString& name) { return panel()->findChild<QPushButton*>(name); }
    QString text1() { return box("Text1")->text(); }
    int enabled_buttons() {
        int count = 0;
        for (QPushButton* b : panel()->findChildren<QPushButton*>()) count += b->isEnabled();
        return count;
    }
    // One click: the frames it sent. While its call ran every button was off (checked by the
    // unit below at each frame), and afterwards they are all back.
    QStringList click(const QString& name) {
        const std::size_t before = port_->frames().size();
        QPushButton* target = button(name);
        if (!target) return {"no button " + name};
        QTest::mouseClick(target, Qt::LeftButton);
        if (enabled_buttons() != all_buttons_) ++not_busy_;
        QStringList out;
        for (std::size_t i = before; i < port_->frames().size(); ++i) out << qhex(port_->frames()[i]);
        return out;
    }

    // A controller on a scripted port that answers every frame; at each frame it notes whether
    // the panel said it was busy with every button off.
    std::shared_ptr<clsvyx7> controller_on(const std::shared_ptr<ScriptedPort>& port,
                                           bool watched = false) {
        auto de = std::make_shared<clsvyx7>();
        de->set_clock(clock_);
        de->ComObject(Variant(std::static_pointer_cast<Object>(port)));
        const Respond answer = answer_every_frame([this](int item) { return item_data_[item]; });
        port->answer_with([this, answer, watched](const std::string& frame) {
            if (watched && !(panel()->busy() && enabled_buttons() == 0)) ++not_busy_;
            return answer(frame);
        });
        Variant yes(true);
        de->OpenClose(yes);
        return de;
    }
    static void show_panel(const std::shared_ptr<clsvyx7>& de) {
        Variant test(std::static_pointer_cast<Object>(de));
        de->settings(test);
    }

    FakeClock clock_;
    std::shared_ptr<ScriptedPort> port_;
    std::shared_ptr<clsvyx7> de_;
    std::vector<std::string> messages_;
    std::map<int, std::string> item_data_;
    int all_buttons_ = 0;
    int not_busy_ = 0;

private slots:
    void initTestCase() { panel::install(); }

    void init() {
        set_host_decimal_separator('.');
        messages_.clear();
        item_data_.clear();
        port_ = std::make_shared<ScriptedPort>(clock_);
        de_ = controller_on(port_, true);
        show_panel(de_);
        panel()->set_message_box([this](const std::string& text) { messages_.push_back(text); });
        all_buttons_ = enabled_buttons();
        not_busy_ = 0;
    }

    void cleanup() {
        QCOMPARE(not_busy_, 0);
        QVERIFY(messages_.empty());
        panel()->close();
        panel()->set_controller(nullptr);
    }

    void do_buttons_send_their_members_frames() {
        for (int index = 0; index < 72; ++index) {
            box("Text1")->setText("123");
            const QStringList sent = click(QString("Command1_%1").arg(index));
            const auto* row = documented_switch(kDoButtonMembers[index]);
            QCOMPARE(sent, row ? QStringList{QString::fromStdString(switch_frame(*row))} : QStringList{});
            QCOMPARE(text1(), row ? QString() : QString("123"));
        }
    }

    void write_buttons_build_their_texts_and_send_them() {
        for (int index = 1; index < 49; ++index) {
            for (const auto& [name, text] : {std::pair{"Text1", "5"}, {"Text3", "3"}, {"Text4", "4"},
                                             {"Text20", "2"}, {"Text22", "7"}}) {
                box(name)->setText(text);
            }
            QString frame, shown;
            if (kDedicatedWrites.contains(index)) {
                std::tie(frame, shown) = kDedicatedWrites.at(index);
            } else {
                const auto [form, code] = kGenericWrites.at(index);
                const QString c = QString("%1").arg(code, 2, 16, QChar('0')).toUpper();
                frame = form == 'v'   ? "02 01 00 02 " + c + " 05 0D"
                        : form == 'w' ? "02 02 00 02 " + c + " 05 00 0D"
                                      : "02 04 00 02 " + c + " 2D 00 3C 00 0D";
                shown = (form == 'x' ? "3|4|" : "5|") + QString::number(code);
            }
            QCOMPARE(click(QString("Command2_%1").arg(index)).value(0), frame);
            QCOMPARE(text1(), shown);
        }
    }

    // The clock write sends the time and date of the click; Text1 stays as it was.
    void clock_write_sends_time_and_date_now() {
        box("Text1")->setText("unchanged");
        const QDateTime before = QDateTime::currentDateTime();
        const QStringList sent = click("Command2_0");
        const QDateTime after = QDateTime::currentDateTime();
        const auto frame_at = [](const QDateTime& t) {
            return QString("02 05 00 02 20 %1 %2 %3 %4 %5 0D")
                .arg(t.time().minute(), 2, 16, QChar('0')).arg(t.time().hour(), 2, 16, QChar('0'))
                .arg(t.date().day(), 2, 16, QChar('0')).arg(t.date().month(), 2, 16, QChar('0'))
                .arg(t.date().year() % 100, 2, 16, QChar('0')).toUpper();
        };
        QCOMPARE(sent.size(), 1);
        QVERIFY2(sent[0] == frame_at(before) || sent[0] == frame_at(after), qPrintable(sent[0]));
        QCOMPARE(text1(), QString("unchanged"));
    }

    // Item buttons show what lees_waarde gives; the counters their count divided by 100 under
    // either separator; the blank ones do nothing.
    void read_buttons_show_what_they_read() {
        for (const auto& [index, item] : kItemButtons) {
            item_data_[item] = "\x01\x02\x03\x04\x05\x06";
            const auto reference_port = std::make_shared<ScriptedPort>(clock_);
            Variant tekst{static_cast<std::int16_t>(item)};
            controller_on(reference_port)->lees_waarde(tekst);
            QCOMPARE(click(QString("Command3_%1").arg(index)),
                     QStringList{QString::fromStdString(read_request(item))});
            QCOMPARE(text1(), QString::fromStdString(tekst.to_text()));
        }
        item_data_[43] = bytes("39 30 00 00");
        item_data_[44] = bytes("39 30");
        for (const auto& [index, item] : {std::pair{10, 43}, {11, 44}}) {
            for (const auto& [separator, shown] : {std::pair{'.', "123.45"}, {',', "123,45"}}) {
                set_host_decimal_separator(separator);
                QCOMPARE(click(QString("Command3_%1").arg(index)),
                         QStringList{QString::fromStdString(read_request(item))});
                QCOMPARE(text1(), QString(shown));
            }
        }
        box("Text1")->setText("keep");
        for (int blank = 27; blank <= 37; ++blank) QVERIFY(click(QString("Command3_%1").arg(blank)).empty());
        QCOMPARE(text1(), QString("keep"));
        QCOMPARE(button("Command3_19")->text(), QString("Draaihoek in 10") + QChar(0xB0));
    }

    void system_text_and_test_lines() {
        box("Text1")->setText("Hallo");
        QCOMPARE(click("Command3_38"), (QStringList{"02 01 00 02 A2 01 0D",
                                                    "02 0A 00 02 A1 48 00 61 00 6C 00 6C 00 6F 00 0D"}));
        QCOMPARE(text1(), QString("Hallo"));

        const int before = QTime::currentTime().msecsSinceStartOfDay() / 1000;
        const QStringList lines = click("Command5");
        QCOMPARE(lines.size(), 32);
        const QRegularExpression line("^Dit is regel ([0-9.]+)\xC3\xAF+$");
        for (int n = 1; n <= 16; ++n) {
            QCOMPARE(lines[2 * n - 2], QString("02 01 00 02 A0 %1 0D").arg(n, 2, 16, QChar('0')).toUpper());
            const std::string frame = port_->frames()[port_->frames().size() - 32 + 2 * n - 1];
            QCOMPARE(qhex(frame.substr(0, 5)), QString("02 64 00 02 A1"));  // 50 characters
            std::string characters;
            for (std::size_t i = 5; i + 1 < frame.size(); i += 2) characters += frame[i];
            const auto match = line.match(QString::fromLatin1(characters.data(), 50));
            QVERIFY2(match.hasMatch() && match.captured(1).toDouble() >= before, characters.c_str());
        }
    }

    // Open takes the port box; with diagnostics on (Meldingen wissel) the port buttons report.
    void port_buttons() {
        Variant no(false);
        de_->OpenClose(no);
        box("Text6")->setText("abc");
        click("Command4_0");
        QCOMPARE(messages_, std::vector<std::string>{"Error 13: Type mismatch"});
        messages_.clear();
        box("Text6")->setText("3");
        click("Command4_0");
        QCOMPARE(port_->opened_port(), std::int16_t{3});
        QCOMPARE(port_->opened_settings(), std::string("19200,o,8,1"));
        click("Command7");
        click("Command4_0");
        click("Command4_1");
        click("Command4_1");
        click("Command7");
        click("Command4_1");
        QCOMPARE(messages_, (std::vector<std::string>{"Already open", "Already closed"}));
        messages_.clear();
    }

    void closing_and_reopening_restores_initial_texts_for_the_new_controller() {
        for (const char* name : {"Text1", "Text3", "Text6", "Text20"}) box(name)->setText("changed");
        click("Command8");  // Sluit venster
        QVERIFY(!panel()->isVisible());
        QVERIFY(port_->PortOpen());  // closing touches neither the port nor the controller
        auto other_port = std::make_shared<ScriptedPort>(clock_);
        show_panel(controller_on(other_port));
        QVERIFY(panel()->isVisible());
        for (const auto& [name, initial] : {std::pair{"Text1", "Text1"}, {"Text3", "10"},
                                            {"Text6", "10"}, {"Text20", "1"}}) {
            QCOMPARE(box(name)->text(), QString(initial));
        }
        QVERIFY(!box("Text23")->isEnabled());
        click("Command1_0");
        QCOMPARE(other_port->frames().size(), std::size_t{1});
    }

    // A read lets events run while it waits: a click then starts nothing.
    void a_click_during_a_read_starts_nothing() {
        item_data_[35] = "\x03";
        bool clicked = false;
        QTimer::singleShot(0, panel(), [&] {
            QTest::mouseClick(button("Command1_0"), Qt::LeftButton);
            clicked = true;
        });
        QCOMPARE(click("Command3_3").size(), 1);
        QVERIFY(clicked);
    }

    void a_member_error_is_shown_and_the_panel_goes_on() {
        box("Text1")->setText("abc");
        QVERIFY(click("Command2_16").empty());
        QCOMPARE(messages_, std::vector<std::string>{"Error 13: Type mismatch"});
        QCOMPARE(text1(), QString("abc|72"));  // built before the member failed
        show_panel(std::make_shared<clsvyx7>());  // a controller without a port object
        click("Command1_0");
        QCOMPARE(messages_.size(), std::size_t{2});
        QVERIFY(messages_[1].starts_with("Error 91: "));
        QVERIFY(panel()->isVisible());
        messages_.clear();
    }

    void messages_appear_in_a_qt_message_box() {
        panel()->set_message_box({});
        Variant no(false);
        de_->OpenClose(no);
        de_->meldingen();
        QString shown;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = box->text() + "|" + box->windowTitle();
                box->accept();
            }
        });
        poll.start(5);
        click("Command4_1");  // Close on a closed port
        QCOMPARE(shown, QString("Already closed|"));
    }
};

QTEST_MAIN(PanelTest)
#include "panel_test.moc"
