// The service panel: one button for nearly every operation of the controller it is given, for
// setting up and testing the overlay unit by hand. It calls only public members of that
// controller, exactly as a host would.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "quarn7/clsvyx7.h"
#include "panel/panel_tables.h"
#include "quarn7/services.h"

class QGroupBox;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace quarn7::panel {

class frm_vyx7 : public QWidget {
    Q_OBJECT

public:
    explicit frm_vyx7(QWidget* parent = nullptr);

    // objde2: the controller every button drives. The panel's message box and an event pump that
    // keeps the window painted are installed on it.
    void set_controller(std::shared_ptr<clsvyx7> controller);
    const std::shared_ptr<clsvyx7>& controller() const { return objde2_; }

    // Shows the panel and returns at once; after a close every box is back at its initial text.
    void open();

    // Where the panel and its controller show their messages: a Qt message box unless replaced.
    void set_message_box(MessageBox box);

    // True while a button's call runs (every command button is disabled meanwhile).
    bool busy() const { return busy_; }

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    template <class Row, std::size_t N>
    void add_array(const Row (&rows)[N], const char* array_name,
                   const std::vector<QVBoxLayout*>& columns, void (frm_vyx7::*handler)(int));
    QPushButton* add_button(const QString& caption, const QString& name, int lines = 1);
    QLineEdit* add_box(std::string_view name);
    QGroupBox* build_do_group();
    QGroupBox* build_read_group();
    QGroupBox* build_write_group();
    QWidget* build_side_strip();
    QGroupBox* build_options_group();
    void reset_boxes();

    // Runs one button's work with every command button disabled; an error raised on the way is
    // shown, and the panel goes on.
    void run(const std::function<void()>& work);
    void show_in_text1(const std::string& text);

    void port_clicked(int index);
    void do_clicked(int index);
    void write_clicked(int index);
    void read_clicked(int index);
    void write_test_lines();
    Variant write_argument(const WriteButton& button);

    std::shared_ptr<clsvyx7> objde2_;
    MessageBox message_box_;
    bool busy_ = false;
    QFont button_font_;
    QFont value_box_font_;
    std::vector<QPushButton*> command_buttons_;
    std::vector<std::pair<QLineEdit*, const EntryBox*>> boxes_;
    QLineEdit* text1_ = nullptr;
    QLineEdit* text3_ = nullptr;
    QLineEdit* text4_ = nullptr;
    QLineEdit* text6_ = nullptr;
    QLineEdit* text20_ = nullptr;
    QLineEdit* text22_ = nullptr;
    QLineEdit* text23_ = nullptr;
};

}  // namespace quarn7::panel
