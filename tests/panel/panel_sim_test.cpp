// The Qt panel driving the simulated unit over a real pseudo-terminal, as an operator would: the
// shared click table end to end, the status line, a failed open, and a reopened panel.
#include <QtTest>
#include <QtWidgets>

#include "panel/panel.h"
#include "quarn7/simulated_unit.h"
#include "quarn7/termios_port.h"
#include "support/panel_clicks.h"
#include "support/scripted_port.h"

using namespace quarn7;
class PanelSimTest : public QObject {
    Q_OBJECT
    template <class W = QLineEdit>
    W* find(const QString& name) { return panel::instance()->findChild<W*>(name); }
    QString status() { return find<QLabel>("Status")->text(); }
    void click(const QString& name) { find<QPushButton>(name)->click(); }
private slots:
    void an_operator_session_reaches_the_unit() {
        set_host_decimal_separator('.');
        panel::install();
        const auto unit = sim::SimulatedUnit::Builder().paced(false).build();
        const auto port = std::make_shared<TermiosPort>();
        port->bind(unit->device_path());
        const auto de = std::make_shared<clsvyx7>();
        de->ComObject(Variant(std::static_pointer_cast<Object>(port)));
        std::string sent;  // a frame repeated on a busy machine counts once
        de->set_trace([&sent](const TraceEvent& e) {
            const std::string frame = quarn7::testing::hex(e.bytes);
            if (e.direction == TraceEvent::Direction::Out && !sent.ends_with(frame))
                sent += (sent.empty() ? "" : " | ") + frame;
        });
        Variant test(std::static_pointer_cast<Object>(de));
        de->settings(test);  // not modal: it returns (a modal panel would hang the test here)
        QVERIFY(panel::instance()->isVisible() && !port->PortOpen());  // and opens nothing
        const QString line = QString::fromStdString(unit->device_path());
        QCOMPARE(status(), line + " closed");
        click("Command4_0");  // Open
        for (const auto& row : quarn7::testing::kPanelClicks) {
            find("Text1")->setText(QString::fromUtf8(row.text1.data(), row.text1.size()));
            sent.clear();
            click(QString("%1_%2").arg(row.array.data()).arg(row.index));
            QCOMPARE(sent, std::string(row.frames));
            QCOMPARE(find("Text1")->text().toStdString(), std::string(row.shown));
        }
        QCOMPARE(status(), line + " open, last call: acknowledged");
        click("Command4_1");  // Close
        QCOMPARE(status(), line + " closed");

        // A failed open shows the port's own reason in a message box, without a title.
        port->bind("/nonexistent/tty");
        QString shown;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                shown = box->text() + "|" + box->windowTitle(), box->accept();
        });
        poll.start(5);
        click("Command4_0");
        QCOMPARE(shown, QString("Open failed: No such device: /nonexistent/tty|"));

        // Sluit venster; settings again shows the initial texts.
        find("Text6")->setText("3"), find("Text1")->setText("x"), click("Command8");
        QVERIFY(!panel::instance()->isVisible());
        de->settings(test);
        QCOMPARE(find("Text6")->text() + find("Text1")->text(), QString("10Text1"));
        QString enabled;  // the value boxes Text20 to Text25
        for (int box = 20; box <= 25; ++box)
            enabled += find(QString("Text%1").arg(box))->isEnabled() ? '1' : '0';
        QCOMPARE(enabled, QString("111000"));
        QCOMPARE(find<QPushButton>("Command3_19")->text(),
                 QString("Draaihoek in 10") + QChar(0xB0));
        panel::instance()->set_controller(nullptr);
    }
};
QTEST_MAIN(PanelSimTest)
#include "panel_sim_test.moc"
