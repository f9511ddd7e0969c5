#include "meter/settings_page.h"

#include "meter/meter_text.h"
#include "ui/field_binding.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace ordan {

void BindRadio(QRadioButton *radio, BoolField &field)
{
    BindState(radio, field);
    auto render = [radio, &field] {
        const QSignalBlocker block(radio);
        radio->setChecked(field.value());
    };
    render();
    QObject::connect(&field, &FieldBase::valueChanged, radio, render);
    QObject::connect(radio, &QAbstractButton::clicked, &field, [&field] { field.edit(true); });
}

void BindMemo(QPlainTextEdit *memo, Field<QStringList> &field)
{
    BindState(memo, field);
    memo->setReadOnly(true);
    auto render = [memo, &field] {
        const QSignalBlocker block(memo);
        memo->setPlainText(field.value().join(QLatin1Char('\n')));
    };
    render();
    QObject::connect(&field, &FieldBase::valueChanged, memo, render);
}

void StyleStatusMemo(QPlainTextEdit *memo)
{
    QPalette palette = memo->palette();
    palette.setColor(QPalette::Base, QColor(255, 251, 240));
    palette.setColor(QPalette::Text, QColor(128, 0, 0));
    memo->setPalette(palette);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

namespace {

QGroupBox *Group(QWidget *page, Container &container, const QString &title)
{
    auto *box = new QGroupBox(title, page);
    BindState(box, container);
    return box;
}

template <typename Layout> Layout *Compact(Layout *layout)
{
    layout->setContentsMargins(2, 1, 2, 2);
    layout->setSpacing(1);
    return layout;
}

QFormLayout *Form()
{
    auto *form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    form->setHorizontalSpacing(4);
    form->setVerticalSpacing(1);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return form;
}

// A caption for a control; it hides with the control.
QLabel *Caption(QWidget *box, const QString &caption, QWidget *control, FieldBase &field)
{
    auto *label = new QLabel(caption, box);
    label->setBuddy(control);
    auto follow = [label, &field] { label->setVisible(field.isVisible()); };
    follow();
    QObject::connect(&field, &FieldBase::stateChanged, label, follow);
    return label;
}

void Row(QFormLayout *form, QWidget *box, const QString &caption, QWidget *control, FieldBase &field)
{
    form->addRow(Caption(box, caption, control, field), control);
}

// Widths are those of the longest text a control shows, in the page's font.
int TextWidth(const QWidget *w, const QString &sample) { return w->fontMetrics().horizontalAdvance(sample); }

QLineEdit *ReadOnlyEdit(QWidget *box, TextField &field, const QString &longest)
{
    auto *edit = new QLineEdit(box);
    Bind(edit, field);
    edit->setReadOnly(true);
    edit->setFixedWidth(TextWidth(edit, longest) + 10);
    return edit;
}

QSpinBox *Spin(QWidget *box, IntField &field, const QString &longest)
{
    auto *spin = new QSpinBox(box);
    Bind(spin, field);
    spin->setFixedWidth(TextWidth(spin, longest) + 28);
    return spin;
}

QCheckBox *Check(QWidget *box, BoolField &field, const QString &caption)
{
    auto *check = new QCheckBox(caption, box);
    Bind(check, field);
    return check;
}

// A column of the page: the boxes top to bottom with their stretch; without any stretch the
// column keeps its boxes at the top.
void AddColumn(QGridLayout *grid, int col, std::initializer_list<std::pair<QWidget *, int>> boxes)
{
    auto *v = new QVBoxLayout;
    v->setSpacing(1);
    bool stretched = false;
    for (const auto &[box, stretch] : boxes) {
        v->addWidget(box, stretch);
        stretched = stretched || stretch != 0;
    }
    if (!stretched)
        v->addStretch();
    grid->addLayout(v, 0, col);
}

} // namespace

SettingsPage::SettingsPage(MeterParameters &model, QWidget *parent) : QWidget(parent), model_(model)
{
    setObjectName(model_.TabSheet1.objectName());
    // Seven groups share a page of about 625 x 360: the window was laid out for 8-point text.
    QFont compact = font();
    compact.setPointSizeF(qMin<qreal>(compact.pointSizeF(), 8));
    setFont(compact);

    // The groups are made column by column, as Tab walks the page; the status, the bottom of
    // the last column, comes last.
    QGroupBox *about = buildAboutMeter();
    QGroupBox *indication = buildIndication();
    QGroupBox *calendar = buildCalendar();
    QGroupBox *write = buildWriteSettings();
    QGroupBox *billing = buildBillingDay();
    QGroupBox *ddm = buildDdmNumbers();
    QGroupBox *status = buildStatus();

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(1, 1, 1, 1);
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(1);
    AddColumn(grid, 0, {{about, 0}, {indication, 0}});
    AddColumn(grid, 1, {{calendar, 0}, {write, 1}});
    AddColumn(grid, 2, {{billing, 0}, {ddm, 0}, {status, 1}});

    hideControlsOfHiddenFields();
    focusSerialNumberOnRequest();
}

// " О счетчике ": the factory number, the new address, the version, the clock and the counters.
QGroupBox *SettingsPage::buildAboutMeter()
{
    MeterParameters &m = model_;
    const Modes &modes = m.modes();
    QGroupBox *about = Group(this, m.GroupBox1, QStringLiteral(" О счетчике "));
    auto *g = Compact(new QGridLayout(about));
    g->setHorizontalSpacing(4);
    QSpinBox *number = Spin(about, m.SpinEdit_Number, QStringLiteral("000000"));
    if (!modes.engineering()) {
        // Only the engineering view may give a meter its factory number.
        number->setReadOnly(true);
        number->setButtonSymbols(QAbstractSpinBox::NoButtons);
        QPalette palette = number->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Window));
        number->setPalette(palette);
    }
    auto *plus = new QPushButton(about);
    Bind(plus, m.BitBtn1);
    plus->setFixedSize(20, number->sizeHint().height());
    auto *numberRow = new QHBoxLayout;
    numberRow->setSpacing(2);
    numberRow->addWidget(number);
    numberRow->addWidget(plus);
    numberRow->addStretch();
    g->addWidget(Caption(about, QStringLiteral("Заводской № :"), number, m.SpinEdit_Number), 0, 0);
    g->addLayout(numberRow, 1, 0);
    QSpinBox *address = Spin(about, m.SpinNewAddr, QStringLiteral("000"));
    g->addWidget(Caption(about, QStringLiteral("Новый адрес:"), address, m.SpinNewAddr), 0, 1);
    g->addWidget(address, 1, 1, Qt::AlignLeft);
    QFormLayout *identity = Form();
    QLineEdit *version = ReadOnlyEdit(about, m.LabeledVersion, QStringLiteral("00.00"));
    Row(identity, about, QStringLiteral("Версия ПО : "), version, m.LabeledVersion);
    QLineEdit *clock = ReadOnlyEdit(about, m.LabeledCurTime, QStringLiteral("00.00.0000 00:00:00"));
    Row(identity, about, QStringLiteral("Время : "), clock, m.LabeledCurTime);
    g->addLayout(identity, 2, 0, 1, 2);
    g->addWidget(Check(about, m.CheckSummer, QStringLiteral("Автопереход на летнее время")), 3, 0, 1, 2);
    QFormLayout *form = Form();
    Row(form, about, QStringLiteral("Время вкл. состояния : "),
        ReadOnlyEdit(about, m.LabeledOff, QStringLiteral("00000:00")), m.LabeledOff);
    Row(form, about, QStringLiteral("Счетчик коррекций : "),
        ReadOnlyEdit(about, m.LabeledNCorrect, QStringLiteral("000")), m.LabeledNCorrect);
    Row(form, about, QStringLiteral("Уход за сутки (сек.) : "),
        ReadOnlyEdit(about, m.LabeledDelta, QStringLiteral("-0000,00")), m.LabeledDelta);
    g->addLayout(form, 4, 0, 1, 2);
    g->setColumnStretch(2, 1);
    auto *raw = new QLineEdit(about);
    Bind(raw, m.EditOff);
    raw->setReadOnly(true);
    return about;
}

// " Индикация ": what the meter's display shows.
QGroupBox *SettingsPage::buildIndication()
{
    MeterParameters &m = model_;
    QGroupBox *indication = Group(this, m.GroupBox4, QStringLiteral(" Индикация "));
    auto *g = Compact(new QGridLayout(indication));
    g->setHorizontalSpacing(4);
    g->addWidget(Check(indication, m.CheckNoIndi, QStringLiteral("Не считывать")), 0, 0, 1, 2);
    g->addWidget(Check(indication, m.CheckBox1, QStringLiteral("Суммарная")), 1, 0);
    g->addWidget(Check(indication, m.CheckBox2, QStringLiteral("На расч. день")), 1, 1);
    g->addWidget(Check(indication, m.CheckBox3, QStringLiteral("Дата")), 2, 0);
    g->addWidget(Check(indication, m.CheckBox4, QStringLiteral("Время")), 2, 1);
    g->setColumnStretch(2, 1);
    return indication;
}

// " Календарь : ": the time and date pickers and the summer-time switch.
QGroupBox *SettingsPage::buildCalendar()
{
    MeterParameters &m = model_;
    QGroupBox *calendar = Group(this, m.GroupCalendar, QStringLiteral(" Календарь : "));
    auto *g = Compact(new QGridLayout(calendar));
    auto *time = new QTimeEdit(calendar);
    time->setDisplayFormat(LongTimeFormat());
    Bind(time, m.TimePicker);
    auto *date = new QDateEdit(calendar);
    date->setDisplayFormat(QStringLiteral("ddd d MMMM yyyy"));
    // The clock frame carries the year in two BCD digits.
    date->setDateRange(DateField::minimumDate(), DateField::maximumDate());
    date->setCalendarPopup(true);
    Bind(date, m.DatePicker);
    g->addWidget(time, 0, 0);
    g->addWidget(date, 1, 0, 1, 2);
    g->addWidget(Check(calendar, m.CheckBoxClock, QStringLiteral("Автопереход на летнее время")), 2, 0, 1, 2);
    g->setColumnStretch(1, 1);
    return calendar;
}

// " Установки для записи ": the passwords and what a write sends.
QGroupBox *SettingsPage::buildWriteSettings()
{
    MeterParameters &m = model_;
    const Modes &modes = m.modes();
    QGroupBox *write = Group(this, m.GroupBox2, QStringLiteral(" Установки для записи "));
    auto *v = Compact(new QVBoxLayout(write));
    QFormLayout *form = Form();
    const QLineEdit::EchoMode echo = modes.passwordsShown() ? QLineEdit::Normal : QLineEdit::Password;
    auto password = [&](TextField &field) {
        auto *edit = new QLineEdit(write);
        Bind(edit, field);
        edit->setMaxLength(5);
        edit->setEchoMode(echo);
        edit->setFixedWidth(TextWidth(edit, QStringLiteral("000000")) + 10);
        return edit;
    };
    QLineEdit *access = password(m.LabeledPass2);
    QLineEdit *fresh = password(m.LabeledPass1);
    fresh->setReadOnly(!modes.passwordEditable());
    Row(form, write, QStringLiteral("Пароль для доступа : "), access, m.LabeledPass2);
    Row(form, write, QStringLiteral("Пароль для записи : "), fresh, m.LabeledPass1);
    v->addLayout(form);
    v->addWidget(Check(write, m.CheckStatus, QStringLiteral("Сброс флага фиксации статуса")));
    v->addWidget(Check(write, m.CheckAddr, QStringLiteral("Записать адрес")));
    v->addWidget(Check(write, m.CheckShedule, QStringLiteral("Записать РДЧ")));
    v->addWidget(Check(write, m.CheckIndi, QStringLiteral("Установить индикацию")));
    v->addWidget(Check(write, m.CheckTime, QStringLiteral("Установить время")));
    v->addWidget(Check(write, m.CheckDDM, QStringLiteral("Записать номера ДДМ")));
    v->addWidget(Check(write, m.CheckPassword, QStringLiteral("Записать новый пароль")));
    v->addWidget(Check(write, m.CheckResetTariff, QStringLiteral("Сброс тарифного расписания")));
    v->addStretch();
    return write;
}

// " РДЧ : ": the billing day and hour.
QGroupBox *SettingsPage::buildBillingDay()
{
    MeterParameters &m = model_;
    QGroupBox *billing = Group(this, m.GroupSchedule, QStringLiteral(" РДЧ : "));
    auto *v = Compact(new QVBoxLayout(billing));
    v->addWidget(Check(billing, m.CheckReadTarif, QStringLiteral("Не считывать")));
    QFormLayout *form = Form();
    Row(form, billing, QStringLiteral("Расчетный день:"), Spin(billing, m.SpinDay, QStringLiteral("00")), m.SpinDay);
    Row(form, billing, QStringLiteral("Расчетный час:"), Spin(billing, m.SpinHour, QStringLiteral("00")), m.SpinHour);
    v->addLayout(form);
    return billing;
}

// " Номера ДДМ ": the ДДМ number of each phase and the time it was set.
QGroupBox *SettingsPage::buildDdmNumbers()
{
    MeterParameters &m = model_;
    QGroupBox *ddm = Group(this, m.GroupBox8, QStringLiteral(" Номера ДДМ "));
    auto *g = Compact(new QGridLayout(ddm));
    g->setVerticalSpacing(0);
    g->setHorizontalSpacing(4);
    g->addWidget(Check(ddm, m.CheckDdmRead, QStringLiteral("Не считывать")), 0, 0, 1, 2);
    const QString captions[3] = {QStringLiteral("ДДМ фазы \"A\":"), QStringLiteral("\"B\":"), QStringLiteral("\"C\":")};
    const QString names[3] = {QStringLiteral("Label10"), QStringLiteral("Label11"), QStringLiteral("Label12")};
    const auto spins = m.ddmSpins();
    const auto labels = m.ddmLabels();
    for (int phase = 0; phase < 3; ++phase) {
        QSpinBox *spin = Spin(ddm, *spins[static_cast<size_t>(phase)], QStringLiteral("00000000"));
        auto *caption = new QLabel(captions[phase], ddm);
        caption->setObjectName(names[phase]);
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        caption->setBuddy(spin);
        auto *stamp = new QLabel(ddm);
        Bind(stamp, *labels[static_cast<size_t>(phase)]);
        stamp->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        g->addWidget(caption, 1 + 2 * phase, 0);
        g->addWidget(spin, 1 + 2 * phase, 1);
        g->addWidget(stamp, 2 + 2 * phase, 0, 1, 2);
        g->setRowMinimumHeight(2 + 2 * phase, stamp->fontMetrics().height());
    }
    return ddm;
}

// " Статус : ": the status memo and which status it shows.
QGroupBox *SettingsPage::buildStatus()
{
    MeterParameters &m = model_;
    QGroupBox *status = Group(this, m.GroupStatus, QStringLiteral(" Статус : "));
    auto *g = Compact(new QGridLayout(status));
    auto *memo = new QPlainTextEdit(status);
    BindMemo(memo, m.Memo1);
    StyleStatusMemo(memo);
    memo->setMinimumHeight(3 * memo->fontMetrics().lineSpacing());
    auto *full = new QRadioButton(QStringLiteral("Полный"), status);
    BindRadio(full, m.RadioTStatus);
    auto *radio = new QRadioButton(QStringLiteral("Радио"), status);
    BindRadio(radio, m.RadioRStatus);
    g->addWidget(memo, 0, 0, 1, 3);
    g->addWidget(full, 1, 0);
    g->addWidget(radio, 1, 1);
    g->setColumnStretch(2, 1);
    g->setRowStretch(0, 1);
    return status;
}

// A control hidden before its page was ever shown must be hidden explicitly, or the page
// would show it along with itself.
void SettingsPage::hideControlsOfHiddenFields()
{
    for (FieldBase *field : model_.TabSheet1.findChildren<FieldBase *>()) {
        if (field->isVisible())
            continue;
        for (QWidget *w : findChildren<QWidget *>(field->objectName()))
            w->hide();
    }
}

// Last step of ClearMeterData: the factory number gets the focus on the active page.
void SettingsPage::focusSerialNumberOnRequest()
{
    connect(&model_, &MeterParameters::serialNumberFocusRequested, this, [this] {
        if (!isVisible())
            return;
        if (auto *number = findChild<QSpinBox *>(model_.SpinEdit_Number.objectName()))
            number->setFocus();
    });
}

} // namespace ordan
