// The service panel against a scripted port on a fake clock: what each button puts on the line,
// what it leaves in Text1, and how the panel behaves around a call.
#include "panel/panel.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDateTime>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/read_items.h"
#include "link/wire.h"
#include "panel/panel_tables.h"
#include "platform/conversions.h"
#include "platform/error.h"
#include "support/scripted_port.h"

using namespace quarn7;
using namespace quarn7::testing;
using quarn7::panel::frm_vyx7;

Q_DECLARE_METATYPE(std::string)

namespace {

// The frames written from the `from`-th on, in hex.
QStringList hex_frames(const ScriptedPort& port, std::size_t from = 0) {
    QStringList out;
    const auto frames = port.frames();
    for (std::size_t i = from; i < frames.size(); ++i) {
        out << QString::fromStdString(hex(frames[i]));
    }
    return out;
}

std::string error_text(ErrorNumber number) {
    return "Error " + std::to_string(static_cast<int>(number)) + ": " +
           std::string(describe(number));
}

// The data bytes of a write frame (STX, two length bytes, kind and code before, CR after).
std::string frame_data(const std::string& frame) {
    return frame.substr(5, frame.size() - 6);
}

// Seconds since midnight of a write 0 frame or a test line, rounded down to whole seconds.
int seconds_now() {
    return QTime::currentTime().msecsSinceStartOfDay() / 1000;
}

class DecimalSeparator {
public:
    explicit DecimalSeparator(char separator) : saved_(host_decimal_separator()) {
        set_host_decimal_separator(separator);
    }
    ~DecimalSeparator() { set_host_decimal_separator(saved_); }

private:
    char saved_;
};

}  // namespace

class PanelTest : public QObject {
    Q_OBJECT

private:
    struct Seen {
        bool busy;
        int enabled_buttons;
    };

    frm_vyx7* panel() { return panel::instance(); }
    QLineEdit* box(const QString& name) { return panel()->findChild<QLineEdit*>(name); }
    QPushButton* button(const QString& name) { return panel()->findChild<QPushButton*>(name); }
    void click(const QString& name) {
        QPushButton* target = button(name);
        QVERIFY2(target, qPrintable(name));
        QTest::mouseClick(target, Qt::LeftButton);
    }
    void type(const QString& name, const QString& text) { box(name)->setText(text); }
    QString text1() { return box("Text1")->text(); }
    int enabled_buttons() {
        int count = 0;
        for (QPushButton* b : panel()->findChildren<QPushButton*>()) count += b->isEnabled();
        return count;
    }

    // A controller on a scripted port that ACKs every do-command and write and answers every read
    // with item_data_; each frame notes what the panel looked like while its call ran.
    std::shared_ptr<clsvyx7> controller_on(const std::shared_ptr<ScriptedPort>& port) {
        auto de = std::make_shared<clsvyx7>();
        de->set_clock(clock_);
        Variant object(std::static_pointer_cast<Object>(port));
        de->ComObject(object);
        port->answer_with([this](const std::string& frame) {
            if (panel()) seen_.push_back({panel()->busy(), enabled_buttons()});
            if (frame[3] == wire::Read) {
                const int item = static_cast<unsigned char>(frame[4]);
                return Answer{{1ms, wire::read_reply(item_data_[item])}};
            }
            return Answer{{1ms, std::string(1, wire::ACK)}};
        });
        return de;
    }
    static void open(clsvyx7& de) {
        Variant yes(true);
        de.OpenClose(yes);
    }
    static void close(clsvyx7& de) {
        Variant no(false);
        de.OpenClose(no);
    }
    static void show_panel(const std::shared_ptr<clsvyx7>& de) {
        Variant test(std::static_pointer_cast<Object>(de));
        de->settings(test);
    }
    // What lees_waarde leaves for `item` when the unit sends `data`, as text.
    std::string reference_read(int item, const std::string& data) {
        auto port = std::make_shared<ScriptedPort>(clock_);
        auto de = controller_on(port);
        open(*de);
        item_data_[item] = data;
        Variant tekst(static_cast<std::int16_t>(item));
        de->lees_waarde(tekst);
        return tekst.to_text();
    }

    FakeClock clock_;
    std::shared_ptr<ScriptedPort> port_;
    std::shared_ptr<clsvyx7> de_;
    std::vector<std::string> messages_;
    std::map<int, std::string> item_data_;
    std::vector<Seen> seen_;
    int all_buttons_ = 0;

private slots:
    void initTestCase() { panel::install(); }

    void init() {
        messages_.clear();
        item_data_.clear();
        port_ = std::make_shared<ScriptedPort>(clock_);
        de_ = controller_on(port_);
        open(*de_);
        show_panel(de_);
        panel()->set_message_box([this](const std::string& text) { messages_.push_back(text); });
        all_buttons_ = enabled_buttons();
        seen_.clear();
    }

    void cleanup() {
        panel()->close();
        panel()->set_controller(nullptr);
        de_.reset();
        port_.reset();
    }

    // --- Layout ---

    void arrays_hold_every_index_once_data() {
        QTest::addColumn<QString>("array");
        QTest::addColumn<int>("size");
        QTest::newRow("do") << "Command1" << int(std::size(panel::kDoButtons));
        QTest::newRow("write") << "Command2" << int(std::size(panel::kWriteButtons));
        QTest::newRow("read") << "Command3" << int(std::size(panel::kReadButtons));
        QTest::newRow("port") << "Command4" << 2;
    }
    void arrays_hold_every_index_once() {
        QFETCH(QString, array);
        QFETCH(int, size);
        static const std::map<QString, int> kSizes = {
            {"Command1", 72}, {"Command2", 49}, {"Command3", 40}, {"Command4", 2}};
        QCOMPARE(size, kSizes.at(array));
        auto* group = panel()->findChild<QButtonGroup*>(array);
        QVERIFY(group);
        QCOMPARE(group->buttons().size(), size);
        for (int index = 0; index < size; ++index) {
            QAbstractButton* member = group->button(index);
            QVERIFY2(member, qPrintable(QString("%1 %2").arg(array).arg(index)));
            QCOMPARE(member->objectName(), QString("%1_%2").arg(array).arg(index));
        }
    }

    void captions_keep_their_characters() {
        QCOMPARE(panel()->windowTitle(), QString("  "));
        QCOMPARE(button("Command3_19")->text(), QString("Draaihoek in 10") + QChar(0xB0));
        QCOMPARE(button("Command2_8")->text(),
                 QChar(0xB0) + QString("C of ") + QChar(0xB0) + QString("F"));
        QCOMPARE(button("Command3_27")->text(), QString(" "));
        QCOMPARE(button("Command1_0")->font().pointSizeF(), 7.0);
        QVERIFY(!panel()->findChild<QWidget*>("Frame5")->isVisible());
        QVERIFY(port_->frames().empty());  // showing the panel sends nothing
    }

    void disabled_controls_stay_out_of_reach() {
        type("Text1", "keep");
        click("Command1_66");
        click("Command1_70");
        QVERIFY(port_->frames().empty());
        QCOMPARE(text1(), QString("keep"));
        for (const char* name : {"Text23", "Text24", "Text25"}) {
            QLineEdit* disabled = box(name);
            const QString before = disabled->text();
            QVERIFY(!disabled->isEnabled());
            QTest::keyClicks(disabled, "9");
            QCOMPARE(disabled->text(), before);
        }
    }

    // --- Do-commands ---

    void every_do_button_calls_its_switch_member() {
        for (const auto& row : panel::kDoButtons) {
            if (!row.enabled) continue;
            const SwitchCommand& command = kSwitchCommands[panel::switch_row(row.member)];
            const std::string expected =
                wire::do_command_frame({command.code, wire::DoCommand, command.lengte_laag, 0});
            const std::size_t sent = port_->frames().size();
            seen_.clear();
            type("Text1", "123");
            click(QString("Command1_%1").arg(row.index));
            QCOMPARE(hex_frames(*port_, sent), QStringList{QString::fromStdString(hex(expected))});
            QCOMPARE(text1(), QString());
            QCOMPARE(seen_.size(), std::size_t{1});
            QVERIFY(seen_[0].busy);
            QCOMPARE(seen_[0].enabled_buttons, 0);
            QCOMPARE(enabled_buttons(), all_buttons_);
        }
        QVERIFY(messages_.empty());
    }

    void do_buttons_send_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("frame");
        QTest::newRow("Tijdvenster aan") << 0 << "02 01 00 00 20 00 0D";
        QTest::newRow("Videoteller venster aan") << 14 << "02 01 00 00 34 00 0D";
        QTest::newRow("Videoteller venster uit") << 15 << "02 01 00 00 35 00 0D";
        QTest::newRow("Overlay aan, first column") << 24 << "02 01 00 00 50 00 0D";
        QTest::newRow("Overlay aan, second column") << 39 << "02 01 00 00 50 00 0D";
        QTest::newRow("EEx logo aan: temperature logo") << 46 << "02 01 00 00 7D 00 0D";
        QTest::newRow("Cancel after diameter") << 55 << "02 01 00 00 89 00 0D";
        QTest::newRow("Cancel after circle") << 57 << "02 01 00 00 8C 00 0D";
        QTest::newRow("Bevestig stikstof melding") << 71 << "02 01 00 00 7F 00 0D";
    }
    void do_buttons_send() {
        QFETCH(int, index);
        QFETCH(QString, frame);
        click(QString("Command1_%1").arg(index));
        QCOMPARE(hex_frames(*port_), QStringList{frame});
    }

    // --- Writes ---

    void write_buttons_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text1");
        QTest::addColumn<QStringList>("frames");
        // Typed: Text1 5, X 3, Y 4, Text20 1, Text22 7. Windows go out at 15 times X and Y.
        const QString window = "02 04 00 02 %1 2D 00 3C 00 0D";
        QTest::newRow("1 Fototeller") << 1 << "5|33" << QStringList{"02 02 00 02 21 05 00 0D"};
        QTest::newRow("2 meterteller1") << 2 << "5" << QStringList{"02 04 00 02 23 32 00 00 00 0D"};
        QTest::newRow("3 Eenheid LC1") << 3 << "5|37" << QStringList{"02 01 00 02 25 05 0D"};
        QTest::newRow("4 Eenheid LC2") << 4 << "5|38" << QStringList{"02 01 00 02 26 05 0D"};
        QTest::newRow("5 meterteller2") << 5 << "5" << QStringList{"02 04 00 02 27 32 00 00 00 0D"};
        QTest::newRow("6 Factor LC1") << 6 << "5|41" << QStringList{"02 01 00 02 29 05 0D"};
        QTest::newRow("7 Factor LC2") << 7 << "5|42" << QStringList{"02 01 00 02 2A 05 0D"};
        QTest::newRow("8 C of F") << 8 << "5|40" << QStringList{"02 01 00 02 28 05 0D"};
        QTest::newRow("9 Tekst kleur") << 9 << "5|63" << QStringList{"02 01 00 02 3F 05 0D"};
        QTest::newRow("10 Videoinput") << 10 << "5|64" << QStringList{"02 01 00 02 40 05 0D"};
        QTest::newRow("11 Contrast overlay") << 11 << "5|66" << QStringList{"02 01 00 02 42 05 0D"};
        QTest::newRow("12 Helderheid overlay")
            << 12 << "5|67" << QStringList{"02 01 00 02 43 05 0D"};
        QTest::newRow("13 Contrast output") << 13 << "5|69" << QStringList{"02 01 00 02 45 05 0D"};
        QTest::newRow("14 Helderheid output")
            << 14 << "5|70" << QStringList{"02 01 00 02 46 05 0D"};
        QTest::newRow("15 Verzadiging") << 15 << "5|71" << QStringList{"02 01 00 02 47 05 0D"};
        QTest::newRow("16 Transparantheid") << 16 << "5|72" << QStringList{"02 01 00 02 48 05 0D"};
        QTest::newRow("17 Datum") << 17 << "5|73" << QStringList{"02 01 00 02 49 05 0D"};
        QTest::newRow("18 Taal") << 18 << "5|74" << QStringList{"02 01 00 02 4A 05 0D"};
        QTest::newRow("19 TV") << 19 << "5|75" << QStringList{"02 01 00 02 4B 05 0D"};
        QTest::newRow("20 klok") << 20 << "3|4|96" << QStringList{window.arg("60")};
        QTest::newRow("21 datum") << 21 << "3|4|97" << QStringList{window.arg("61")};
        QTest::newRow("22 LC1") << 22 << "3|4|102" << QStringList{window.arg("66")};
        QTest::newRow("23 LC2") << 23 << "3|4|103" << QStringList{window.arg("67")};
        QTest::newRow("24 digitale tilt") << 24 << "3|4|104" << QStringList{window.arg("68")};
        QTest::newRow("25 fototeller") << 25 << "3|4|105" << QStringList{window.arg("69")};
        QTest::newRow("26 videoteller") << 26 << "3|4|106" << QStringList{window.arg("6A")};
        QTest::newRow("27 tekstveld") << 27 << "3|4| 107" << QStringList{window.arg("6B")};
        QTest::newRow("28 snelheidsbalk") << 28 << "3|4|130" << QStringList{window.arg("82")};
        QTest::newRow("29 numerieke snelheid") << 29 << "3|4|131" << QStringList{window.arg("83")};
        QTest::newRow("30 systeemtekstregel") << 30 << "3|4|132" << QStringList{window.arg("84")};
        QTest::newRow("31 EEX logo") << 31 << "3|4|133" << QStringList{window.arg("85")};
        QTest::newRow("32 bedrijfslogo") << 32 << "3|4|135" << QStringList{window.arg("87")};
        QTest::newRow("33 meetcirkel") << 33 << "3|4|136" << QStringList{window.arg("88")};
        QTest::newRow("34 diameter") << 34 << "3|4|137" << QStringList{window.arg("89")};
        QTest::newRow("35 laserpositie") << 35 << "3|4|138" << QStringList{window.arg("8A")};
        QTest::newRow("36 num. draaihoek") << 36 << "3|4|139" << QStringList{window.arg("8B")};
        QTest::newRow("37 hoekmeting") << 37 << "3|4|140" << QStringList{window.arg("8C")};
        QTest::newRow("38 Draaihoek") << 38 << "5|141" << QStringList{"02 02 00 02 8D 05 00 0D"};
        QTest::newRow("39 temperatuur") << 39 << "3|4|142" << QStringList{window.arg("8E")};
        QTest::newRow("40 Tekstveld") << 40 << "7|160" << QStringList{"02 01 00 02 A0 07 0D"};
        QTest::newRow("41 Schrijf tekst") << 41 << "5" << QStringList{"02 02 00 02 A1 35 00 0D"};
        QTest::newRow("42 systeemtekst") << 42 << "5" << QStringList{"02 01 00 02 A2 01 0D"};
        QTest::newRow("43 Tekst bij tilt") << 43 << "5" << QStringList{"02 02 00 02 A1 35 00 0D"};
        QTest::newRow("44 bedrijfslogo") << 44 << "5|201" << QStringList{"02 02 00 02 C9 05 00 0D"};
        QTest::newRow("45 videoteller") << 45 << "5" << QStringList{"02 03 00 02 24 00 00 05 0D"};
        QTest::newRow("46 Outputfilter") << 46 << "5|65" << QStringList{"02 01 00 02 41 05 0D"};
        QTest::newRow("47 analoge tilt") << 47 << "3|4|98" << QStringList{window.arg("62")};
        QTest::newRow("48 kijkrichting") << 48 << "3|4|134" << QStringList{window.arg("86")};
    }
    void write_buttons() {
        QFETCH(int, index);
        QFETCH(QString, text1);
        QFETCH(QStringList, frames);
        type("Text1", "5");
        type("Text3", "3");
        type("Text4", "4");
        type("Text20", "1");
        type("Text22", "7");
        click(QString("Command2_%1").arg(index));
        QCOMPARE(hex_frames(*port_), frames);
        QCOMPARE(this->text1(), text1);
        QVERIFY(!seen_.empty() && seen_.front().busy && seen_.front().enabled_buttons == 0);
        QVERIFY(messages_.empty());
    }

    void value_writes_append_to_text1() {
        type("Text1", "5");
        click("Command2_16");  // Transparantheid overlay 0..70
        QCOMPARE(text1(), QString("5|72"));
        click("Command2_11");  // Contrast overlay 0..63, without retyping
        QCOMPARE(text1(), QString("5|72|66"));
        // The generic member reads only the first two fields: code 72 with value 5 again.
        QCOMPARE(hex_frames(*port_), (QStringList{"02 01 00 02 48 05 0D", "02 01 00 02 48 05 0D"}));
    }

    void window_writes_replace_text1() {
        type("Text1", "earlier text");
        type("Text3", "10");
        type("Text4", "10");
        click("Command2_21");  // Venster datum zetten
        QCOMPARE(text1(), QString("10|10|97"));
    }

    void text_field_window_code_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text1");
        QTest::addColumn<QString>("frame");
        QTest::newRow("field 1") << "1"
                                 << "10|10| 107"
                                 << "02 04 00 02 6B 96 00 96 00 0D";
        QTest::newRow("field 20") << "20"
                                  << "10|10| 126"
                                  << "02 04 00 02 7E 96 00 96 00 0D";
        QTest::newRow("leading number") << "3x"
                                        << "10|10| 109"
                                        << "02 04 00 02 6D 96 00 96 00 0D";
        QTest::newRow("no number") << "x"
                                   << "10|10| 106"
                                   << "02 04 00 02 6A 96 00 96 00 0D";
    }
    void text_field_window_code() {
        QFETCH(QString, field);
        QFETCH(QString, text1);
        QFETCH(QString, frame);
        type("Text20", field);
        click("Command2_27");
        QCOMPARE(this->text1(), text1);
        QCOMPARE(hex_frames(*port_), QStringList{frame});
    }

    void field_choice_then_text_goes_to_that_field() {
        type("Text22", "7");
        click("Command2_40");  // Tekstveld dat beschreven wordt 1..20
        QCOMPARE(text1(), QString("7|160"));
        click("Command2_41");  // Schrijf tekst in tekstveld: the built text itself
        QCOMPARE(hex_frames(*port_),
                 (QStringList{"02 01 00 02 A0 07 0D",
                              "02 0A 00 02 A1 37 00 7C 00 31 00 36 00 30 00 0D"}));
        QCOMPARE(text1(), QString("7|160"));
    }

    void clock_write_sends_time_and_date_now() {
        type("Text1", "unchanged");
        const QDateTime before = QDateTime::currentDateTime();
        click("Command2_0");  // Tijd/datum zetten
        const QDateTime after = QDateTime::currentDateTime();
        QCOMPARE(text1(), QString("unchanged"));
        QCOMPARE(port_->frames().size(), std::size_t{1});
        const std::string frame = port_->frames()[0];
        QCOMPARE(QString::fromStdString(hex(frame.substr(0, 5))), QString("02 05 00 02 20"));
        const std::string data = frame_data(frame);
        const auto matches = [&](const QDateTime& t) {
            const std::string expected{
                static_cast<char>(t.time().minute()), static_cast<char>(t.time().hour()),
                static_cast<char>(t.date().day()), static_cast<char>(t.date().month()),
                static_cast<char>(t.date().year() % 100)};
            return data == expected;
        };
        QVERIFY2(matches(before) || matches(after), hex(data).c_str());
    }

    // --- Reads ---

    void every_item_button_shows_what_lees_waarde_gives() {
        for (const auto& row : panel::kReadButtons) {
            if (row.form != panel::ReadForm::Item) continue;
            const ReadItem* item = find_read_item(row.item);
            QVERIFY(item);
            std::string data;
            for (int i = 0; i < item->data_bytes; ++i) data += static_cast<char>(0x31 + i);
            const std::string expected = reference_read(row.item, data);
            const std::size_t sent = port_->frames().size();
            type("Text1", "before");
            click(QString("Command3_%1").arg(row.index));
            const std::string request{wire::STX, 0, 0, wire::Read, static_cast<char>(row.item),
                                      wire::CR};
            QCOMPARE(hex_frames(*port_, sent), QStringList{QString::fromStdString(hex(request))});
            QCOMPARE(text1(), QString::fromStdString(expected));
        }
        QVERIFY(messages_.empty());
    }

    void read_results_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("item");
        QTest::addColumn<std::string>("data");
        QTest::addColumn<QString>("point");
        QTest::addColumn<QString>("comma");
        QTest::newRow("Digitale tilt 65535") << 12 << 45 << bytes("FF FF") << "-0.01"
                                             << "-0,01";
        QTest::newRow("Pan hoek 1234") << 22 << 60 << bytes("D2 04") << "123.4"
                                       << "123,4";
        // Counters: the count divided by 100, with its fraction under either separator.
        QTest::newRow("Meterteller 1 12345") << 10 << 43 << bytes("39 30 00 00") << "123.45"
                                             << "123,45";
        QTest::newRow("Meterteller 2 12345") << 11 << 44 << bytes("39 30") << "123.45"
                                             << "123,45";
        QTest::newRow("Software revsie via item 50")
            << 14 << 50 << bytes("01 02 03 04") << " 1: 2: 3: 4"
            << " 1: 2: 3: 4";
        QTest::newRow("Aantal tekst velden") << 1 << 33 << bytes("14") << "20"
                                             << "20";
    }
    void read_results() {
        QFETCH(int, index);
        QFETCH(int, item);
        QFETCH(std::string, data);
        QFETCH(QString, point);
        QFETCH(QString, comma);
        item_data_[item] = data;
        for (const auto& [separator, expected] : {std::pair{'.', point}, std::pair{',', comma}}) {
            const DecimalSeparator host(separator);
            const std::size_t sent = port_->frames().size();
            click(QString("Command3_%1").arg(index));
            QCOMPARE(text1(), expected);
            QCOMPARE(port_->frames().size(), sent + 1);
            QCOMPARE(static_cast<int>(static_cast<unsigned char>(port_->frames()[sent][4])), item);
        }
    }

    void blank_read_buttons_do_nothing() {
        type("Text1", "keep");
        for (int index = 27; index <= 37; ++index) click(QString("Command3_%1").arg(index));
        QVERIFY(port_->frames().empty());
        QCOMPARE(text1(), QString("keep"));
        QVERIFY(seen_.empty());
    }

    void system_text_button_sends_text1_itself() {
        type("Text1", "Hallo");
        click("Command3_38");
        QCOMPARE(hex_frames(*port_),
                 (QStringList{"02 01 00 02 A2 01 0D",
                              "02 0A 00 02 A1 48 00 61 00 6C 00 6C 00 6F 00 0D"}));
        QCOMPARE(text1(), QString("Hallo"));
    }

    // --- Port group and single buttons ---

    void open_uses_the_port_box() {
        close(*de_);
        type("Text6", "3");
        click("Command4_0");
        QVERIFY(port_->PortOpen());
        QCOMPARE(port_->opened_port(), std::int16_t{3});
        QCOMPARE(port_->opened_settings(), std::string("19200,o,8,1"));
        QCOMPARE(port_->opened_handshaking(), 0);
    }

    void open_on_an_open_port_changes_nothing() {
        const std::int16_t in_use = port_->CommPort();
        click("Command7");  // Meldingen wissel: diagnostics on
        type("Text6", "5");
        click("Command4_0");
        QCOMPARE(port_->CommPort(), in_use);
        QCOMPARE(port_->opens(), 1);
        QCOMPARE(messages_, std::vector<std::string>{"Already open"});
    }

    void close_on_a_closed_port_data() {
        QTest::addColumn<bool>("diagnostics");
        QTest::addColumn<int>("messages");
        QTest::newRow("diagnostics on") << true << 1;
        QTest::newRow("diagnostics off") << false << 0;
    }
    void close_on_a_closed_port() {
        QFETCH(bool, diagnostics);
        QFETCH(int, messages);
        close(*de_);
        if (diagnostics) click("Command7");
        click("Command4_1");
        QCOMPARE(messages_.size(), std::size_t(messages));
        if (messages) QCOMPARE(messages_[0], std::string("Already closed"));
        QVERIFY(!port_->PortOpen());
    }

    void bad_port_numbers_are_reported_and_the_panel_goes_on_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<std::string>("message");
        QTest::newRow("no number") << "abc" << error_text(ErrorNumber::TypeMismatch);
        QTest::newRow("beyond 16 bits") << "70000" << error_text(ErrorNumber::Overflow);
    }
    void bad_port_numbers_are_reported_and_the_panel_goes_on() {
        QFETCH(QString, typed);
        QFETCH(std::string, message);
        close(*de_);
        type("Text6", typed);
        click("Command4_0");
        QCOMPARE(messages_, std::vector<std::string>{message});
        QVERIFY(!port_->PortOpen());
        QVERIFY(panel()->isVisible());
        QCOMPARE(enabled_buttons(), all_buttons_);
        type("Text6", "4");
        click("Command4_0");
        QVERIFY(port_->PortOpen());
        QCOMPARE(port_->opened_port(), std::int16_t{4});
    }

    void meldingen_wissel_toggles_diagnostics() {
        click("Command7");
        QCOMPARE(de_->state().meldingen_aan, std::int16_t{-1});
        click("Command7");
        QCOMPARE(de_->state().meldingen_aan, std::int16_t{0});
    }

    void test_lines_fill_sixteen_fields() {
        const int before = seconds_now();
        click("Command5");
        const int after = seconds_now() + 1;
        const auto frames = port_->frames();
        QCOMPARE(frames.size(), std::size_t{32});
        const QRegularExpression line("^Dit is regel ([0-9]+(\\.[0-9]+)?)\xC3\xAF+$");
        double previous = 0;
        for (int n = 1; n <= 16; ++n) {
            const std::string& select = frames[2 * (n - 1)];
            QCOMPARE(QString::fromStdString(hex(select)),
                     QString::fromStdString(
                         hex(std::string{wire::STX, 1, 0, wire::Write, static_cast<char>(160),
                                         static_cast<char>(n), wire::CR})));
            const std::string& text = frames[2 * n - 1];
            QCOMPARE(static_cast<unsigned char>(text[4]), 161);
            const std::string data = frame_data(text);
            QCOMPARE(data.size(), std::size_t{100});  // 50 characters, two bytes each
            std::string characters;
            for (std::size_t i = 0; i < data.size(); i += 2) {
                QCOMPARE(data[i + 1], '\0');
                characters += data[i];
            }
            QCOMPARE(static_cast<unsigned char>(characters.back()), 0xEF);
            const QString shown = QString::fromLatin1(characters.data(), 50);
            const auto match = line.match(shown);
            QVERIFY2(match.hasMatch(), qPrintable(shown));
            const double clock = match.captured(1).toDouble();
            QVERIFY(clock >= previous);
            QVERIFY2(clock >= before && clock <= after, qPrintable(shown));
            previous = clock;
        }
    }

    void closing_and_reopening_restores_initial_texts() {
        for (const auto& row : panel::kEntryBoxes) {
            QLineEdit* entry = box(QString::fromUtf8(row.name.data(), row.name.size()));
            QVERIFY(entry);
            entry->setText("changed");
        }
        click("Command8");  // Sluit venster
        QVERIFY(!panel()->isVisible());
        QVERIFY(port_->PortOpen());  // closing touches neither the port nor the controller

        auto other_port = std::make_shared<ScriptedPort>(clock_);
        auto other = controller_on(other_port);
        open(*other);
        show_panel(other);
        QVERIFY(panel()->isVisible());
        QCOMPARE(panel()->controller(), other);
        for (const auto& row : panel::kEntryBoxes) {
            QCOMPARE(box(QString::fromUtf8(row.name.data(), row.name.size()))->text(),
                     QString::fromUtf8(row.initial.data(), row.initial.size()));
        }
        QCOMPARE(box("Text6")->text(), QString("10"));
        QCOMPARE(text1(), QString("Text1"));

        click("Command1_0");
        QVERIFY(port_->frames().empty());
        QCOMPARE(other_port->frames().size(), std::size_t{1});
    }

    // --- Around a call ---

    void a_click_during_a_read_starts_nothing() {
        item_data_[35] = bytes("03");
        bool clicked = false;
        QTimer::singleShot(0, panel(), [&] {
            QTest::mouseClick(button("Command1_0"), Qt::LeftButton);
            clicked = true;
        });
        click("Command3_3");  // Taal: a read lets events run while it waits
        QVERIFY(clicked);     // the events did run inside the read
        QCOMPARE(port_->frames().size(), std::size_t{1});
        QVERIFY2(messages_.empty(), messages_.empty() ? "" : messages_[0].c_str());
        QCOMPARE(text1(), QString("3"));
        QCOMPARE(enabled_buttons(), all_buttons_);
    }

    void a_member_error_is_shown_and_the_panel_goes_on() {
        type("Text1", "abc");
        click("Command2_16");
        QCOMPARE(messages_, std::vector<std::string>{error_text(ErrorNumber::TypeMismatch)});
        QCOMPARE(text1(), QString("abc|72"));  // built before the member failed
        QVERIFY(port_->frames().empty());
        QCOMPARE(enabled_buttons(), all_buttons_);
        type("Text1", "5");
        click("Command2_16");
        QCOMPARE(hex_frames(*port_), QStringList{"02 01 00 02 48 05 0D"});
    }

    void a_controller_without_port_object_is_reported() {
        auto bare = std::make_shared<clsvyx7>();
        show_panel(bare);
        click("Command1_0");
        QCOMPARE(messages_.size(), std::size_t{1});
        QVERIFY2(messages_[0].starts_with("Error 91: "), messages_[0].c_str());
        QVERIFY(panel()->isVisible());
        QCOMPARE(enabled_buttons(), all_buttons_);
    }

    void messages_appear_in_a_qt_message_box() {
        panel()->set_message_box({});
        close(*de_);
        de_->meldingen();
        QString shown;
        QString title = "unset";
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            shown = box->text();
            title = box->windowTitle();
            box->accept();
        });
        poll.start(5);
        click("Command4_1");  // Close on a closed port
        QCOMPARE(shown, QString("Already closed"));
        QCOMPARE(title, QString());
    }
};

QTEST_MAIN(PanelTest)
#include "panel_test.moc"
