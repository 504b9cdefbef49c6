// The service panel driving the simulated unit over a real pseudo-terminal, as an operator would.
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include "panel/panel.h"
#include "platform/conversions.h"
#include "quarn7/termios_port.h"
#include "quarn7/simulated_unit.h"

using namespace quarn7;
class PanelSimTest : public QObject {
    Q_OBJECT
    QLineEdit* box(const char* name) { return panel::instance()->findChild<QLineEdit*>(name); }
    void click(const char* name) { panel::instance()->findChild<QPushButton*>(name)->click(); }
private slots:
    void an_operator_session_reaches_the_unit() {
        set_host_decimal_separator('.');
        panel::install();
        const auto unit = sim::SimulatedUnit::Builder().paced(false).build();
        const auto port = std::make_shared<TermiosPort>();
        port->bind(unit->device_path());
        const auto de = std::make_shared<clsvyx7>();
        de->ComObject(Variant(std::static_pointer_cast<Object>(port)));
        Variant test(std::static_pointer_cast<Object>(de));
        de->settings(test);  // not modal: it returns (a modal panel would hang the test here)
        QVERIFY(panel::instance()->isVisible() && !port->PortOpen());  // and opens nothing
        std::vector<std::string> messages;
        panel::instance()->set_message_box([&](const std::string& m) { messages.push_back(m); });
        click("Command4_0");  // Open
        QVERIFY(port->PortOpen() && port->Settings() == "19200,o,8,1");
        click("Command1_0");  // Tijdvenster aan
        QVERIFY(unit->state().switches.at(32));
        box("Text3")->setText("2"), box("Text4")->setText("3"), click("Command2_20");  // klok
        QCOMPARE(unit->state().windows.at(96), (std::pair{30, 45}));
        box("Text1")->setText("12.3"), click("Command2_2");  // Zet meterteller1: 123 tenths
        QCOMPARE(unit->state().counter1, std::int64_t{123});
        click("Command3_10");  // Meterteller 1, shown in hundredths
        QCOMPARE(box("Text1")->text(), QString("1.23"));
        click("Command4_1");  // Close
        QVERIFY(!port->PortOpen() && messages.empty());
        panel::instance()->set_controller(nullptr);
    }
};
QTEST_MAIN(PanelSimTest)
#include "panel_sim_test.moc"
