// The service panel driving the simulated unit over a real pseudo-terminal, as an operator would:
// open the port, switch, write, read back, close.
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "panel/panel.h"
#include "platform/conversions.h"
#include "quarn7/termios_port.h"
#include "quarn7/simulated_unit.h"

using namespace quarn7;
using quarn7::panel::frm_vyx7;

class PanelSimTest : public QObject {
    Q_OBJECT

private:
    frm_vyx7* panel() { return panel::instance(); }
    QLineEdit* box(const char* name) { return panel()->findChild<QLineEdit*>(name); }
    void click(const QString& name) {
        auto* target = panel()->findChild<QPushButton*>(name);
        QVERIFY2(target, qPrintable(name));
        QTest::mouseClick(target, Qt::LeftButton);
    }
    QString text1() { return box("Text1")->text(); }

    std::unique_ptr<sim::SimulatedUnit> unit_;
    std::shared_ptr<TermiosPort> port_;
    std::shared_ptr<clsvyx7> de_;
    std::vector<std::string> messages_;

private slots:
    void initTestCase() {
        set_host_decimal_separator('.');
        panel::install();
        unit_ = sim::SimulatedUnit::Builder().paced(false).build();
        port_ = std::make_shared<TermiosPort>();
        port_->bind(unit_->device_path());
        de_ = std::make_shared<clsvyx7>();
        de_->ComObject(Variant(std::static_pointer_cast<Object>(port_)));

        QElapsedTimer opening;
        opening.start();
        Variant test(std::static_pointer_cast<Object>(de_));
        de_->settings(test);
        QVERIFY(opening.elapsed() < 1000);  // settings returns with the panel up
        QVERIFY(panel()->isVisible());
        panel()->set_message_box([this](const std::string& text) { messages_.push_back(text); });

        QVERIFY(!port_->PortOpen());  // showing the panel opens nothing
        click("Command4_0");          // Open
        QVERIFY(port_->PortOpen());
        QCOMPARE(port_->Settings(), std::string("19200,o,8,1"));
    }

    void cleanupTestCase() {
        click("Command4_1");  // Close
        QVERIFY(!port_->PortOpen());
        panel()->close();
        panel()->set_controller(nullptr);
        de_.reset();
        unit_.reset();
    }

    // One of each kind of button, end to end; what each button sends is panel_test's.
    void buttons_reach_the_unit() {
        click("Command1_0");  // Tijdvenster aan
        QVERIFY(unit_->state().switches.at(32));
        click("Command1_1");  // Tijdvesnter uit
        QVERIFY(!unit_->state().switches.at(32));
        box("Text3")->setText("2");
        box("Text4")->setText("3");
        click("Command2_20");  // Venster klok zetten
        QCOMPARE(unit_->state().windows.at(96), (std::pair{30, 45}));
        box("Text1")->setText("Systeem");
        click("Command3_38");  // schrijf_systeemtekstveld
        QCOMPARE(unit_->state().text_fields.at(1), std::string("Systeem"));
        QVERIFY(messages_.empty());
    }

    void a_counter_written_reads_back_in_hundredths() {
        box("Text1")->setText("12.3");
        click("Command2_2");  // Zet meterteller1: 123 tenths
        QCOMPARE(unit_->state().counter1, std::int64_t{123});
        click("Command3_10");  // Meterteller 1
        QCOMPARE(text1(), QString("1.23"));
    }
};

QTEST_MAIN(PanelSimTest)
#include "panel_sim_test.moc"
