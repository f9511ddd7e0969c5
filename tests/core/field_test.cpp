#include "core/field.h"
#include "core/virtual_timers.h"

#include <gtest/gtest.h>

namespace ordan {
namespace {

TEST(Fields, StationWritesAreNotEditsAndOperatorEditsRunTheHandler)
{
    QObject root;
    IntField day(QStringLiteral("SpinDay"), &root, 1, 1, 31);
    day.markOnEdit();
    int changes = 0;
    QObject::connect(&day, &FieldBase::valueChanged, &root, [&] { ++changes; });
    day.set(40);
    EXPECT_EQ(day.value(), 31) << "limited to the range";
    EXPECT_EQ(day.mark(), 0);
    day.set(31);
    EXPECT_EQ(changes, 1) << "an unchanged value notifies nothing";
    day.edit(5);
    EXPECT_EQ(day.value(), 5);
    EXPECT_EQ(day.mark(), 1);

    IntField ddm(QStringLiteral("SpinEditA"), &root, 0, 0, 0);
    ddm.set(-2);
    EXPECT_EQ(ddm.value(), -2) << "equal minimum and maximum mean no range";
}

TEST(Fields, ClearEditMarksReachesEveryDepth)
{
    Container page(QStringLiteral("TabSheet1"), nullptr);
    Container group(QStringLiteral("GroupSchedule"), &page);
    Container inner(QStringLiteral("Panel7"), &group);
    IntField day(QStringLiteral("SpinDay"), &group, 1, 1, 31);
    BoolField deep(QStringLiteral("CheckDeep"), &inner, false);
    page.setMark(1);
    day.setMark(1);
    deep.setMark(1);
    ClearEditMarks(&page);
    EXPECT_EQ(page.mark(), 0);
    EXPECT_EQ(day.mark(), 0);
    EXPECT_EQ(deep.mark(), 0);
}

TEST(Fields, EnableGroupWalksChildrenAndGreysGridsOnly)
{
    Container group(QStringLiteral("GroupTariff"), nullptr);
    TextField label(QStringLiteral("LabelTime"), &group);
    Field<QStringList> grid(QStringLiteral("StringAttrib"), &group, {}, FieldBase::Kind::Grid);
    Container panel(QStringLiteral("Panel7"), &group);
    BoolField inside(QStringLiteral("BtnInsCel"), &panel, false);
    Field<QStringList> list(QStringLiteral("ListCel"), &group);
    EnableGroup(false, &group);
    EXPECT_TRUE(group.isEnabled()) << "the container itself is left alone";
    EXPECT_FALSE(label.isEnabled());
    EXPECT_FALSE(grid.isEnabled());
    EXPECT_TRUE(grid.isGreyText());
    EXPECT_FALSE(panel.isEnabled());
    EXPECT_FALSE(inside.isEnabled());
    EXPECT_FALSE(list.isGreyText()) << "a plain list keeps its font";
    EnableGroup(true, &group);
    EXPECT_TRUE(inside.isEnabled());
    EXPECT_FALSE(grid.isGreyText());
}

TEST(Fields, DisabledActionDoesNothing)
{
    Action action(QStringLiteral("ActionClose"), nullptr);
    int runs = 0;
    action.setHandler([&] { ++runs; });
    EXPECT_TRUE(action.execute());
    action.setEnabled(false);
    EXPECT_FALSE(action.execute());
    EXPECT_EQ(runs, 1);
}

TEST(VirtualTimers, TicksInOrderWithTheTimersSemantics)
{
    VirtualTimers timers;
    std::vector<std::pair<char, qint64>> ticks;
    auto fast = timers.createTimer(50);
    auto slow = timers.createTimer(100);
    fast->setHandler([&] { ticks.push_back({'f', timers.now()}); });
    slow->setHandler([&] {
        ticks.push_back({'s', timers.now()});
        slow->disable();
    });
    fast->enable();
    slow->enable();
    timers.advance(30);
    fast->enable(); // enabling an enabled timer does not restart it
    timers.advance(70);
    // Equal due times run in the order they were scheduled: slow's tick was set at 0, fast's at 50.
    EXPECT_EQ(ticks, (std::vector<std::pair<char, qint64>>{{'f', 50}, {'s', 100}, {'f', 100}}));
    fast->setInterval(20); // a new interval restarts a running timer
    timers.advance(19);
    EXPECT_EQ(ticks.size(), 3u);
    timers.advance(1);
    EXPECT_EQ(ticks.back(), (std::pair<char, qint64>{'f', 120}));
    fast->disable();
    timers.advance(1000);
    EXPECT_EQ(ticks.size(), 4u);

    int called = 0;
    timers.callAfter(5, [&] { ++called; });
    EXPECT_TRUE(timers.advanceUntil([&] { return called == 1; }, 10));
    EXPECT_EQ(timers.now(), 1125);
}

} // namespace
} // namespace ordan
