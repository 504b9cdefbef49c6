#include "panel/frm_vyx7.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <string_view>
#include <type_traits>

namespace quarn7::panel {

namespace {

constexpr qreal kButtonPoints = 7;
constexpr qreal kValueBoxPoints = 6;

QString qt_text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

template <class Row, std::size_t N>
const Row& named(const Row (&rows)[N], std::string_view name) {
    for (const Row& row : rows) {
        if (row.name == name) return row;
    }
    return rows[0];  // every name asked for is in its table
}

QString object_name(ButtonArray array, int index) {
    for (const ArrayName& row : kArrayNames) {
        if (row.array != array) continue;
        return row.single ? qt_text(row.name) : QString("%1_%2").arg(qt_text(row.name)).arg(index);
    }
    return {};
}

QString single_caption(ButtonArray array, int index = 0) {
    for (const SingleButton& button : kSingleButtons) {
        if (button.array == array && button.index == index) return qt_text(button.caption);
    }
    return {};
}

// Columns side by side in `frame`, each pushed to the top.
std::vector<QVBoxLayout*> add_columns(QGroupBox* frame, int count) {
    auto* row = new QHBoxLayout(frame);
    row->setContentsMargins(4, 2, 4, 4);
    row->setSpacing(4);
    std::vector<QVBoxLayout*> columns;
    for (int c = 0; c < count; ++c) {
        columns.push_back(new QVBoxLayout);
        columns.back()->setSpacing(1);
        row->addLayout(columns.back(), 1);
    }
    return columns;
}

}  // namespace

frm_vyx7::frm_vyx7(QWidget* parent) : QWidget(parent) {
    setObjectName("frm_vyx7");
    setWindowTitle(qt_text(kWindowTitle));
    button_font_ = font();
    button_font_.setPointSizeF(kButtonPoints);
    value_box_font_ = font();
    value_box_font_.setPointSizeF(kValueBoxPoints);
    set_message_box({});

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->addWidget(build_do_group(), 0, 0);
    grid->addWidget(build_read_group(), 0, 1, 1, 2);
    grid->addWidget(build_write_group(), 1, 0, 1, 2);
    grid->addWidget(build_side_strip(), 1, 2);
    grid->addWidget(build_options_group(), 2, 0);

    int row = 3;
    for (const char* box : {"Text1", "Text2"}) {
        auto* line = new QHBoxLayout;
        line->addWidget(add_box(box), 1);
        line->addWidget(add_label(box));
        line->addStretch(1);
        grid->addLayout(line, row++, 0, 1, 3);
    }
    status_ = new QLabel;
    status_->setObjectName("Status");
    grid->addWidget(status_, row, 0, 1, 3);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(1, 1);
    model_.reset();
}

QPushButton* frm_vyx7::add_button(ButtonArray array, int index, int lines) {
    auto* button = new QPushButton;
    button->setObjectName(object_name(array, index));
    button->setFont(button_font_);
    button->setFixedHeight(lines * QFontMetrics(button_font_).height() + 4);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    command_buttons_.push_back(button);
    return button;
}

QLineEdit* frm_vyx7::add_box(std::string_view name) {
    const EntryBox& row = named(kEntryBoxes, name);
    auto* box = new QLineEdit;
    box->setObjectName(qt_text(row.name));
    box->setEnabled(row.enabled);
    if (row.beside_write >= 0) {
        box->setFont(value_box_font_);
        box->setFixedWidth(QFontMetrics(value_box_font_).horizontalAdvance("0000") + 10);
    }
    connect(box, &QLineEdit::textChanged, this, [this, name = row.name](const QString& text) {
        model_.edit(name, text.toStdString());
    });
    boxes_.emplace(row.name, box);
    return box;
}

QLabel* frm_vyx7::add_label(std::string_view box) {
    for (const Label& row : kLabels) {
        if (row.box != box) continue;
        auto* label = new QLabel(qt_text(row.caption));
        label->setObjectName(qt_text(row.name));
        return label;
    }
    return nullptr;
}

QGroupBox* frm_vyx7::add_frame(std::string_view name) {
    auto* frame = new QGroupBox(qt_text(named(kFrames, name).caption));
    frame->setObjectName(qt_text(name));
    return frame;
}

template <class Row, std::size_t N>
void frm_vyx7::add_array(const Row (&rows)[N], ButtonArray array,
                         const std::vector<QVBoxLayout*>& columns) {
    auto* group = new QButtonGroup(this);
    group->setObjectName(qt_text(array_name(array)));
    for (const Row& row : rows) {
        int lines = 1;
        if constexpr (requires { row.lines; }) lines = row.lines;
        QPushButton* button = add_button(array, row.index, lines);
        button->setText(qt_text(row.caption));
        if constexpr (requires { row.enabled; }) button->setEnabled(row.enabled);
        group->addButton(button, row.index);

        QLineEdit* beside = nullptr;
        if constexpr (std::is_same_v<Row, WriteButton>) {
            for (const EntryBox& box : kEntryBoxes) {
                if (box.beside_write == row.index) beside = add_box(box.name);
            }
        }
        if (beside) {
            auto* pair = new QHBoxLayout;
            pair->setSpacing(2);
            pair->addWidget(button, 1);
            pair->addWidget(beside, 0, Qt::AlignTop);
            columns[row.column]->addLayout(pair);
        } else {
            columns[row.column]->addWidget(button);
        }
    }
    connect(group, &QButtonGroup::idClicked, this,
            [this, array](int id) { model_.click(array, id); });
}

QGroupBox* frm_vyx7::build_do_group() {
    QGroupBox* frame = add_frame("Frame1");
    const auto columns = add_columns(frame, 3);
    add_array(kDoButtons, ButtonArray::Do, columns);
    for (QVBoxLayout* column : columns) column->addStretch(1);
    return frame;
}

QGroupBox* frm_vyx7::build_read_group() {
    QGroupBox* frame = add_frame("Frame2");
    const auto columns = add_columns(frame, 2);
    add_array(kReadButtons, ButtonArray::Read, columns);
    for (QVBoxLayout* column : columns) column->addStretch(1);
    return frame;
}

QGroupBox* frm_vyx7::build_write_group() {
    QGroupBox* frame = add_frame("Frame4");
    const auto columns = add_columns(frame, 4);
    add_array(kWriteButtons, ButtonArray::Write, columns);
    QPushButton* test_lines = add_button(ButtonArray::TestLines, 0);
    test_lines->setText(single_caption(ButtonArray::TestLines));
    connect(test_lines, &QPushButton::clicked, this,
            [this] { model_.click(ButtonArray::TestLines); });
    columns.back()->addSpacing(6);
    columns.back()->addWidget(test_lines);
    for (QVBoxLayout* column : columns) column->addStretch(1);
    return frame;
}

QWidget* frm_vyx7::build_side_strip() {
    auto* strip = new QWidget;
    auto* grid = new QGridLayout(strip);
    grid->setContentsMargins(0, 0, 0, 0);

    QGroupBox* port_group = add_frame("Frame3");
    auto* port_grid = new QGridLayout(port_group);
    port_grid->addWidget(add_label("Text6"), 0, 0);
    port_grid->addWidget(add_box("Text6"), 0, 1);
    auto* port_buttons = new QButtonGroup(this);
    port_buttons->setObjectName(qt_text(array_name(ButtonArray::Port)));
    for (int index : {0, 1}) {
        auto* button = new QPushButton(single_caption(ButtonArray::Port, index));
        button->setObjectName(object_name(ButtonArray::Port, index));
        command_buttons_.push_back(button);
        port_buttons->addButton(button, index);
        port_grid->addWidget(button, 1, index);
    }
    connect(port_buttons, &QButtonGroup::idClicked, this,
            [this](int id) { model_.click(ButtonArray::Port, id); });
    grid->addWidget(port_group, 0, 0);

    auto* messages = new QPushButton(single_caption(ButtonArray::Diagnostics));
    messages->setObjectName(object_name(ButtonArray::Diagnostics, 0));
    command_buttons_.push_back(messages);
    connect(messages, &QPushButton::clicked, this,
            [this] { model_.click(ButtonArray::Diagnostics); });
    grid->addWidget(messages, 0, 1, Qt::AlignTop);

    auto* close_button = new QPushButton(single_caption(ButtonArray::Close));
    close_button->setObjectName(object_name(ButtonArray::Close, 0));
    command_buttons_.push_back(close_button);
    connect(close_button, &QPushButton::clicked, this, &QWidget::close);
    grid->addWidget(close_button, 1, 0, 1, 2);
    grid->setRowStretch(2, 1);

    int row = 3;
    for (const char* box : {"Text3", "Text4"}) {
        grid->addWidget(add_label(box), row, 0, Qt::AlignRight);
        grid->addWidget(add_box(box), row, 1);
        ++row;
    }
    return strip;
}

// Never shown: the operator has no way to open it, and its "O.K." only hides it again.
QGroupBox* frm_vyx7::build_options_group() {
    QGroupBox* frame = add_frame("Frame5");
    auto* column = new QVBoxLayout(frame);
    auto* options = new QButtonGroup(this);
    options->setObjectName(qt_text(kOptionCaption));
    for (int i = 0; i < kOptionCount; ++i) {
        auto* option = new QRadioButton(qt_text(kOptionCaption));
        option->setObjectName(QString("%1_%2").arg(qt_text(kOptionCaption)).arg(i));
        options->addButton(option, i);
        column->addWidget(option);
    }
    auto* ok = new QPushButton(single_caption(ButtonArray::OptionsOk));
    ok->setObjectName(object_name(ButtonArray::OptionsOk, 0));
    command_buttons_.push_back(ok);
    connect(ok, &QPushButton::clicked, frame, &QWidget::hide);
    column->addWidget(ok);
    frame->hide();
    return frame;
}

void frm_vyx7::set_controller(std::shared_ptr<clsvyx7> controller) {
    model_.set_controller(std::move(controller));
}

void frm_vyx7::open() {
    if (!isVisible()) model_.reset();
    show();
    raise();
    activateWindow();
}

void frm_vyx7::set_message_box(MessageBox box) {
    if (box) {
        message_box_ = std::move(box);
        return;
    }
    message_box_ = [this](const std::string& text) {
        QMessageBox message(QMessageBox::NoIcon, QString(), QString::fromStdString(text),
                            QMessageBox::Ok, this);
        message.exec();
    };
}

void frm_vyx7::closeEvent(QCloseEvent* event) {
    event->accept();
    emit closed();
}

void frm_vyx7::text_changed(std::string_view box, const std::string& text) {
    const auto found = boxes_.find(box);
    if (found != boxes_.end()) found->second->setText(QString::fromStdString(text));
}

void frm_vyx7::busy_changed(bool busy) {
    if (!busy) {
        for (QPushButton* button : held_) button->setEnabled(true);
        held_.clear();
        return;
    }
    for (QPushButton* button : command_buttons_) {
        if (!button->isEnabled()) continue;
        button->setEnabled(false);
        held_.push_back(button);
    }
}

void frm_vyx7::status_changed(const std::string& status) {
    if (status_) status_->setText(QString::fromStdString(status));
}

void frm_vyx7::show_message(const std::string& text) {
    message_box_(text);
}

void frm_vyx7::pump_events() {
    QCoreApplication::processEvents();
}

}  // namespace quarn7::panel
