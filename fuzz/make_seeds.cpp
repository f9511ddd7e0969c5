// Writes the seed corpora of the fuzz targets into DIR/<target>/ (fuzz/corpus in the
// repository): scripts of real exchanges with the simulated meter for the reply path, real
// schedule and journal replies, and settings logs made by the project's own writer.
//
//   fuzz_make_seeds DIR

#include "core/bytes.h"
#include "fuzz_common.h"
#include "journals/journals.h"
#include "link/frame.h"
#include "meter/meter_panel.h"
#include "records/dbf_format.h"
#include "records/dbf_table.h"
#include "records/setting_table.h"
#include "schedule/schedule_exchange.h"
#include "schedule/schedule_model.h"
#include "sim/meter_state.h"
#include "station_rig.h"
#include "support/result_checks.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace ordan::fuzz {
namespace {

bool Save(const QString &dir, const QString &name, const QByteArray &bytes)
{
    QDir().mkpath(dir);
    QFile f(dir + u'/' + name);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(f.fileName()));
        return false;
    }
    return true;
}

// A reply-path script written while a station talks to the simulated meter, in the ops of
// fuzz_reply_path: 2 = valid frame (length, payload), 5 = error reply, 6 = action, 7 = close box.
class Script {
public:
    explicit Script(quint8 switches) : rig_(switches), meter_([this] { return rig_.timers.now(); })
    {
        out_.append(static_cast<char>(switches));
        out_.append('\0'); // bus address 0, the simulated meter's
        rig_.station->panel().SpinAddr.edit(0);
        rig_.station->ActionConnect.execute();
    }

    // Answers the next n requests as the simulated meter does.
    void answer(int n)
    {
        for (int i = 0; i < n; ++i) {
            const QByteArray request = rig_.nextRequest();
            const std::optional<QByteArray> reply = meter_.Answer(request);
            if (!reply || reply->size() < 4)
                continue;
            if (ByteAt(*reply, 0) != ByteAt(request, 0)) {
                out_.append('\x05');
                out_.append(static_cast<char>(ByteAt(*reply, 2)));
                rig_.line.deliver(*reply);
                continue;
            }
            const QByteArray payload = reply->mid(2, reply->size() - 4);
            out_.append('\x02');
            out_.append(static_cast<char>(payload.size()));
            out_.append(payload);
            rig_.line.deliver(*reply);
        }
    }
    void act(quint8 which, const std::function<void(Station &)> &run)
    {
        out_.append('\x06');
        out_.append(static_cast<char>(which));
        run(*rig_.station);
    }
    void closeBox()
    {
        out_.append('\x07');
        rig_.op.closeBox();
    }
    const QByteArray &bytes() const { return out_; }

private:
    Rig rig_;
    SimulatedMeter meter_;
    QByteArray out_;
};

bool ReplySeeds(const QString &dir)
{
    bool ok = true;
    {
        Script s(0x00);
        s.answer(30);
        ok &= Save(dir, QStringLiteral("poll_cycle"), s.bytes());
    }
    {
        Script s(0x01);
        s.answer(6);
        s.act(1, [](Station &st) { st.schedule().BtnReadScheduleClick(); });
        s.answer(40);
        ok &= Save(dir, QStringLiteral("schedule_read"), s.bytes());
    }
    {
        Script s(0x00);
        s.answer(6);
        s.act(1, [](Station &st) { st.schedule().BtnReadScheduleClick(); });
        s.answer(40);
        s.act(2, [](Station &st) { st.schedule().BtnWriteScheduleClick(); });
        s.answer(40);
        s.closeBox();
        ok &= Save(dir, QStringLiteral("schedule_write"), s.bytes());
    }
    {
        Script s(0x00);
        s.answer(6);
        s.act(3, [](Station &st) { st.journals().annual().BitBtn4Click(); });
        s.answer(14);
        ok &= Save(dir, QStringLiteral("annual_journal"), s.bytes());
    }
    {
        Script s(0x00);
        s.answer(6);
        s.act(4, [](Station &st) { st.journals().consumption().BitBtn3Click(); });
        s.answer(24);
        ok &= Save(dir, QStringLiteral("consumption_journal"), s.bytes());
    }
    {
        Script s(0x20); // with a settings log in memory
        s.answer(12);
        s.act(0, [](Station &st) { st.ActionSetting().execute(); });
        s.answer(24);
        s.closeBox();
        s.answer(6);
        ok &= Save(dir, QStringLiteral("settings_write"), s.bytes());
    }
    return ok;
}

// fuzz_schedule_journals entries: selector (0 zones, 1 masks, 2 holiday, 3 transfer,
// 4 annual, 5 consumption), payload length, payload; the replies of the simulated meter.
bool DecoderSeeds(const QString &dir)
{
    qint64 now = 0;
    SimulatedMeter meter([&now] { return now; });
    const auto entry = [&](quint8 selector, const QByteArray &request) {
        const QByteArray reply = meter.Answer(AppendCrc(request)).value_or(QByteArray());
        const QByteArray payload = reply.size() >= 4 ? reply.mid(2, reply.size() - 4) : QByteArray();
        QByteArray out;
        out.append(static_cast<char>(selector));
        out.append(static_cast<char>(payload.size()));
        out.append(payload);
        return out;
    };
    bool ok = true;
    QByteArray schedule(1, '\x01'); // Russian locale
    for (const QByteArray &request : ScheduleReadSequence(10)) {
        const auto code = static_cast<FunctionCode>(ByteAt(request, 0));
        const quint8 selector = code == FunctionCode::ReadZoneTable      ? 0
                                : code == FunctionCode::ReadDayTypeMasks ? 1
                                : code == FunctionCode::ReadHoliday      ? 2
                                                                         : 3;
        schedule.append(entry(selector, request));
    }
    ok &= Save(dir, QStringLiteral("schedule_replies"), schedule);
    QByteArray annual(1, '\x00');
    for (quint8 m = 0; m < 12; ++m)
        annual.append(entry(4, AnnualJournalRequest(m)));
    ok &= Save(dir, QStringLiteral("annual_replies"), annual);
    QByteArray consumption(1, '\x02');
    for (quint8 p = 0; p < 24; ++p)
        consumption.append(entry(5, ConsumptionJournalRequest(p)));
    ok &= Save(dir, QStringLiteral("consumption_replies"), consumption);
    // Zones as a multi-tariff write sends them, read back as a reply of code 8.
    ZoneTable zones = InitialZones();
    for (int z = 0; z < kZoneCount; ++z)
        zones[z] = {QTime(z * 4, 30), QString::number(1 + z % 3)};
    const EncodedRequest written = ZoneTableRequest(false, zones);
    QByteArray own(1, '\x03');
    own.append('\x00');
    own.append(static_cast<char>(written.value().size() - 2));
    own.append(written.value().mid(2));
    ok &= Save(dir, QStringLiteral("zones_multi_tariff"), own);
    return ok;
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

LocalRow Row(int n)
{
    LocalRow row;
    row.insert(QStringLiteral("c_number"), 1000000.0 + n);
    row.insert(QStringLiteral("version"), QStringLiteral("10.3"));
    row.insert(QStringLiteral("address"), n);
    row.insert(QStringLiteral("status"), 0.0);
    row.insert(QStringLiteral("c_date"), QDate(2026, 12, 8));
    row.insert(QStringLiteral("c_time"), QStringLiteral("10:15:30"));
    row.insert(QStringLiteral("summer"), n % 2 == 0);
    row.insert(QStringLiteral("t_1_c"), 12.5 * n);
    row.insert(QStringLiteral("date_rec"), QDate(2026, 12, 9));
    row.insert(QStringLiteral("time_rec"), QStringLiteral("13:17"));
    row.insert(QStringLiteral("zone_0"), 1);
    row.insert(QStringLiteral("time_0"), QTime(7, 0));
    return row;
}

// A small level 7 table laid out by hand: C, binary I, '@' time stamp and L fields.
QByteArray Level7Table()
{
    struct F {
        const char *name;
        char type;
        int length;
    };
    const F fields[] = {{"VERSION", 'C', 5}, {"ADDRESS", 'I', 4}, {"DATE_REC", '@', 8}, {"SUMMER", 'L', 1}};
    const int recordLength = 1 + 5 + 4 + 8 + 1;
    const int headerLength = 68 + 48 * 4 + 1;
    QByteArray h(68, '\0');
    h[0] = 0x04;
    h[1] = 126;
    h[2] = 12;
    h[3] = 9;
    h[4] = 1; // one record
    h[8] = static_cast<char>(headerLength & 0xFF);
    h[9] = static_cast<char>(headerLength >> 8);
    h[10] = static_cast<char>(recordLength);
    for (const F &f : fields) {
        QByteArray d(48, '\0');
        d.replace(0, static_cast<qsizetype>(qstrlen(f.name)), f.name);
        d[32] = f.type;
        d[33] = static_cast<char>(f.length);
        h.append(d);
    }
    h.append('\x0D');
    // One record: "10.3 ", 17 with the sign bit flipped as level 7 stores it, a time stamp, true.
    QByteArray r(" 10.3 ");
    r.append(Bytes({0x80, 0x00, 0x00, 0x11}));
    r.append(Bytes({0x42, 0xCC, 0xB2, 0x6B, 0x35, 0x6E, 0x40, 0x00}));
    r.append('T');
    h.append(r);
    h.append(dbf::kEndOfFile);
    return h;
}

bool TableSeeds(const QString &dir)
{
    QTemporaryDir work;
    if (!work.isValid())
        return false;
    bool ok = true;
    QString error;
    const QString empty = work.filePath(QStringLiteral("empty.dbf"));
    ok &= Succeeded(CreateSettingTable(empty), error);
    ok &= Save(dir, QStringLiteral("setting_empty.dbf"), ReadAll(empty));

    const QString two = work.filePath(QStringLiteral("two.dbf"));
    ok &= Succeeded(CreateSettingTable(two), error);
    DbfTable table(two);
    ok &= Succeeded(table.append(Row(1)), error) && Succeeded(table.append(Row(2)), error);
    ok &= Save(dir, QStringLiteral("setting_two_rows.dbf"), ReadAll(two));

    // A few columns of each stored type, one row, one deleted row.
    const QString small = work.filePath(QStringLiteral("small.dbf"));
    const QList<dbf::FieldSpec> specs{{QStringLiteral("C_NUMBER"), 'N', 10, 0},
                                      {QStringLiteral("VERSION"), 'C', 5, 0},
                                      {QStringLiteral("T_1_C"), 'F', 12, 3},
                                      {QStringLiteral("DATE_REC"), 'D', 8, 0},
                                      {QStringLiteral("RESET"), 'L', 1, 0}};
    ok &= Succeeded(DbfTable::Create(small, specs), error);
    DbfTable smallTable(small);
    LocalRow partial;
    partial.insert(QStringLiteral("c_number"), 42.0);
    partial.insert(QStringLiteral("version"), QStringLiteral("9.1"));
    partial.insert(QStringLiteral("reset"), true);
    ok &= Succeeded(smallTable.append(partial), error);
    QByteArray bytes = ReadAll(small);
    if (const auto h = Noted(smallTable.open(), error); h && h->recordCount >= 1)
        bytes[h->headerLength] = dbf::kDeleted;
    ok &= Save(dir, QStringLiteral("small_typed.dbf"), bytes);
    ok &= Save(dir, QStringLiteral("level7.dbf"), Level7Table());
    if (!ok)
        std::fprintf(stderr, "table seeds: %s\n", qPrintable(error));
    return ok;
}

} // namespace
} // namespace ordan::fuzz

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    ordan::fuzz::InitQt();
    const QString dir = QString::fromLocal8Bit(argv[1]);
    bool ok = ordan::fuzz::ReplySeeds(dir + QStringLiteral("/fuzz_reply_path"));
    ok &= ordan::fuzz::DecoderSeeds(dir + QStringLiteral("/fuzz_schedule_journals"));
    ok &= ordan::fuzz::TableSeeds(dir + QStringLiteral("/fuzz_dbf_reader"));
    return ok ? 0 : 1;
}
