// Defect registration on a real server (PostgreSQL or SQLite).
#include "central_test_db.h"

#include "meter/meter_panel.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace ordan {
namespace {

class SpoilageTest : public test::CentralStationTest {
protected:
    // The station has identified itself, meter 1001 is on the bench and F4 was pressed.
    void windowShown()
    {
        startStation();
        central().FormActivate();
        meter = db.registerMeter(1001);
        params().SpinEdit_Number.set(1001);
        spoilage().showWindow = [this] {
            ++shown;
            spoilage().FormActivate();
        };
        ASSERT_TRUE(station().ActionSpoilage.execute());
        ASSERT_EQ(shown, 1);
    }

    void type(const QString &code) { spoilage().LabeledEdit2.edit(code); }

    int meter = 0;
    int shown = 0;
};

using ORDAN_CENTRAL_SUITE(SpoilageTest) = SpoilageTest;
#define SPOILAGE_TEST(name) TEST_F(ORDAN_CENTRAL_SUITE(SpoilageTest), name)

SPOILAGE_TEST(F4IsOfferedInDatabaseModeOnly)
{
    startStation();
    EXPECT_TRUE(station().ActionSpoilage.isEnabled());
    EXPECT_TRUE(station().ActionSpoilage.isVisible());
    EXPECT_EQ(station().ActionSpoilage.shortcut(), u"F4"_s);
}

SPOILAGE_TEST(UnregisteredMeterIsRefusedAndTheWindowStaysClosed)
{
    startStation();
    central().FormActivate();
    params().SpinEdit_Number.set(4040);
    spoilage().showWindow = [this] { ++shown; };
    station().ActionSpoilage.execute();
    EXPECT_EQ(shown, 0);
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(lastBox(), u"Ошибка записи|Номер прибора не описан в БД. Установите его."_s);
    EXPECT_EQ(rig.op.boxes[0].icon, BoxIcon::Error);
}

SPOILAGE_TEST(WindowStartsEmptyAndTheButtonFollowsTheCode)
{
    windowShown();
    EXPECT_EQ(spoilage().electroId(), meter);
    EXPECT_EQ(spoilage().LabeledEdit1.value(), u"1001"_s);
    EXPECT_EQ(spoilage().LabeledEdit2.value(), QString());
    EXPECT_FALSE(spoilage().BitBtn1.isEnabled());
    type(u"   \t "_s);
    EXPECT_FALSE(spoilage().BitBtn1.isEnabled()) << "blanks are no code";
    EXPECT_FALSE(spoilage().BitBtn1.execute());
    type(u" 7"_s);
    EXPECT_TRUE(spoilage().BitBtn1.isEnabled());
    type(QString());
    EXPECT_FALSE(spoilage().BitBtn1.isEnabled());
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM spoilage"_s), 0);
}

// spoilage.code holds 64 characters: a longer code would mark the programming unsuccessful
// and then fail to insert its defect. The edit keeps no more than fits.
SPOILAGE_TEST(CodeIsLimitedToTheColumnWidth)
{
    windowShown();
    const int earlier = db.recordElsewhere(meter);
    struct Case {
        QString typed;
        QString stored;
    };
    const QString sixtyFour = QString(63, u'Д') + u'9';
    const QString pasted = QString(64, u'Ж');
    for (const Case &c : {Case{sixtyFour, sixtyFour}, Case{pasted + u"XYZABC"_s, pasted},
                          Case{u"  "_s + QString(70, u'K'), u"  "_s + QString(62, u'K')}}) {
        type(c.typed);
        EXPECT_EQ(spoilage().LabeledEdit2.value(), c.stored.left(kDefectCodeMaxLength));
        ASSERT_TRUE(spoilage().BitBtn1.execute());
        EXPECT_TRUE(rig.op.boxes.empty()) << qPrintable(lastBox());
        EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM spoilage WHERE code = ?"_s, {c.stored.trimmed()}), 1)
            << c.typed.size();
    }
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM spoilage WHERE operation_id = ?"_s, {earlier}), 3);
    // The registration itself refuses a code longer than the column, before any statement.
    EXPECT_FALSE(DefectCodeAcceptable(QString(65, u'x')));
    EXPECT_TRUE(DefectCodeAcceptable(u" "_s + QString(64, u'x') + u" "_s));
    EXPECT_FALSE(
        RegisterDefect(db.station(), StationIdentity{10, test::kPerson, test::kPlant}, meter, QString(65, u'x')).ok());
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM spoilage"_s), 3);
}

SPOILAGE_TEST(NoProgrammingTodayCreatesAnUnsuccessfulOne)
{
    windowShown();
    type(u"  A7 \t"_s);
    ASSERT_TRUE(spoilage().BitBtn1.execute());
    EXPECT_FALSE(spoilage().BitBtn1.isEnabled());
    EXPECT_TRUE(rig.op.boxes.empty()) << qPrintable(lastBox());
    const SqlRows o = db.run(u"SELECT * FROM operation"_s);
    ASSERT_EQ(o.rows.size(), 1u);
    EXPECT_EQ(o.value(0, u"type_id").toInt(), 3);
    EXPECT_EQ(o.value(0, u"success").toInt(), 0);
    EXPECT_EQ(o.value(0, u"plant_id").toInt(), test::kPlant);
    EXPECT_EQ(o.value(0, u"person_id").toInt(), test::kPerson);
    const SqlRows s = db.run(u"SELECT * FROM spoilage"_s);
    ASSERT_EQ(s.rows.size(), 1u);
    EXPECT_EQ(s.value(0, u"code").toString(), u"A7"_s);
    EXPECT_EQ(s.value(0, u"type_id").toInt(), 1);
    EXPECT_EQ(s.value(0, u"electro_id").toInt(), meter);
    EXPECT_EQ(s.value(0, u"person_id").toInt(), test::kPerson);
    EXPECT_EQ(s.value(0, u"operation_id").toInt(), o.value(0, u"operation_id").toInt());
    EXPECT_TRUE(s.value(0, u"date_repair").isNull());
}

SPOILAGE_TEST(ProgrammingEarlierTodayElsewhereIsMarkedUnsuccessful)
{
    windowShown();
    const int earlier = db.recordElsewhere(meter);
    ASSERT_EQ(db.count(u"SELECT success FROM operation WHERE operation_id = ?"_s, {earlier}), 1);
    type(u"B2"_s);
    ASSERT_TRUE(spoilage().BitBtn1.execute());
    EXPECT_EQ(db.count(u"SELECT success FROM operation WHERE operation_id = ?"_s, {earlier}), 0);
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM operation"_s), 1);
    EXPECT_EQ(db.count(u"SELECT operation_id FROM spoilage"_s), earlier);
    EXPECT_EQ(db.count(u"SELECT plant_id FROM operation WHERE operation_id = ?"_s, {earlier}), test::kOtherPlant);
}

SPOILAGE_TEST(TwoRegistrationsInOneShowingShareTheOperation)
{
    windowShown();
    type(u"A7"_s);
    ASSERT_TRUE(spoilage().BitBtn1.execute());
    EXPECT_FALSE(spoilage().BitBtn1.execute()) << "disabled until the code is edited again";
    type(u"B2"_s);
    ASSERT_TRUE(spoilage().BitBtn1.execute());
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM operation"_s), 1);
    EXPECT_EQ(db.count(u"SELECT COUNT(DISTINCT operation_id) FROM spoilage"_s), 1);
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM spoilage"_s), 2);
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM spoilage WHERE code = 'B2'"_s), 1);
}

SPOILAGE_TEST(RegisteredMeterIsUnderRepairForTheNextWrite)
{
    windowShown();
    type(u"A7"_s);
    ASSERT_TRUE(spoilage().BitBtn1.execute());
    station().recordProgramming();
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(lastBox(), u"Ошибка записи в БД|Прибор в ремонте."_s);
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM set_ordan_klv"_s), 0);
    // A meter under repair may get further defects.
    spoilage().showWindow = [this] {
        ++shown;
        spoilage().FormActivate();
    };
    ASSERT_TRUE(station().ActionSpoilage.execute());
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(spoilage().LabeledEdit2.value(), QString());
}

SPOILAGE_TEST(FailureIsReportedWhatWasWrittenStaysAndTheButtonStaysEnabled)
{
    windowShown();
    const int earlier = db.recordElsewhere(meter);
    session->replace = [](const QString &s) {
        return s.startsWith(u"INSERT INTO spoilage"_s) ? test::BreakTable(u"spoilage"_s)(s) : s;
    };
    type(u"A7"_s);
    spoilage().BitBtn1.execute();
    ASSERT_EQ(rig.op.boxes.size(), 1u);
    EXPECT_EQ(rig.op.boxes[0].caption, WindowTitle());
    EXPECT_TRUE(spoilage().BitBtn1.isEnabled());
    EXPECT_EQ(db.count(u"SELECT success FROM operation WHERE operation_id = ?"_s, {earlier}), 0);
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM spoilage"_s), 0);
    session->replace = {};
    ASSERT_TRUE(spoilage().BitBtn1.execute());
    EXPECT_EQ(db.count(u"SELECT COUNT(*) FROM spoilage WHERE operation_id = ?"_s, {earlier}), 1);
}

SPOILAGE_TEST(NormalModeF4DoesNothing)
{
    startStation(false);
    spoilage().showWindow = [this] { ++shown; };
    EXPECT_FALSE(station().ActionSpoilage.execute());
    EXPECT_FALSE(station().ActionSpoilage.isVisible());
    // Even an enabled action does nothing outside database mode.
    station().ActionSpoilage.setEnabled(true);
    station().ActionSpoilage.execute();
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(session->statements, 0);
}

} // namespace
} // namespace ordan
