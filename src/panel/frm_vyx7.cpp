#include "panel/frm_vyx7.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTime>
#include <QVBoxLayout>
#include <exception>
#include <string_view>
#include <tuple>
#include <type_traits>

#include "platform/conversions.h"
#include "quarn7/error.h"

namespace quarn7::panel {

namespace {

constexpr int kOpenButton = 0;  // Command4: Open, Close
constexpr int kTestLineCount = 16;
constexpr std::size_t kTestLineLength = 50;
constexpr qreal kButtonPoints = 7;
constexpr qreal kValueBoxPoints = 6;

QString qt_text(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string text_of(const QLineEdit* box) {
    return box->text().toStdString();
}

template <class Row, std::size_t N>
const Row* row_of(const Row (&rows)[N], int index) {
    for (const Row& row : rows) {
        if (row.index == index) return &row;
    }
    return nullptr;
}

// A text box handed to a member as an object whose default property is its text, as automation
// hosts hand in theirs.
class TextBoxObject : public Object {
public:
    explicit TextBoxObject(const QLineEdit& box) : box_(box) {}
    Variant default_value() const override { return Variant(text_of(&box_)); }

private:
    const QLineEdit& box_;
};

QVBoxLayout* new_column() {
    auto* column = new QVBoxLayout;
    column->setSpacing(1);
    return column;
}

// Columns side by side in `frame`, each pushed to the top.
std::vector<QVBoxLayout*> add_columns(QGroupBox* frame, int count) {
    auto* row = new QHBoxLayout(frame);
    row->setContentsMargins(4, 2, 4, 4);
    row->setSpacing(4);
    std::vector<QVBoxLayout*> columns;
    for (int c = 0; c < count; ++c) {
        columns.push_back(new_column());
        row->addLayout(columns.back(), 1);
    }
    return columns;
}

}  // namespace

frm_vyx7::frm_vyx7(QWidget* parent) : QWidget(parent) {
    setObjectName("frm_vyx7");
    setWindowTitle("  ");
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
    for (const auto& [box_name, label_name, caption] :
         {std::tuple{"Text1", "Label1", "Weg te sturen tekst"},
          std::tuple{"Text2", "Label2", "Opgebouwd commando"}}) {
        auto* line = new QHBoxLayout;
        line->addWidget(add_box(box_name), 1);
        auto* label = new QLabel(qt_text(caption));
        label->setObjectName(label_name);
        line->addWidget(label);
        line->addStretch(1);
        grid->addLayout(line, row++, 0, 1, 3);
    }
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(1, 1);

    const auto entry = [this](std::string_view name) -> QLineEdit* {
        for (const auto& [box, box_row] : boxes_) {
            if (box_row->name == name) return box;
        }
        return nullptr;
    };
    text1_ = entry("Text1");
    text3_ = entry("Text3");
    text4_ = entry("Text4");
    text6_ = entry("Text6");
    text20_ = entry("Text20");
    text22_ = entry("Text22");
    text23_ = entry("Text23");
    reset_boxes();
}

QPushButton* frm_vyx7::add_button(const QString& caption, const QString& name, int lines) {
    auto* button = new QPushButton(caption);
    button->setObjectName(name);
    button->setFont(button_font_);
    button->setFixedHeight(lines * QFontMetrics(button_font_).height() + 4);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    command_buttons_.push_back(button);
    return button;
}

QLineEdit* frm_vyx7::add_box(std::string_view name) {
    for (const EntryBox& row : kEntryBoxes) {
        if (row.name != name) continue;
        auto* box = new QLineEdit;
        box->setObjectName(qt_text(row.name));
        box->setEnabled(row.enabled);
        if (row.beside_write >= 0) {
            box->setFont(value_box_font_);
            box->setFixedWidth(QFontMetrics(value_box_font_).horizontalAdvance("0000") + 10);
        }
        boxes_.emplace_back(box, &row);
        return box;
    }
    return nullptr;
}

template <class Row, std::size_t N>
void frm_vyx7::add_array(const Row (&rows)[N], const char* array_name,
                         const std::vector<QVBoxLayout*>& columns, void (frm_vyx7::*handler)(int)) {
    auto* group = new QButtonGroup(this);
    group->setObjectName(array_name);
    for (const Row& row : rows) {
        int lines = 1;
        if constexpr (requires { row.lines; }) lines = row.lines;
        QPushButton* button = add_button(qt_text(row.caption),
                                         QString("%1_%2").arg(array_name).arg(row.index), lines);
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
    connect(group, &QButtonGroup::idClicked, this, handler);
}

QGroupBox* frm_vyx7::build_do_group() {
    auto* frame = new QGroupBox("Doe opdrachten");
    frame->setObjectName("Frame1");
    const auto columns = add_columns(frame, 3);
    add_array(kDoButtons, "Command1", columns, &frm_vyx7::do_clicked);
    for (QVBoxLayout* column : columns) column->addStretch(1);
    return frame;
}

QGroupBox* frm_vyx7::build_read_group() {
    auto* frame = new QGroupBox("Lees opdrachten");
    frame->setObjectName("Frame2");
    const auto columns = add_columns(frame, 2);
    add_array(kReadButtons, "Command3", columns, &frm_vyx7::read_clicked);
    for (QVBoxLayout* column : columns) column->addStretch(1);
    return frame;
}

QGroupBox* frm_vyx7::build_write_group() {
    auto* frame = new QGroupBox("Schrijf opdrachten");
    frame->setObjectName("Frame4");
    const auto columns = add_columns(frame, 4);
    add_array(kWriteButtons, "Command2", columns, &frm_vyx7::write_clicked);
    QPushButton* test_lines = add_button("zettekst xy", "Command5");
    connect(test_lines, &QPushButton::clicked, this, &frm_vyx7::write_test_lines);
    columns.back()->addSpacing(6);
    columns.back()->addWidget(test_lines);
    for (QVBoxLayout* column : columns) column->addStretch(1);
    return frame;
}

QWidget* frm_vyx7::build_side_strip() {
    auto* strip = new QWidget;
    auto* grid = new QGridLayout(strip);
    grid->setContentsMargins(0, 0, 0, 0);

    auto* port_group = new QGroupBox;
    port_group->setObjectName("Frame3");
    auto* port_grid = new QGridLayout(port_group);
    auto* port_label = new QLabel("Poort");
    port_label->setObjectName("Label3");
    port_grid->addWidget(port_label, 0, 0);
    port_grid->addWidget(add_box("Text6"), 0, 1);
    auto* port_buttons = new QButtonGroup(this);
    port_buttons->setObjectName("Command4");
    int index = 0;
    for (const char* caption : {"Open", "Close"}) {
        auto* button = new QPushButton(caption);
        button->setObjectName(QString("Command4_%1").arg(index));
        command_buttons_.push_back(button);
        port_buttons->addButton(button, index);
        port_grid->addWidget(button, 1, index);
        ++index;
    }
    connect(port_buttons, &QButtonGroup::idClicked, this, &frm_vyx7::port_clicked);
    grid->addWidget(port_group, 0, 0);

    auto* messages = new QPushButton("Meldingen wissel");
    messages->setObjectName("Command7");
    command_buttons_.push_back(messages);
    connect(messages, &QPushButton::clicked, this,
            [this] { run([this] { objde2_->meldingen(); }); });
    grid->addWidget(messages, 0, 1, Qt::AlignTop);

    auto* close_button = new QPushButton("Sluit venster");
    close_button->setObjectName("Command8");
    command_buttons_.push_back(close_button);
    connect(close_button, &QPushButton::clicked, this, &QWidget::close);
    grid->addWidget(close_button, 1, 0, 1, 2);
    grid->setRowStretch(2, 1);

    int row = 3;
    for (const auto& [label_name, caption, box_name] :
         {std::tuple{"Label4", "X 0-24", "Text3"}, std::tuple{"Label5", "Y 0-16", "Text4"}}) {
        auto* label = new QLabel(caption);
        label->setObjectName(label_name);
        grid->addWidget(label, row, 0, Qt::AlignRight);
        grid->addWidget(add_box(box_name), row, 1);
        ++row;
    }
    return strip;
}

// Never shown: the operator has no way to open it, and its "O.K." only hides it again.
QGroupBox* frm_vyx7::build_options_group() {
    auto* frame = new QGroupBox("Opties");
    frame->setObjectName("Frame5");
    auto* column = new QVBoxLayout(frame);
    auto* options = new QButtonGroup(this);
    options->setObjectName("Option1");
    for (int i = 0; i < kOptionCount; ++i) {
        auto* option = new QRadioButton("Option1");
        option->setObjectName(QString("Option1_%1").arg(i));
        options->addButton(option, i);
        column->addWidget(option);
    }
    auto* ok = new QPushButton("O.K.");
    ok->setObjectName("Command6");
    command_buttons_.push_back(ok);
    connect(ok, &QPushButton::clicked, frame, &QWidget::hide);
    column->addWidget(ok);
    frame->hide();
    return frame;
}

void frm_vyx7::reset_boxes() {
    for (const auto& [box, row] : boxes_) box->setText(qt_text(row->initial));
}

void frm_vyx7::set_controller(std::shared_ptr<clsvyx7> controller) {
    objde2_ = std::move(controller);
    if (!objde2_) return;
    objde2_->set_message_box([this](const std::string& text) { message_box_(text); });
    objde2_->set_event_pump([] { QCoreApplication::processEvents(); });
}

void frm_vyx7::open() {
    if (!isVisible()) reset_boxes();
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

void frm_vyx7::run(const std::function<void()>& work) {
    // Events run during a read; a second call must not start from them.
    busy_ = true;
    std::vector<QPushButton*> held;
    for (QPushButton* button : command_buttons_) {
        if (!button->isEnabled()) continue;
        button->setEnabled(false);
        held.push_back(button);
    }
    std::string failure;
    try {
        if (!objde2_) throw Error(ErrorNumber::ObjectNotSet);
        work();
    } catch (const Error& e) {
        failure = "Error " + std::to_string(e.code()) + ": " + e.description();
    } catch (const std::exception& e) {
        // Nothing may escape into Qt's event loop.
        failure = e.what();
    }
    for (QPushButton* button : held) button->setEnabled(true);
    busy_ = false;
    if (!failure.empty()) message_box_(failure);
}

void frm_vyx7::show_in_text1(const std::string& text) {
    text1_->setText(QString::fromStdString(text));
}

void frm_vyx7::port_clicked(int index) {
    run([&] {
        if (index == kOpenButton) {
            Variant number(Variant(text_of(text6_)).to_integer());
            objde2_->Poort_nummer(number);
            Variant open(true);
            objde2_->OpenClose(open);
        } else {
            Variant close(false);
            objde2_->OpenClose(close);
        }
    });
}

void frm_vyx7::do_clicked(int index) {
    const DoButton* button = row_of(kDoButtons, index);
    if (!button) return;
    text1_->clear();
    run([&] { (objde2_.get()->*switch_member(*button))(); });
}

Variant frm_vyx7::write_argument(const WriteButton& button) {
    const std::string code = std::to_string(button.code);
    std::string built;
    switch (button.form) {
        case WriteForm::Value:
            built = text_of(text1_) + "|" + code;
            break;
        case WriteForm::FieldNumber:
            built = text_of(text22_) + "|" + code;
            break;
        case WriteForm::Window:
            built = text_of(text3_) + "|" + text_of(text4_) + "|" + code;
            break;
        case WriteForm::TextFieldWindow:
            built = text_of(text3_) + "|" + text_of(text4_) + "|" +
                    signed_form(button.code + leading_number(text_of(text20_)));
            break;
        case WriteForm::Clock:
            return Variant(
                QDateTime::currentDateTime().toString("hh:mm:ss|dd-MM-yy").toStdString());
        case WriteForm::Text1:
            return Variant(text_of(text1_));
        case WriteForm::SystemTextField:
            return Variant(text_of(text23_));
    }
    show_in_text1(built);
    return Variant(built);
}

void frm_vyx7::write_clicked(int index) {
    const WriteButton* button = row_of(kWriteButtons, index);
    if (!button) return;
    run([&] {
        Variant argument = write_argument(*button);
        (objde2_.get()->*button->member)(argument);
    });
}

void frm_vyx7::read_clicked(int index) {
    const ReadButton* button = row_of(kReadButtons, index);
    if (!button) return;
    switch (button->form) {
        case ReadForm::Item:
            run([&] {
                Variant tekst(std::int16_t{button->item});
                objde2_->lees_waarde(tekst);
                show_in_text1(tekst.to_text());
            });
            break;
        case ReadForm::Counter:
            run([&] {
                // The members give tenths; the operator reads hundredths, whatever the host's
                // decimal separator.
                const Variant tenths = (objde2_.get()->*button->counter)();
                show_in_text1(Variant(tenths.to_double() / 10).to_text());
            });
            break;
        case ReadForm::SystemText:
            run([&] {
                Variant box(std::make_shared<TextBoxObject>(*text1_));
                objde2_->schrijf_systeemtekstveld(box);
            });
            break;
        case ReadForm::Blank:
            break;
    }
}

void frm_vyx7::write_test_lines() {
    run([&] {
        for (int n = 1; n <= kTestLineCount; ++n) {
            // Each line carries the clock of its own moment.
            const auto seconds =
                static_cast<float>(QTime::currentTime().msecsSinceStartOfDay() / 1000.0);
            std::string line = "Dit is regel" + signed_form(seconds, true);
            const std::size_t head = line.size();
            for (std::size_t i = head; i < kTestLineLength; ++i) line += "ï";
            Variant x(static_cast<std::int16_t>(n));
            Variant y(std::int16_t{1});
            Variant tekst(line);
            objde2_->zettekst_x_y(x, y, tekst);
        }
    });
}

}  // namespace quarn7::panel
