// The service panel as a Qt window: a view over the panel model. It builds its widgets from the
// panel's tables, forwards clicks and edits to the model and shows what the model reports.
#pragma once

#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "panel/panel_model.h"
#include "quarn7/services.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace quarn7::panel {

class frm_vyx7 : public QWidget, private PanelView {
    Q_OBJECT

public:
    explicit frm_vyx7(QWidget* parent = nullptr);

    // objde2: the controller every button drives. The panel's message box and an event pump that
    // keeps the window painted are installed on it.
    void set_controller(std::shared_ptr<clsvyx7> controller);
    const std::shared_ptr<clsvyx7>& controller() const { return model_.controller(); }

    // Shows the panel and returns at once; after a close every box is back at its initial text.
    void open();

    // Where the panel and its controller show their messages: a Qt message box unless replaced.
    void set_message_box(MessageBox box);

    PanelModel& model() { return model_; }

    // True while a button's call runs (every command button is disabled meanwhile).
    bool busy() const { return model_.busy(); }

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void text_changed(std::string_view box, const std::string& text) override;
    void busy_changed(bool busy) override;
    void status_changed(const std::string& status) override;
    void show_message(const std::string& text) override;
    void pump_events() override;

    template <class Row, std::size_t N>
    void add_array(const Row (&rows)[N], ButtonArray array,
                   const std::vector<QVBoxLayout*>& columns);
    QPushButton* add_button(ButtonArray array, int index, int lines = 1);
    QLineEdit* add_box(std::string_view name);
    QLabel* add_label(std::string_view box);
    QGroupBox* add_frame(std::string_view name);
    QGroupBox* build_do_group();
    QGroupBox* build_read_group();
    QGroupBox* build_write_group();
    QWidget* build_side_strip();
    QGroupBox* build_options_group();

    PanelModel model_{*this};
    MessageBox message_box_;
    QFont button_font_;
    QFont value_box_font_;
    std::vector<QPushButton*> command_buttons_;
    std::vector<QPushButton*> held_;  // the buttons a running call disabled
    std::map<std::string, QLineEdit*, std::less<>> boxes_;
    QLabel* status_ = nullptr;
};

}  // namespace quarn7::panel
