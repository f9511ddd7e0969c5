#include "app/main_window.h"
#include "station_fixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTabWidget>
#include <QTest>
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
    template <typename T>
    T *find(const char *name)
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
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
    EXPECT_EQ(w.width(), 633);
    EXPECT_EQ(w.height(), 496);
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
    EXPECT_EQ(rig.station->portNumber(), 3);

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
    rig.station->engine().Shape1.set(Indicator::Red);
    // The tool bar shows its widgets when it lays itself out again.
    EXPECT_TRUE(QTest::qWaitFor([&] { return shape->isVisible(); }, 1000));
    rig.station->engine().Shape1.set(Indicator::Hidden);
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
