#include "app/main_window.h"
#include "station_fixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

namespace ordan {
namespace {

struct WindowRig : test::StationRig {
    std::unique_ptr<MainWindow> window;
    MainWindow &open(bool sqlMarker = false)
    {
        if (sqlMarker) {
            QFile marker(dir.filePath(QStringLiteral("SettingSql.velm")));
            marker.open(QIODevice::WriteOnly);
        }
        make();
        window = std::make_unique<MainWindow>(*station);
        station->FormCreate();
        window->show();
        return *window;
    }
    template <typename T> T *find(const char *name) { return window->findChild<T *>(QString::fromLatin1(name)); }
    QAction *menuItem(const QString &text)
    {
        for (QAction *top : window->menuBar()->actions())
            if (top->menu())
                for (QAction *item : top->menu()->actions()) {
                    if (item->text() == text)
                        return item;
                    if (item->menu())
                        for (QAction *sub : item->menu()->actions())
                            if (sub->text() == text)
                                return sub;
                }
        return nullptr;
    }
};

TEST(MainWindow, FrameSizeCaptionAndStatusBar)
{
    WindowRig rig;
    MainWindow &w = rig.open();
    // 633 x 496 is the client area: the window below its menu bar.
    EXPECT_EQ(w.width(), 633);
    EXPECT_EQ(w.height() - w.menuBar()->height(), 496);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Программирование ОРДАН-04-3ТГ и Велм 732"));
    EXPECT_EQ(w.pages()->count(), 6);
    EXPECT_EQ(w.pages()->tabText(0), QStringLiteral("Установка"));
    EXPECT_EQ(w.pages()->tabText(3), QStringLiteral("Журнал"));
    EXPECT_EQ(w.pages()->currentIndex(), 0);
    auto *panel2 = rig.find<QLabel>("StatusPanel2");
    ASSERT_NE(panel2, nullptr);
    EXPECT_EQ(panel2->text(), QStringLiteral("ОРДАН-КЛВ"));
    for (const char *name : {"ActionConnect", "ActionDisconnect", "ActionSetting", "ActionReset", "ActionOpen",
                             "ActionClose", "ActionFindAddress", "ActionPlusDDM", "ActionMinusDDM"})
        EXPECT_NE(rig.find<QAction>(name), nullptr) << name;
    EXPECT_EQ(rig.find<QAction>("ActionSetting")->shortcut(), QKeySequence(Qt::Key_F12));
    EXPECT_EQ(rig.find<QAction>("ActionFindAddress")->shortcut(), QKeySequence(Qt::Key_F3));
    EXPECT_NE(rig.menuItem(QStringLiteral("В&ыход")), nullptr);
    EXPECT_NE(rig.menuItem(QStringLiteral("&Расшифровка статуса")), nullptr);
}

// Panels 0 and 1 are 250 and 320 px; panel 2 has the rest, and its text fits inside it.
TEST(MainWindow, StatusPanelsKeepTheirWidthsAndTheirTexts)
{
    WindowRig rig;
    MainWindow &w = rig.open();
    QLabel *panels[3] = {rig.find<QLabel>("StatusPanel0"), rig.find<QLabel>("StatusPanel1"),
                         rig.find<QLabel>("StatusPanel2")};
    for (QLabel *p : panels)
        ASSERT_NE(p, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return panels[2]->width() >= 50; }, 1000));
    EXPECT_EQ(panels[0]->width(), 250);
    EXPECT_EQ(panels[1]->width(), 320);
    EXPECT_GE(panels[2]->width(), 50);
    const QRect last(panels[2]->mapTo(&w, QPoint(0, 0)), panels[2]->size());
    EXPECT_LT(last.right(), w.width() - 1) << "a margin before the window edge";
    EXPECT_LE(QFontMetrics(panels[2]->font()).horizontalAdvance(panels[2]->text()),
              panels[2]->contentsRect().width() - 2 * panels[2]->indent());

    // Hints are tooltips: nothing that hovers replaces the panels.
    rig.station->panel().StatusPanel0.set(QStringLiteral("42"));
    for (QAction *action : w.findChildren<QAction *>()) {
        EXPECT_TRUE(action->statusTip().isEmpty()) << action->objectName().toStdString();
    }
    EXPECT_EQ(rig.find<QAction>("ActionConnect")->toolTip(), QStringLiteral("Установить связь"));
    auto *bar = w.findChild<QToolBar *>(QStringLiteral("ToolBar1"));
    ASSERT_NE(bar, nullptr);
    QWidget *connect = bar->widgetForAction(rig.find<QAction>("ActionConnect"));
    ASSERT_NE(connect, nullptr);
    EXPECT_EQ(connect->toolTip(), QStringLiteral("Установить связь"));
    QStatusTipEvent hover(QStringLiteral("Установить связь"));
    QApplication::sendEvent(connect, &hover);
    rig.find<QAction>("ActionSetting")->hover();
    EXPECT_TRUE(w.statusBar()->currentMessage().isEmpty());
    for (QLabel *p : panels)
        EXPECT_TRUE(p->isVisible()) << p->objectName().toStdString();
    EXPECT_EQ(panels[0]->text(), QStringLiteral("42"));
    for (QAction *top : w.menuBar()->actions()) {
        if (top->menu() && top->menu()->title() != QStringLiteral("&?")) {
            EXPECT_TRUE(top->menu()->toolTipsVisible()) << top->menu()->title().toStdString();
        }
    }

    // The open button keeps its own hint however often the action changes.
    QWidget *open = bar->widgetForAction(rig.find<QAction>("ActionOpen"));
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->toolTip(), QStringLiteral("Открыть таблицу"));
    rig.station->ActionOpen.setEnabled(false);
    rig.station->ActionClose.setEnabled(true);
    rig.station->ActionOpen.setEnabled(true);
    rig.station->ActionClose.setEnabled(false);
    EXPECT_EQ(open->toolTip(), QStringLiteral("Открыть таблицу"));
    EXPECT_EQ(rig.find<QAction>("ActionOpen")->toolTip(), QStringLiteral("открыть таблицу"));
}

// Ctrl+A and Ctrl+D reach the DDM actions also from a control that takes those keys itself.
TEST(MainWindow, DdmShortcutsWorkWhateverHasTheFocus)
{
    WindowRig rig;
    MainWindow &w = rig.open(true);
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    auto *a = rig.find<QSpinBox>("SpinEditA");
    auto *b = rig.find<QSpinBox>("SpinEditB");
    auto *access = rig.find<QLineEdit>("LabeledPass2");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(access, nullptr);
    a->setValue(10);
    b->setValue(20);
    const struct {
        QWidget *focus;
        Qt::Key key;
        int a;
    } steps[] = {
        {a, Qt::Key_A, 13}, {a, Qt::Key_A, 16}, {a, Qt::Key_D, 13}, {access, Qt::Key_D, 10}, {access, Qt::Key_A, 13},
    };
    for (const auto &step : steps) {
        step.focus->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return step.focus->hasFocus(); }, 1000));
        QTest::keyClick(step.focus, step.key, Qt::ControlModifier);
        EXPECT_EQ(a->value(), step.a) << step.focus->objectName().toStdString();
        EXPECT_EQ(b->value(), step.a + 10) << step.focus->objectName().toStdString();
    }
}

TEST(MainWindow, LogPageAndDatabaseControlsFollowTheModes)
{
    {
        WindowRig rig;
        MainWindow &w = rig.open();
        EXPECT_EQ(w.pages()->tabText(4), QStringLiteral("Протокол"));
        EXPECT_TRUE(rig.find<QCheckBox>("CheckBox_Terminal")->isChecked());
        EXPECT_TRUE(w.pages()->isTabVisible(1));
        EXPECT_TRUE(w.pages()->isTabVisible(5));
        EXPECT_FALSE(rig.find<QToolButton>("ToolButton11")->isVisible());
        EXPECT_FALSE(rig.find<QToolButton>("ToolButtonFixDb")->isVisible());
        EXPECT_FALSE(rig.find<QAction>("ActionSpoilage")->isEnabled());
    }
    {
        WindowRig rig;
        MainWindow &w = rig.open(true);
        EXPECT_EQ(w.pages()->tabText(4), QStringLiteral("Терминал"));
        EXPECT_FALSE(rig.find<QCheckBox>("CheckBox_Terminal")->isChecked());
        EXPECT_FALSE(w.pages()->isTabVisible(1));
        EXPECT_FALSE(w.pages()->isTabVisible(5));
        EXPECT_TRUE(rig.find<QToolButton>("ToolButton11")->isVisible());
        EXPECT_TRUE(rig.find<QToolButton>("ToolButtonFixDb")->isVisible());
        EXPECT_TRUE(rig.find<QAction>("ActionSpoilage")->isEnabled());
        EXPECT_FALSE(rig.find<QAction>("ActionOpen")->isEnabled());
    }
}

TEST(MainWindow, PortChoiceByComboAndByMenuItem)
{
    WindowRig rig;
    rig.ports.names = {QStringLiteral("COM1"), QStringLiteral("COM3")};
    rig.open();
    auto *combo = rig.find<QComboBox>("ComboPort");
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->currentIndex(), 0);
    QAction *com3 = rig.menuItem(QStringLiteral("COM3"));
    ASSERT_NE(com3, nullptr);
    com3->trigger();
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_TRUE(com3->isChecked());
    EXPECT_EQ(rig.station->panel().portNumber(), 3);

    combo->setCurrentIndex(0);
    Q_EMIT combo->activated(0);
    EXPECT_TRUE(rig.menuItem(QStringLiteral("COM1"))->isChecked());
    EXPECT_FALSE(com3->isChecked());

    rig.menuItem(QStringLiteral("9600"))->trigger();
    EXPECT_EQ(rig.find<QComboBox>("ComboBaud")->currentText(), QStringLiteral("9600"));

    rig.find<QAction>("ActionConnect")->trigger();
    EXPECT_FALSE(combo->isEnabled());
    EXPECT_FALSE(rig.find<QComboBox>("ComboBaud")->isEnabled());
    EXPECT_FALSE(rig.menuItem(QStringLiteral("&Порт"))->isEnabled());
    EXPECT_TRUE(rig.find<QAction>("ActionDisconnect")->isEnabled());
    EXPECT_EQ(rig.line.baud, 9600);
}

TEST(MainWindow, WriteIndicatorFollowsTheEngine)
{
    WindowRig rig;
    rig.open();
    auto *shape = rig.find<QWidget>("Shape1");
    ASSERT_NE(shape, nullptr);
    EXPECT_FALSE(shape->isVisible());
    rig.station->panel().Shape1.set(Indicator::Red);
    // The tool bar shows its widgets when it lays itself out again.
    EXPECT_TRUE(QTest::qWaitFor([&] { return shape->isVisible(); }, 1000));
    rig.station->panel().Shape1.set(Indicator::Hidden);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !shape->isVisible(); }, 1000));
}

TEST(MainWindow, LogPageShowsTheLinesAndKeepsTheCap)
{
    WindowRig rig;
    rig.open();
    auto *memo = rig.window->findChild<QPlainTextEdit *>(QStringLiteral("Memo_Terminal"));
    ASSERT_NE(memo, nullptr);
    for (int i = 0; i < 1600; ++i)
        rig.station->engine().log().message(QString::number(i));
    EXPECT_EQ(memo->document()->blockCount(), 1500);
    EXPECT_EQ(memo->document()->firstBlock().text(), QStringLiteral("100"));
    rig.station->engine().log().clear();
    EXPECT_TRUE(memo->toPlainText().isEmpty());
}

} // namespace
} // namespace ordan
