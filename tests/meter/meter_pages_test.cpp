#include "meter/meter_parameters.h"
#include "meter/readings_page.h"
#include "meter/settings_page.h"
#include "meter/status_dialog.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimeEdit>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;

struct MeterPagesTest : ::testing::Test {
    test::LocaleScope locale{QLocale(QLocale::Russian, QLocale::Russia)};
    Modes modes;
    std::unique_ptr<MeterParameters> model;
    std::unique_ptr<SettingsPage> page;

    void build(Modes m = {})
    {
        page.reset();
        modes = m;
        model = std::make_unique<MeterParameters>(modes);
        page = std::make_unique<SettingsPage>(*model);
    }
    template <typename W = QWidget> W *widget(const char *name) const
    {
        return page->findChild<W *>(QLatin1String(name));
    }
};

TEST_F(MeterPagesTest, EveryControlIsThereUnderItsName)
{
    build();
    const char *names[] = {
        "GroupBox1",     "SpinEdit_Number", "BitBtn1",       "SpinNewAddr",  "LabeledVersion",  "LabeledCurTime",
        "CheckSummer",   "LabeledDelta",    "EditOff",       "LabeledOff",   "LabeledNCorrect", "GroupCalendar",
        "TimePicker",    "DatePicker",      "CheckBoxClock", "GroupStatus",  "Memo1",           "RadioTStatus",
        "RadioRStatus",  "GroupBox2",       "LabeledPass2",  "LabeledPass1", "CheckStatus",     "CheckAddr",
        "CheckShedule",  "CheckIndi",       "CheckTime",     "CheckDDM",     "CheckPassword",   "CheckResetTariff",
        "GroupSchedule", "CheckReadTarif",  "SpinDay",       "SpinHour",     "GroupBox4",       "CheckNoIndi",
        "CheckBox1",     "CheckBox2",       "CheckBox3",     "CheckBox4",    "GroupBox8",       "CheckDdmRead",
        "SpinEditA",     "SpinEditB",       "SpinEditC",     "LabelA",       "LabelB",          "LabelC",
        "Label10",       "Label11",         "Label12"};
    for (const char *name : names)
        EXPECT_NE(widget(name), nullptr) << name;
    EXPECT_EQ(widget<QGroupBox>("GroupBox2")->title(), QStringLiteral(" Установки для записи "));
    EXPECT_EQ(widget<QGroupBox>("GroupSchedule")->title(), QStringLiteral(" РДЧ : "));
    EXPECT_EQ(widget<QLabel>("Label10")->text(), QStringLiteral("ДДМ фазы \"A\":"));
    EXPECT_EQ(widget<QCheckBox>("CheckBox2")->text(), QStringLiteral("На расч. день"));
}

TEST_F(MeterPagesTest, FitsTheFixedMainWindow)
{
    for (const Modes &m : {Modes{}, Modes{3, true, true}}) {
        build(m);
        page->show();
        const QSize need = page->minimumSizeHint();
        EXPECT_LE(need.width(), 625) << m.SqlMode;
        EXPECT_LE(need.height(), 360) << m.SqlMode;
    }
}

// Tab walks the groups column by column, each column top to bottom, and never comes back.
TEST_F(MeterPagesTest, TabOrderFollowsTheColumns)
{
    for (bool engineering : {false, true}) {
        Modes m;
        m.ModeFlags = engineering ? 3 : 2;
        m.SqlMode = engineering;
        build(m);
        page->resize(625, 360);
        page->show();
        QStringList groups;
        QWidget *w = page.get();
        do {
            w = w->nextInFocusChain();
            if (!w->isVisible() || !w->isEnabled() || !(w->focusPolicy() & Qt::TabFocus) || w->focusProxy())
                continue;
            QWidget *box = w->parentWidget();
            while (box && !qobject_cast<QGroupBox *>(box))
                box = box->parentWidget();
            const QString group = box ? box->objectName() : QString();
            if (groups.isEmpty() || groups.back() != group)
                groups << group;
        } while (w != page.get());
        EXPECT_EQ(groups, (QStringList{u"GroupBox1"_s, u"GroupBox4"_s, u"GroupCalendar"_s, u"GroupBox2"_s,
                                       u"GroupSchedule"_s, u"GroupBox8"_s, u"GroupStatus"_s}))
            << engineering;
    }
}

TEST_F(MeterPagesTest, OperatorEditsMarkAndStationWritesDoNot)
{
    build();
    auto *day = widget<QSpinBox>("SpinDay");
    day->setValue(12);
    EXPECT_EQ(model->SpinDay.value(), 12);
    EXPECT_EQ(model->SpinDay.mark(), 1);
    model->ClearMeterData();
    model->SpinHour.set(5);
    EXPECT_EQ(widget<QSpinBox>("SpinHour")->value(), 5);
    EXPECT_EQ(model->SpinHour.mark(), 0);
    widget<QCheckBox>("CheckBox3")->click();
    EXPECT_TRUE(model->CheckBox3.value());
    EXPECT_EQ(model->CheckBox3.mark(), 1);
}

TEST_F(MeterPagesTest, ModesDecideWhatIsShownAndEditable)
{
    build();
    page->show();
    EXPECT_TRUE(widget<QSpinBox>("SpinEdit_Number")->isReadOnly());
    EXPECT_FALSE(widget("BitBtn1")->isVisible());
    EXPECT_FALSE(widget("LabeledDelta")->isVisible());
    EXPECT_FALSE(widget("CheckResetTariff")->isVisible());
    EXPECT_FALSE(widget("EditOff")->isVisible());
    EXPECT_FALSE(widget("CheckSummer")->isEnabled());
    EXPECT_EQ(widget<QLineEdit>("LabeledPass1")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(widget<QLineEdit>("LabeledPass2")->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(widget<QLineEdit>("LabeledPass1")->isReadOnly());
    EXPECT_EQ(widget<QLineEdit>("LabeledPass1")->maxLength(), 5);

    build(Modes{1, true, false});
    page->show();
    EXPECT_FALSE(widget<QSpinBox>("SpinEdit_Number")->isReadOnly());
    EXPECT_TRUE(widget("BitBtn1")->isVisible());
    EXPECT_TRUE(widget("LabeledDelta")->isVisible());
    EXPECT_TRUE(widget("CheckResetTariff")->isVisible());
    EXPECT_TRUE(widget<QCheckBox>("CheckAddr")->isChecked());
    EXPECT_EQ(widget<QLineEdit>("LabeledPass1")->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(widget<QLineEdit>("LabeledPass2")->echoMode(), QLineEdit::Normal);
    EXPECT_TRUE(widget<QLineEdit>("LabeledPass1")->isReadOnly()) << "bit 1 clear";

    Modes registry;
    registry.passwordRegistryValue = true;
    build(registry);
    EXPECT_EQ(widget<QLineEdit>("LabeledPass2")->echoMode(), QLineEdit::Normal);
}

TEST_F(MeterPagesTest, DdmLabelsFollowTheVersion)
{
    build();
    page->show();
    model->setExtendedControlsVisible(false);
    EXPECT_FALSE(widget("LabelA")->isVisible());
    model->setExtendedControlsVisible(true);
    EXPECT_TRUE(widget("LabelA")->isVisible());
}

TEST_F(MeterPagesTest, DatePickerShowsTheWeekdayAndKeepsToTheWritableYears)
{
    build();
    auto *date = widget<QDateEdit>("DatePicker");
    model->DatePicker.set(QDate(2026, 3, 9));
    EXPECT_EQ(date->displayFormat(), QStringLiteral("ddd d MMMM yyyy"));
    EXPECT_EQ(date->text(), QStringLiteral("пн 9 марта 2026"));
    EXPECT_EQ(date->minimumDate(), QDate(2000, 1, 1));
    EXPECT_EQ(date->maximumDate(), QDate(2099, 12, 31));
    date->setDate(QDate(2030, 1, 2));
    EXPECT_EQ(model->DatePicker.value(), QDate(2030, 1, 2));
    EXPECT_EQ(model->DatePicker.mark(), 1);
    model->TimePicker.set(QTime(10, 15, 30));
    EXPECT_EQ(widget<QTimeEdit>("TimePicker")->text(), QStringLiteral("10:15:30"));
}

TEST_F(MeterPagesTest, RadioButtonsAndMemo)
{
    build();
    page->show();
    model->Memo1.set({QStringLiteral("a"), QStringLiteral("b")});
    EXPECT_EQ(widget<QPlainTextEdit>("Memo1")->toPlainText(), QStringLiteral("a\nb"));
    widget<QRadioButton>("RadioRStatus")->click();
    EXPECT_TRUE(model->RadioRStatus.value());
    EXPECT_FALSE(model->RadioTStatus.value());
    EXPECT_EQ(model->RadioStatus, -1);
    EXPECT_FALSE(widget<QRadioButton>("RadioTStatus")->isChecked());
    model->StatusWord = 7;
    widget<QRadioButton>("RadioTStatus")->click();
    EXPECT_EQ(model->StatusWord, -1);
    EXPECT_EQ(widget<QPlainTextEdit>("Memo1")->toPlainText(), QStringLiteral("a\nb"));
}

TEST_F(MeterPagesTest, ClearingFocusesTheFactoryNumberOnTheActivePage)
{
    build();
    page->show();
    QApplication::setActiveWindow(page.get());
    widget<QSpinBox>("SpinDay")->setFocus();
    model->ClearMeterData();
    EXPECT_TRUE(widget<QSpinBox>("SpinEdit_Number")->hasFocus());
}

TEST(MeterReadingsPage, GridsAndResetButton)
{
    test::LocaleScope locale(QLocale(QLocale::Russian, QLocale::Russia));
    MeterParameters model{Modes{}};
    int resets = 0;
    model.BitBtn5.setHandler([&] { ++resets; });
    ReadingsPage page(model);
    auto *current = page.findChild<QTableWidget *>(QStringLiteral("GridValue"));
    auto *billing = page.findChild<QTableWidget *>(QStringLiteral("GridValue_1"));
    ASSERT_NE(current, nullptr);
    ASSERT_NE(billing, nullptr);
    EXPECT_EQ(current->rowCount(), 5);
    EXPECT_EQ(current->columnWidth(1), 130);
    EXPECT_EQ(current->rowHeight(2), 16);
    EXPECT_EQ(current->item(0, 1)->text(), QStringLiteral("показания"));
    EXPECT_EQ(billing->item(4, 0)->text(), QStringLiteral("сумма"));
    ReadingsGrid g = model.GridValue.value();
    g[1][1] = QStringLiteral("1,00000");
    model.GridValue.set(g);
    EXPECT_EQ(current->item(1, 1)->text(), QStringLiteral("1,00000"));
    auto *button = page.findChild<QPushButton *>(QStringLiteral("BitBtn5"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QStringLiteral("Сброс показаний на расчетный день"));
    button->click();
    EXPECT_EQ(resets, 1);
    QStringList titles;
    for (QGroupBox *box : page.findChildren<QGroupBox *>())
        titles << box->title();
    EXPECT_TRUE(titles.contains(QStringLiteral(" На расчетный день  ")));
    EXPECT_TRUE(titles.contains(QStringLiteral(" Текущие ")));
    EXPECT_TRUE(titles.contains(QStringLiteral(" Показания ")));
}

TEST(MeterStatusDialog, DecodesWhatIsTyped)
{
    StatusDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Расшифровка  статуса"));
    EXPECT_EQ(dialog.objectName(), QStringLiteral("TFormStatus"));
    EXPECT_TRUE(dialog.fullStatusMemo()->toPlainText().isEmpty());
    dialog.show();
    QSpinBox *full = dialog.fullStatusEdit();
    full->setFocus();
    full->selectAll();
    QTest::keyClicks(full, QStringLiteral("65535"));
    EXPECT_EQ(dialog.fullStatusMemo()->toPlainText(), QStringLiteral("Выключение счетчика"));
    full->selectAll();
    QTest::keyClicks(full, QStringLiteral("-5"));
    EXPECT_EQ(full->text(), QStringLiteral("-5"));
    EXPECT_TRUE(dialog.fullStatusMemo()->toPlainText().isEmpty());
    full->selectAll();
    QTest::keyClicks(full, QStringLiteral("69631")); // 0x10FFF
    EXPECT_EQ(dialog.fullStatusMemo()->toPlainText().split(QLatin1Char('\n')).size(), 6)
        << "above 65535 only bits 0..11 count, never \"Выключение счетчика\"";

    QSpinBox *radio = dialog.radioStatusEdit();
    radio->setFocus();
    radio->selectAll();
    QTest::keyClicks(radio, QStringLiteral("201"));
    EXPECT_EQ(dialog.radioStatusMemo()->toPlainText().split(QLatin1Char('\n')).size(), 4);
    EXPECT_EQ(dialog.findChild<QPushButton *>(QStringLiteral("Button1"))->text(), QStringLiteral("Закрыть"));
}

} // namespace
} // namespace ordan
