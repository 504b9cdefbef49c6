// The service panel against a scripted port on a fake clock: what each button calls and puts on
// the line, what it leaves in Text1, and how the panel behaves around a call.
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
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "protocol/read_items.h"
#include "protocol/frame.h"
#include "panel/panel_tables.h"
#include "platform/conversions.h"
#include "quarn7/error.h"
#include "support/scripted_port.h"

using namespace quarn7;
using namespace quarn7::testing;
using quarn7::panel::frm_vyx7;

Q_DECLARE_METATYPE(std::string)

namespace {

QStringList hex_frames(const std::vector<std::string>& frames, std::size_t from = 0) {
    QStringList out;
    for (std::size_t i = from; i < frames.size(); ++i)
        out << QString::fromStdString(hex(frames.at(i)));
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

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

class PanelTest : public QObject {
    Q_OBJECT

private:
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
    QStringList sent(std::size_t from = 0) { return hex_frames(port_->frames(), from); }
    int enabled_buttons() {
        int count = 0;
        for (QPushButton* b : panel()->findChildren<QPushButton*>()) count += b->isEnabled();
        return count;
    }
    // One click: the frames it sent. While its call ran the panel was busy with every button
    // off, and afterwards they are all back (checked at cleanup).
    QStringList click_sends(const QString& name) {
        const std::size_t before = port_->frames().size();
        busy_seen_.clear();
        click(name);
        for (const int enabled : busy_seen_) not_busy_ += enabled != 0;
        not_busy_ += enabled_buttons() != all_buttons_;
        return sent(before);
    }

    // A controller on a scripted port that ACKs every do-command and write and answers every read
    // with item_data_; the panel's controller notes, for each frame, how many buttons were enabled
    // (-1 when the panel did not say it was busy).
    std::shared_ptr<clsvyx7> controller_on(const std::shared_ptr<ScriptedPort>& port,
                                           bool watched = false) {
        auto de = std::make_shared<clsvyx7>();
        de->set_clock(clock_);
        de->ComObject(Variant(std::static_pointer_cast<Object>(port)));
        port->answer_with([this, watched](const std::string& frame) {
            if (watched) busy_seen_.push_back(panel()->busy() ? enabled_buttons() : -1);
            if (frame[3] == wire::Read) {
                return Answer{
                    {1ms, wire::read_reply(item_data_[static_cast<unsigned char>(frame[4])])}};
            }
            return Answer{{1ms, std::string(1, wire::ACK)}};
        });
        open(*de);
        return de;
    }
    static void open(clsvyx7& de, bool yes = true) {
        Variant value(yes);
        de.OpenClose(value);
    }
    static void show_panel(const std::shared_ptr<clsvyx7>& de) {
        Variant test(std::static_pointer_cast<Object>(de));
        de->settings(test);
    }
    // What `call` sends on a controller of its own, and what it leaves in its argument.
    std::vector<std::string> reference(const std::function<void(clsvyx7&)>& call) {
        auto port = std::make_shared<ScriptedPort>(clock_);
        call(*controller_on(port));
        return port->frames();
    }

    FakeClock clock_;
    std::shared_ptr<ScriptedPort> port_;
    std::shared_ptr<clsvyx7> de_;
    std::vector<std::string> messages_;
    std::map<int, std::string> item_data_;
    std::vector<int> busy_seen_;
    int all_buttons_ = 0;
    int not_busy_ = 0;

private slots:
    void initTestCase() { panel::install(); }

    void init() {
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
        panel()->close();
        panel()->set_controller(nullptr);
        de_.reset();
        port_.reset();
    }

    // --- Layout ---

    void arrays_hold_every_index_once() {
        const std::pair<QString, std::size_t> arrays[] = {
            {"Command1", std::size(panel::kDoButtons)},
            {"Command2", std::size(panel::kWriteButtons)},
            {"Command3", std::size(panel::kReadButtons)},
            {"Command4", 2}};
        QCOMPARE(arrays[0].second + arrays[1].second + arrays[2].second, std::size_t{72 + 49 + 40});
        for (const auto& [array, size] : arrays) {
            auto* group = panel()->findChild<QButtonGroup*>(array);
            QVERIFY(group);
            QCOMPARE(group->buttons().size(), qsizetype(size));
            for (int index = 0; index < int(size); ++index) {
                QAbstractButton* member = group->button(index);
                QVERIFY2(member, qPrintable(QString("%1 %2").arg(array).arg(index)));
                QCOMPARE(member->objectName(), QString("%1_%2").arg(array).arg(index));
            }
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
        for (int blank = 27; blank <= 37; ++blank) click(QString("Command3_%1").arg(blank));
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

    // --- Every button of the three arrays, by the panel's own tables ---

    void every_do_button_calls_its_switch_member() {
        // A few by hand, against a table that named the wrong member.
        const std::map<int, QString> by_hand = {
            {0, "02 01 00 00 20 00 0D"},  {15, "02 01 00 00 35 00 0D"},
            {39, "02 01 00 00 50 00 0D"}, {46, "02 01 00 00 7D 00 0D"},
            {55, "02 01 00 00 89 00 0D"}, {57, "02 01 00 00 8C 00 0D"}};
        for (const auto& row : panel::kDoButtons) {
            if (!row.enabled) continue;
            const auto expected =
                reference([&](clsvyx7& de) { (de.*panel::switch_member(row))(); });
            type("Text1", "123");
            const QStringList frames = click_sends(QString("Command1_%1").arg(row.index));
            QCOMPARE(frames, hex_frames(expected));
            if (by_hand.contains(row.index)) QCOMPARE(frames, QStringList{by_hand.at(row.index)});
            QCOMPARE(text1(), QString());
        }
        QVERIFY(messages_.empty());
    }

    // Typed: Text1 5, X 3, Y 4, Text20 2, Text22 7; Text23 keeps its 1.
    void every_write_button_calls_its_member_with_what_the_boxes_build() {
        const std::pair<const char*, const char*> typed[] = {
            {"Text1", "5"}, {"Text3", "3"}, {"Text4", "4"}, {"Text20", "2"}, {"Text22", "7"}};
        // A few by hand, against a table that named the wrong code or member.
        const std::map<int, QString> by_hand = {
            {1, "02 02 00 02 21 05 00 0D"},       {2, "02 04 00 02 23 32 00 00 00 0D"},
            {38, "02 02 00 02 8D 05 00 0D"},      {42, "02 01 00 02 A2 01 0D"},
            {45, "02 03 00 02 24 00 00 05 0D"},   {46, "02 01 00 02 41 05 0D"},
            {48, "02 04 00 02 86 2D 00 3C 00 0D"}};
        for (const auto& row : panel::kWriteButtons) {
            if (row.form == panel::WriteForm::Clock) continue;
            const QString code = QString::number(row.code);
            const std::map<panel::WriteForm, QString> built = {
                {panel::WriteForm::Value, "5|" + code},
                {panel::WriteForm::FieldNumber, "7|" + code},
                {panel::WriteForm::Window, "3|4|" + code},
                {panel::WriteForm::TextFieldWindow, "3|4| " + QString::number(row.code + 2)},
                {panel::WriteForm::Text1, "5"},
                {panel::WriteForm::SystemTextField, "1"}};
            const bool shown = built.at(row.form).contains('|');
            const auto expected = reference([&](clsvyx7& de) {
                Variant argument(built.at(row.form).toStdString());
                (de.*row.member)(argument);
            });
            for (const auto& [name, text] : typed) type(name, text);
            const QStringList frames = click_sends(QString("Command2_%1").arg(row.index));
            QCOMPARE(frames, hex_frames(expected));
            if (by_hand.contains(row.index)) QCOMPARE(frames.last(), by_hand.at(row.index));
            QCOMPARE(text1(), shown ? built.at(row.form) : QString("5"));
        }
        QVERIFY(messages_.empty());
    }

    void every_item_button_shows_what_lees_waarde_gives() {
        for (const auto& row : panel::kReadButtons) {
            if (row.form != panel::ReadForm::Item) continue;
            std::string data;
            for (int i = 0; i < find_read_item(row.item)->data_bytes; ++i) data += char(0x31 + i);
            item_data_[row.item] = data;
            Variant tekst(std::int16_t{row.item});
            const auto expected = reference([&](clsvyx7& de) { de.lees_waarde(tekst); });
            type("Text1", "before");
            QCOMPARE(click_sends(QString("Command3_%1").arg(row.index)), hex_frames(expected));
            QCOMPARE(text1(), QString::fromStdString(tekst.to_text()));
        }
        QVERIFY(messages_.empty());
    }

    // --- Text1 rules ---

    void value_writes_append_to_text1_and_windows_replace_it() {
        type("Text1", "5");
        click("Command2_16");  // Transparantheid overlay 0..70
        QCOMPARE(text1(), QString("5|72"));
        click("Command2_11");  // Contrast overlay 0..63, without retyping
        QCOMPARE(text1(), QString("5|72|66"));
        // The generic member reads only the first two fields: code 72 with value 5 again.
        QCOMPARE(sent(), (QStringList{"02 01 00 02 48 05 0D", "02 01 00 02 48 05 0D"}));
        type("Text3", "10");
        type("Text4", "10");
        click("Command2_21");  // Venster datum zetten
        QCOMPARE(text1(), QString("10|10|97"));
    }

    void text_field_window_code_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text1");
        QTest::addColumn<QString>("frame");
        // clang-format off
        QTest::newRow("field 1") << "1" << "10|10| 107" << "02 04 00 02 6B 96 00 96 00 0D";
        QTest::newRow("field 20") << "20" << "10|10| 126" << "02 04 00 02 7E 96 00 96 00 0D";
        QTest::newRow("leading number") << "3x" << "10|10| 109" << "02 04 00 02 6D 96 00 96 00 0D";
        QTest::newRow("no number") << "x" << "10|10| 106" << "02 04 00 02 6A 96 00 96 00 0D";
        // clang-format on
    }
    void text_field_window_code() {
        QFETCH(QString, field);
        QFETCH(QString, text1);
        QFETCH(QString, frame);
        type("Text20", field);
        click("Command2_27");
        QCOMPARE(this->text1(), text1);
        QCOMPARE(sent(), QStringList{frame});
    }

    void field_choice_then_text_goes_to_that_field() {
        type("Text22", "7");
        click("Command2_40");  // Tekstveld dat beschreven wordt 1..20
        QCOMPARE(text1(), QString("7|160"));
        click("Command2_41");  // Schrijf tekst in tekstveld: the built text itself
        QCOMPARE(sent(), (QStringList{"02 01 00 02 A0 07 0D",
                                      "02 0A 00 02 A1 37 00 7C 00 31 00 36 00 30 00 0D"}));
        QCOMPARE(text1(), QString("7|160"));
        type("Text1", "Hallo");
        click("Command3_38");  // schrijf_systeemtekstveld with the Text1 box itself
        QCOMPARE(sent(2), (QStringList{"02 01 00 02 A2 01 0D",
                                       "02 0A 00 02 A1 48 00 61 00 6C 00 6C 00 6F 00 0D"}));
        QCOMPARE(text1(), QString("Hallo"));
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
        const auto matches = [&](const QDateTime& t) {
            const std::string expected{
                static_cast<char>(t.time().minute()), static_cast<char>(t.time().hour()),
                static_cast<char>(t.date().day()), static_cast<char>(t.date().month()),
                static_cast<char>(t.date().year() % 100)};
            return frame_data(frame) == expected;
        };
        QVERIFY2(matches(before) || matches(after), hex(frame).c_str());
    }

    // The counters show the count divided by 100, with its fraction under either separator.
    void counter_buttons_show_hundredths() {
        item_data_[43] = bytes("39 30 00 00");
        item_data_[44] = bytes("39 30");
        const char saved = host_decimal_separator();
        for (const auto& [index, item] : {std::pair{10, 43}, std::pair{11, 44}}) {
            for (const auto& [separator, expected] : {std::pair{'.', "123.45"}, {',', "123,45"}}) {
                set_host_decimal_separator(separator);
                const QStringList frames = click_sends(QString("Command3_%1").arg(index));
                set_host_decimal_separator(saved);
                QCOMPARE(text1(), QString(expected));
                QCOMPARE(frames,
                         QStringList{QString("02 00 00 01 %1 0D").arg(item, 0, 16).toUpper()});
            }
        }
    }

    // --- Port group and single buttons ---

    void open_uses_the_port_box_and_reports_bad_numbers_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<std::string>("message");
        QTest::newRow("port 3") << "3" << std::string();
        QTest::newRow("no number") << "abc" << error_text(ErrorNumber::TypeMismatch);
        QTest::newRow("beyond 16 bits") << "70000" << error_text(ErrorNumber::Overflow);
    }
    void open_uses_the_port_box_and_reports_bad_numbers() {
        QFETCH(QString, typed);
        QFETCH(std::string, message);
        open(*de_, false);
        type("Text6", typed);
        click("Command4_0");
        if (!message.empty()) {
            QCOMPARE(messages_, std::vector<std::string>{message});
            QVERIFY(!port_->PortOpen());
            QCOMPARE(enabled_buttons(), all_buttons_);
            type("Text6", "3");
            click("Command4_0");
        }
        QVERIFY(port_->PortOpen());
        QCOMPARE(port_->opened_port(), std::int16_t{3});
        QCOMPARE(port_->opened_settings(), std::string("19200,o,8,1"));
        QCOMPARE(port_->opened_handshaking(), 0);
    }

    // Meldingen wissel toggles the diagnostics; only with them on do the port buttons report.
    void port_buttons_report_only_with_diagnostics() {
        const std::int16_t in_use = port_->CommPort();
        type("Text6", "5");
        click("Command4_0");  // open on an open port changes nothing
        click("Command7");
        QCOMPARE(de_->state().meldingen_aan, std::int16_t{-1});
        click("Command4_0");
        click("Command4_1");
        click("Command4_1");
        click("Command7");
        QCOMPARE(de_->state().meldingen_aan, std::int16_t{0});
        click("Command4_1");
        QCOMPARE(port_->CommPort(), in_use);
        QCOMPARE(port_->opens(), 1);
        QVERIFY(!port_->PortOpen());
        QCOMPARE(messages_, (std::vector<std::string>{"Already open", "Already closed"}));
    }

    void test_lines_fill_sixteen_fields() {
        const int before = QTime::currentTime().msecsSinceStartOfDay() / 1000;
        click("Command5");
        const int after = QTime::currentTime().msecsSinceStartOfDay() / 1000 + 1;
        const auto frames = port_->frames();
        QCOMPARE(frames.size(), std::size_t{32});
        const QRegularExpression line("^Dit is regel ([0-9]+(\\.[0-9]+)?)\xC3\xAF+$");
        double previous = 0;
        for (int n = 1; n <= 16; ++n) {
            QCOMPARE(QString::fromStdString(hex(frames[2 * (n - 1)])),
                     QString("02 01 00 02 A0 %1 0D").arg(n, 2, 16, QChar('0')).toUpper());
            const std::string& text = frames[2 * n - 1];
            QCOMPARE(static_cast<unsigned char>(text[4]), 161);
            const std::string data = frame_data(text);
            QCOMPARE(data.size(), std::size_t{100});  // 50 characters, two bytes each
            std::string characters;
            for (std::size_t i = 0; i < data.size(); i += 2) {
                QCOMPARE(data[i + 1], '\0');
                characters += data[i];
            }
            const auto match = line.match(QString::fromLatin1(characters.data(), 50));
            QVERIFY2(match.hasMatch(), characters.c_str());
            const double clock = match.captured(1).toDouble();
            QVERIFY(clock >= previous && clock >= before && clock <= after);
            previous = clock;
        }
    }

    void closing_and_reopening_restores_initial_texts() {
        for (const auto& row : panel::kEntryBoxes) box(qs(row.name))->setText("changed");
        click("Command8");  // Sluit venster
        QVERIFY(!panel()->isVisible());
        QVERIFY(port_->PortOpen());  // closing touches neither the port nor the controller

        auto other_port = std::make_shared<ScriptedPort>(clock_);
        auto other = controller_on(other_port);
        show_panel(other);
        QVERIFY(panel()->isVisible());
        QCOMPARE(panel()->controller(), other);
        for (const auto& row : panel::kEntryBoxes)
            QCOMPARE(box(qs(row.name))->text(), qs(row.initial));
        QCOMPARE(box("Text6")->text(), QString("10"));

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
        QVERIFY(messages_.empty());
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

        show_panel(std::make_shared<clsvyx7>());  // a controller without a port object
        click("Command1_0");
        QCOMPARE(messages_.size(), std::size_t{2});
        QVERIFY2(messages_[1].starts_with("Error 91: "), messages_[1].c_str());
        QVERIFY(panel()->isVisible());
        QCOMPARE(enabled_buttons(), all_buttons_);
    }

    void messages_appear_in_a_qt_message_box() {
        panel()->set_message_box({});
        open(*de_, false);
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
