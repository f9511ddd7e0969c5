#include "station_fixture.h"

#include "core/bytes.h"
#include "journals/annual_journal.h"
#include "journals/consumption_journal.h"
#include "link/catalogue.h"
#include "link/frame.h"
#include "link/poll_cycle.h"
#include "meter/meter_panel.h"
#include "meter/password.h"
#include "meter/settings_writer.h"
#include "schedule/schedule_exchange.h"

#include <gtest/gtest.h>

#include <set>

namespace ordan {
namespace {

using test::Hex;
using test::StationRig;

// A request body is a code of the catalogue whose length byte the builder computed (it counts
// the whole body) and is one of the lengths the catalogue gives for that code.
void ExpectCatalogued(const QByteArray &body, const char *what)
{
    const CommandInfo *info = FindCommand(ByteAt(body, 0));
    ASSERT_NE(info, nullptr) << what << ": " << Hex(body).toStdString();
    const quint8 length = ByteAt(body, 1);
    EXPECT_EQ(length, body.size()) << what << ": " << Hex(body).toStdString();
    EXPECT_TRUE(length == info->requestLength || (info->altRequestLength != 0 && length == info->altRequestLength))
        << what << ": " << Hex(body).toStdString();
}

TEST(Protocol, EveryFunctionCodeHasOneCatalogueEntry)
{
    std::set<quint8> codes;
    for (const CommandInfo &info : CommandCatalogue()) {
        EXPECT_TRUE(codes.insert(CodeByte(info.code)).second) << int(CodeByte(info.code));
        EXPECT_EQ(&CommandOf(info.code), &info);
        EXPECT_EQ(FindCommand(CodeByte(info.code)), &info);
        // A refusal must never look like a code of its own.
        EXPECT_LT(CodeByte(info.code), kErrorReplyFlag);
    }
    EXPECT_EQ(codes.size(), 30u);
}

TEST(Protocol, EveryRequestTheStationBuildsIsInTheCatalogue)
{
    for (quint8 step = 0; step <= 10; ++step)
        ExpectCatalogued(PollRequestBody(step), "poll");
    for (const char *password : {"1", "65535", "not a number"})
        ExpectCatalogued(PasswordFrameBody(QString::fromLatin1(password)), "access password");
    for (quint8 month : {0, 11})
        ExpectCatalogued(AnnualJournalRequest(month), "annual journal");
    for (quint8 page : {0, 249})
        ExpectCatalogued(ConsumptionJournalRequest(page), "consumption journal");

    for (int version : {9, 10})
        for (const QByteArray &body : ScheduleReadSequence(version))
            ExpectCatalogued(body, "schedule read");
    TariffSchedule schedule;
    schedule.singleTariff = false;
    schedule.transfers = {TransferEntry{QDate(2026, 5, 11), 1}};
    for (bool singleTariff : {true, false}) {
        schedule.singleTariff = singleTariff;
        const EncodedRequests write = ScheduleWriteSequence(schedule, 10, QStringLiteral("1"));
        ASSERT_TRUE(write.ok()) << write.error().toStdString();
        EXPECT_GE(write.value().size(), 2);
        for (const QByteArray &body : write.value())
            ExpectCatalogued(body, "schedule write");
    }

    // The settings write with every setting ticked, and the billing-day reset.
    StationRig rig;
    Station &s = rig.start();
    s.ActionConnectExecute();
    ASSERT_TRUE(s.engine().isConnected());
    MeterParameters &p = s.meter().parameters();
    p.CheckPassword.edit(true);
    p.LabeledPass1.edit(QStringLiteral("300"));
    p.CheckStatus.edit(true);
    p.SpinEdit_Number.edit(77881);
    p.CheckAddr.edit(true);
    p.CheckShedule.edit(true);
    p.CheckDDM.edit(true);
    p.CheckIndi.edit(true);
    p.CheckResetTariff.set(true);
    MeterHooks hooks;
    hooks.scheduleZonesBody = [&] { return std::optional<QByteArray>(ZoneTableRequest(schedule).value()); };
    const Result<SettingsSequence> settings = BuildSettingsSequence(p, hooks);
    ASSERT_TRUE(settings.ok()) << settings.error().toStdString();
    EXPECT_GE(settings->bodies.size(), 10u);
    for (const QByteArray &body : settings->bodies)
        ExpectCatalogued(body, "settings write");

    const qsizetype before = s.engine().commands().size();
    EXPECT_TRUE(p.BitBtn5.execute());
    ASSERT_EQ(s.engine().commands().size(), before + 2);
    for (qsizetype i = before; i < s.engine().commands().size(); ++i) {
        const QByteArray frame = s.engine().commands().at(i);
        ExpectCatalogued(frame.first(frame.size() - 2), "billing-day reset");
    }
}

TEST(Protocol, EveryCodeTheStationDecodesIsInTheCatalogue)
{
    StationRig rig;
    Station &s = rig.start();
    int decoded = 0;
    for (int code = 0; code < 256; ++code) {
        if (!s.engine().hasDecoder(static_cast<quint8>(code)))
            continue;
        ++decoded;
        EXPECT_NE(FindCommand(static_cast<quint8>(code)), nullptr) << code;
    }
    // The meter panel, the settings write, the schedule and both journals have installed theirs.
    EXPECT_GE(decoded, 26);
}

} // namespace
} // namespace ordan
