#include "schedule/schedule_page.h"

#include "schedule_fixture.h"

#include <QAbstractItemDelegate>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QSpinBox>
#include <QStyleOptionViewItem>
#include <QTableWidget>
#include <QTest>
#include <QTimeEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;

struct SchedulePageTest : test::ScheduleFixture {
    test::LocaleScope locale{QLocale(QLocale::Russian, QLocale::Russia)};
    std::unique_ptr<SchedulePage> page = std::make_unique<SchedulePage>(model);

    template <typename W = QWidget> W *widget(const char *name) const
    {
        return page->findChild<W *>(QString::fromLatin1(name));
    }
};

TEST_F(SchedulePageTest, ControlsCarryTheirNames)
{
    EXPECT_EQ(page->objectName(), u"TabSchedule"_s);
    for (const char *name :
         {"CheckOneTarif", "BtnReadSchedule", "BtnWriteSchedule", "BtnTemplet",    "GroupTariff",  "ValueListEditor1",
          "LabelTime",     "Picker_Zone0",    "Picker_Zone1",     "Picker_Zone2",  "Picker_Zone3", "Picker_Zone4",
          "Picker_Zone5",  "StringAttrib",    "GroupCel",         "Panel7",        "ComboM",       "SpinD",
          "BtnInsCel",     "BtnDelCel",       "ListCel",          "GroupTransfer", "DTPTrans",     "ComboTrans",
          "BtnInsTrans",   "BtnDelTrans",     "ListTransfer"})
        EXPECT_NE(widget(name), nullptr) << name;
    EXPECT_NE(widget<QCheckBox>("CheckOneTarif"), nullptr);
    EXPECT_EQ(widget<QCheckBox>("CheckOneTarif")->text(), u"Работа по одному тарифу"_s);
    EXPECT_EQ(widget<QPushButton>("BtnReadSchedule")->text(), u"Прочитать"_s);
    EXPECT_EQ(widget<QPushButton>("BtnWriteSchedule")->text(), u"Записать"_s);
    EXPECT_EQ(widget<QPushButton>("BtnTemplet")->text(), u"Восстановить праздники"_s);
    EXPECT_EQ(widget<QPushButton>("BtnInsCel")->text(), u"Добавить"_s);
    EXPECT_EQ(widget<QPushButton>("BtnDelTrans")->text(), u"Удалить"_s);
    EXPECT_EQ(widget<QGroupBox>("GroupTariff")->title(), u" Многотарифный режим "_s);
    EXPECT_EQ(widget<QGroupBox>("GroupCel")->title(), u" Праздники "_s);
    EXPECT_EQ(widget<QGroupBox>("GroupTransfer")->title(), u" Переносы "_s);
    // BtnTemplet is in no group.
    EXPECT_EQ(widget<QGroupBox>("GroupCel")->findChild<QWidget *>(u"BtnTemplet"_s), nullptr);
    EXPECT_EQ(widget<QGroupBox>("GroupTransfer")->findChild<QWidget *>(u"BtnTemplet"_s), nullptr);

    auto *pick = widget<QTimeEdit>("Picker_Zone4");
    EXPECT_EQ(pick->displayFormat(), u"HH:mm"_s);
    EXPECT_EQ(pick->property("tag").toInt(), 4);
    EXPECT_EQ(pick->time(), QTime(17, 30));

    auto *grid = widget<QTableWidget>("StringAttrib");
    ASSERT_EQ(grid->columnCount(), 8);
    ASSERT_EQ(grid->rowCount(), 6);
    EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), u"ПН"_s);
    EXPECT_EQ(grid->horizontalHeaderItem(7)->text(), u"ПР"_s);
    EXPECT_EQ(grid->item(3, 5)->text(), u" + "_s);

    auto *months = widget<QComboBox>("ComboM");
    EXPECT_EQ(months->count(), 12);
    EXPECT_EQ(months->currentText(), u"январь"_s);
    EXPECT_EQ(widget<QComboBox>("ComboTrans")->currentText(), u"понедельник"_s);
    EXPECT_EQ(widget<QComboBox>("ComboTrans")->count(), 8);
    auto *holidays = widget<QTreeWidget>("ListCel");
    EXPECT_EQ(holidays->headerItem()->text(0), u"Месяц"_s);
    EXPECT_EQ(holidays->headerItem()->text(1), u"День"_s);
    ASSERT_EQ(holidays->topLevelItemCount(), 12);
    EXPECT_EQ(holidays->topLevelItem(6)->text(0), u"февраль"_s);
    EXPECT_EQ(holidays->topLevelItem(6)->text(1), u"23"_s);
    EXPECT_EQ(holidays->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(widget<QTreeWidget>("ListTransfer")->headerItem()->text(1), u"По графику"_s);
}

TEST_F(SchedulePageTest, TariffPickListCannotBeTyped)
{
    auto *grid = widget<QTableWidget>("ValueListEditor1");
    ASSERT_EQ(grid->rowCount(), 6);
    EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), u"Зона"_s);
    EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), u"Тариф"_s);
    EXPECT_EQ(grid->item(5, 0)->text(), u"5"_s);
    EXPECT_FALSE(grid->item(2, 0)->flags() & Qt::ItemIsEditable); // the key column is fixed
    EXPECT_EQ(grid->item(2, 1)->text(), u"3"_s);

    const QModelIndex index = grid->model()->index(2, 1);
    QAbstractItemDelegate *delegate = grid->itemDelegateForIndex(index);
    std::unique_ptr<QWidget> editor(delegate->createEditor(grid->viewport(), QStyleOptionViewItem(), index));
    auto *combo = qobject_cast<QComboBox *>(editor.get());
    ASSERT_NE(combo, nullptr);
    EXPECT_FALSE(combo->isEditable());
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0), u"1"_s);
    EXPECT_EQ(combo->itemText(2), u"3"_s);
    delegate->setEditorData(combo, index);
    EXPECT_EQ(combo->currentText(), u"3"_s);
    combo->setCurrentIndex(0);
    delegate->setModelData(combo, grid->model(), index);
    EXPECT_EQ(model.ValueListEditor1.value()[2], u"1"_s);

    // A value from the meter shows as it came.
    model.ValueListEditor1.set({u"1"_s, u"2"_s, u"7"_s, u"2"_s, u"3"_s, u"2"_s});
    EXPECT_EQ(grid->item(2, 1)->text(), u"7"_s);
}

TEST_F(SchedulePageTest, SingleTariffGreysTheGridsAndDisablesTheGroups)
{
    auto greyText = [](QWidget *w) { return w->palette().color(QPalette::Text) == QColor(128, 128, 128); };
    EXPECT_TRUE(greyText(widget("ValueListEditor1")));
    EXPECT_TRUE(greyText(widget("StringAttrib")));
    for (const char *name : {"ValueListEditor1", "Picker_Zone0", "StringAttrib", "LabelTime", "Panel7", "ComboM",
                             "SpinD", "BtnInsCel", "ListCel", "DTPTrans", "BtnInsTrans", "ListTransfer"})
        EXPECT_FALSE(widget(name)->isEnabled()) << name;
    for (const char *name : {"GroupTariff", "GroupCel", "GroupTransfer", "BtnTemplet", "CheckOneTarif"})
        EXPECT_TRUE(widget(name)->isEnabled()) << name;

    widget<QCheckBox>("CheckOneTarif")->click();
    EXPECT_FALSE(model.CheckOneTarif.value());
    EXPECT_EQ(widget("ValueListEditor1")->palette().color(QPalette::Text), QColor(Qt::black));
    EXPECT_EQ(widget("StringAttrib")->palette().color(QPalette::Text), QColor(Qt::black));
    for (const char *name : {"ValueListEditor1", "Picker_Zone5", "StringAttrib", "ComboM", "SpinD", "BtnInsCel",
                             "ListCel", "DTPTrans", "ComboTrans", "BtnInsTrans", "ListTransfer"})
        EXPECT_TRUE(widget(name)->isEnabled()) << name;
    EXPECT_FALSE(widget("BtnDelCel")->isEnabled());

    widget<QCheckBox>("CheckOneTarif")->click();
    EXPECT_FALSE(widget("BtnInsCel")->isEnabled());
    EXPECT_TRUE(widget("BtnTemplet")->isEnabled());
    EXPECT_TRUE(greyText(widget("StringAttrib")));
}

TEST_F(SchedulePageTest, ClickingAGridCellTogglesIt)
{
    model.CheckOneTarif.edit(false);
    page->resize(625, 360);
    page->show();
    auto *grid = widget<QTableWidget>("StringAttrib");
    const QRect cell = grid->visualRect(grid->model()->index(2, 7));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(model.StringAttrib.value()[2], 0x7F);
    EXPECT_TRUE(grid->item(2, 7)->text().isEmpty());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(model.StringAttrib.value()[2], 0xFF);
    EXPECT_EQ(grid->item(2, 7)->text(), u" + "_s);
    // The title row does not toggle.
    auto *header = grid->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
    EXPECT_EQ(model.StringAttrib.value(), TariffSchedule{}.masks);
}

TEST_F(SchedulePageTest, VersionNineHidesTheExtendedSchedule)
{
    page->show();
    const char *extended[] = {"StringAttrib", "GroupCel", "GroupTransfer", "BtnTemplet"};
    for (const char *name : extended)
        EXPECT_TRUE(widget(name)->isVisible()) << name;
    model.applyMeterVersion(9);
    for (const char *name : extended)
        EXPECT_FALSE(widget(name)->isVisible()) << name;
    EXPECT_TRUE(widget("ValueListEditor1")->isVisible());
    EXPECT_TRUE(widget("Picker_Zone0")->isVisible());
    model.applyMeterVersion(10);
    for (const char *name : extended)
        EXPECT_TRUE(widget(name)->isVisible()) << name;
}

TEST_F(SchedulePageTest, ListSelectionDrivesDelete)
{
    model.CheckOneTarif.edit(false);
    auto *list = widget<QTreeWidget>("ListCel");
    list->topLevelItem(1)->setSelected(true);
    list->topLevelItem(4)->setSelected(true);
    list->topLevelItem(9)->setSelected(true);
    EXPECT_EQ(model.holidaySelection(), (QList<int>{1, 4, 9}));
    EXPECT_TRUE(widget("BtnDelCel")->isEnabled());
    widget<QPushButton>("BtnDelCel")->click();
    EXPECT_EQ(list->topLevelItemCount(), 9);
    EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_FALSE(widget("BtnDelCel")->isEnabled());
    EXPECT_EQ(list->topLevelItem(1)->text(1), u"3"_s);
}

TEST_F(SchedulePageTest, AddingThroughTheWidgets)
{
    model.CheckOneTarif.edit(false);
    auto *months = widget<QComboBox>("ComboM");
    months->setCurrentIndex(1);
    Q_EMIT months->activated(1);
    auto *day = widget<QSpinBox>("SpinD");
    EXPECT_EQ(day->maximum(), 29);
    day->setValue(28);
    widget<QPushButton>("BtnInsCel")->click();
    auto *list = widget<QTreeWidget>("ListCel");
    ASSERT_EQ(list->topLevelItemCount(), 13);
    EXPECT_EQ(list->topLevelItem(7)->text(1), u"28"_s);

    auto *date = widget<QDateEdit>("DTPTrans");
    date->setDate(facts.now().date().addDays(-1));
    EXPECT_EQ(date->date(), facts.now().date()); // the floor shows at once
    auto *type = widget<QComboBox>("ComboTrans");
    type->setCurrentIndex(5);
    Q_EMIT type->activated(5);
    widget<QPushButton>("BtnInsTrans")->click();
    auto *transfers = widget<QTreeWidget>("ListTransfer");
    ASSERT_EQ(transfers->topLevelItemCount(), 1);
    EXPECT_EQ(transfers->topLevelItem(0)->text(0), u"08.12.2026"_s);
    EXPECT_EQ(transfers->topLevelItem(0)->text(1), u"суббота"_s);

    auto *picker = widget<QTimeEdit>("Picker_Zone2");
    picker->setTime(QTime(21, 0));
    EXPECT_EQ(widget<QTimeEdit>("Picker_Zone5")->time(), QTime(21, 3));
    EXPECT_EQ(widget<QTableWidget>("ValueListEditor1")->item(5, 1)->text(), u"3"_s);
}

// A typed time is one edit: the later zones follow the finished time, not each digit.
TEST_F(SchedulePageTest, TypedZoneTimeSpreadsOnceFinished)
{
    const struct {
        int zone;
        QString typed;
        QTime starts[6];
        QString lastTariff;
    } cases[] = {
        {2, u"2100"_s, {{0, 0}, {6, 30}, {21, 0}, {21, 1}, {21, 2}, {21, 3}}, u"3"_s},
        {4, u"2359"_s, {{0, 0}, {6, 30}, {8, 30}, {11, 30}, {23, 59}, {20, 30}}, u"2"_s},
        {1, u"0700"_s, {{0, 0}, {7, 0}, {8, 30}, {11, 30}, {17, 30}, {20, 30}}, u"2"_s},
    };
    for (const auto &c : cases) {
        model.setSchedule(TariffSchedule{});
        model.CheckOneTarif.edit(false);
        page->show();
        auto *picker = page->findChild<QTimeEdit *>(u"Picker_Zone"_s + QString::number(c.zone));
        ASSERT_NE(picker, nullptr);
        picker->setFocus();
        picker->setSelectedSection(QDateTimeEdit::HourSection);
        QTest::keyClicks(picker, c.typed);
        ASSERT_EQ(picker->text(), c.starts[c.zone].toString(u"HH:mm"_s)) << c.zone;
        // Nothing spreads while the operator is still typing.
        for (int z = 0; z < 6; ++z) {
            if (z != c.zone) {
                EXPECT_EQ(model.picker(z).value(), InitialZones()[z].start) << c.zone << " " << z;
            }
        }
        QTest::keyClick(picker, Qt::Key_Return);
        for (int z = 0; z < 6; ++z) {
            EXPECT_EQ(model.picker(z).value(), c.starts[z]) << c.zone << " " << z;
            EXPECT_EQ(page->findChild<QTimeEdit *>(u"Picker_Zone"_s + QString::number(z))->time(), c.starts[z])
                << c.zone << " " << z;
        }
        EXPECT_EQ(model.ValueListEditor1.value()[5], c.lastTariff) << c.zone;
    }

    // A step of the arrows is finished at once.
    auto *zone3 = widget<QTimeEdit>("Picker_Zone3");
    model.setSchedule(TariffSchedule{});
    model.CheckOneTarif.edit(false);
    model.setZoneStart(2, QTime(21, 0));
    zone3->setFocus();
    zone3->setSelectedSection(QDateTimeEdit::MinuteSection);
    QTest::keyClick(zone3, Qt::Key_Up);
    EXPECT_EQ(model.picker(3).value(), QTime(21, 2));
    EXPECT_EQ(model.picker(4).value(), QTime(21, 3));
    EXPECT_EQ(model.picker(5).value(), QTime(21, 3)); // already later than 21:02
}

// A holiday the meter holds on a day its month cannot have is listed, so it can be corrected.
TEST_F(SchedulePageTest, HolidayOnAnImpossibleDayIsListed)
{
    model.ListCel.set({});
    model.decodeHoliday(AppendCrc(Bytes({0x26, 0x05, 0x00, 0x31, 0x04})));
    model.decodeHoliday(AppendCrc(Bytes({0x26, 0x05, 0x01, 0x00, 0x13})));
    model.decodeHoliday(AppendCrc(Bytes({0x26, 0x05, 0x02, 0x00, 0x01})));
    auto *list = widget<QTreeWidget>("ListCel");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(0), u"апрель"_s);
    EXPECT_EQ(list->topLevelItem(0)->text(1), u"31"_s);
    EXPECT_EQ(list->topLevelItem(1)->text(0), u"январь"_s);
    EXPECT_EQ(list->topLevelItem(1)->text(1), u"0"_s);
}

TEST_F(SchedulePageTest, ButtonsFollowTheConnection)
{
    EXPECT_FALSE(widget("BtnReadSchedule")->isEnabled());
    EXPECT_FALSE(widget("BtnWriteSchedule")->isEnabled());
    model.setConnected(true);
    EXPECT_TRUE(widget("BtnReadSchedule")->isEnabled());
    EXPECT_TRUE(widget("BtnWriteSchedule")->isEnabled());
    model.setConnected(false);
    EXPECT_FALSE(widget("BtnWriteSchedule")->isEnabled());
}

TEST_F(SchedulePageTest, FitsThePageAreaOfTheMainWindow)
{
    for (int version : {10, 9}) {
        model.applyMeterVersion(version);
        const QSize min = page->minimumSizeHint();
        EXPECT_LE(min.width(), 625) << version;
        EXPECT_LE(min.height(), 360) << version;
    }
    model.applyMeterVersion(10);
    page->resize(625, 360);
    page->show();
    const QRect area = page->rect();
    for (QWidget *w : page->findChildren<QWidget *>()) {
        if (!w->isVisible() || w->objectName().isEmpty() || w->window() != page.get())
            continue;
        const QRect r(w->mapTo(page.get(), QPoint(0, 0)), w->size());
        EXPECT_TRUE(area.contains(r)) << w->objectName().toStdString();
    }
    // Every column and row of both grids is in view.
    for (const char *name : {"ValueListEditor1", "StringAttrib"}) {
        auto *g = widget<QTableWidget>(name);
        EXPECT_LE(g->horizontalHeader()->length(), g->viewport()->width()) << name;
        EXPECT_LE(g->verticalHeader()->length(), g->viewport()->height()) << name;
    }
    // The six pickers line up with the six zone rows.
    auto *grid = widget<QTableWidget>("ValueListEditor1");
    for (int z = 0; z < 6; ++z) {
        auto *pick = page->findChild<QTimeEdit *>(u"Picker_Zone"_s + QString::number(z));
        const int rowTop =
            grid->viewport()->mapTo(page.get(), grid->visualRect(grid->model()->index(z, 0)).topLeft()).y();
        EXPECT_NEAR(pick->mapTo(page.get(), QPoint(0, 0)).y(), rowTop, 3) << z;
    }
}

} // namespace
} // namespace ordan
