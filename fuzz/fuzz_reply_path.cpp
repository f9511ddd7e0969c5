// The reply path as the running station sees it: a Station on virtual time with a fake line,
// driven by a small script of received chunks, time steps, frames made valid for the request
// on the wire (so every registered decoder meets arbitrary payloads behind a right CRC), the
// station's own actions and operator edits of any control. The reply judge is also run on its own.
//
// Input: byte 0 the start-up switches, byte 1 the bus address, then operations, each an
// op byte and its arguments (see RunScript). With bit 7 of the switches the input runs twice
// and both runs must write, show and log the same.

#include "core/bytes.h"
#include "fuzz_common.h"
#include "journals/journals.h"
#include "link/frame.h"
#include "link/reply_judge.h"
#include "meter/meter_panel.h"
#include "schedule/schedule_model.h"
#include "station_rig.h"

#include <deque>
#include <vector>

namespace ordan::fuzz {
namespace {

void JudgeDirectly(const QByteArray &reply, const QByteArray &request)
{
    const Judgement j = JudgeReply(reply, request);
    // What the engine relies on when it hands a reply to a decoder.
    if (j.verdict == Verdict::Valid) {
        if (reply.size() < 3 || ByteAt(reply, 0) != ByteAt(request, 0) || ByteAt(reply, 1) + 2 != reply.size() ||
            !CheckReplyCrc(reply))
            std::abort();
    }
    if (j.verdict == Verdict::Incomplete && IsCompleteReply(reply))
        std::abort();
}

void Act(Rig &rig, quint8 which)
{
    Station &s = *rig.station;
    switch (which % 16) {
    case 0: s.ActionSetting().execute(); break;
    case 1: s.schedule().BtnReadScheduleClick(); break;
    case 2: s.schedule().BtnWriteScheduleClick(); break;
    case 3: s.journals().annual().BitBtn4Click(); break;
    case 4: s.journals().consumption().BitBtn3Click(); break;
    case 5: s.ActionFindAddress.execute(); break;
    case 6: s.ActionReset.execute(); break;
    case 7: s.ActionDisconnect.execute(); break;
    case 8: s.ActionConnect.execute(); break;
    case 9: s.journals().BtnJournalClick(); break;
    case 10: s.journals().BtnDiaryClick(); break;
    case 11: s.schedule().BtnTempletClick(); break;
    case 12: s.ActionPlusDDM().execute(); break;
    case 13: s.ActionMinusDDM().execute(); break;
    case 14: s.schedule().BtnInsCelClick(); break;
    case 15: s.schedule().BtnInsTransClick(); break;
    }
}

void Edit(Rig &rig, Input &in)
{
    Station &s = *rig.station;
    const quint8 what = in.byte();
    const quint8 a = in.byte();
    const quint8 b = in.byte();
    switch (what % 8) {
    case 0: s.schedule().setZoneTariff(a % kZoneCount, QString::number(b % 8 == 7 ? -b : b % 5)); break;
    case 1: s.schedule().setZoneStart(a % kZoneCount, QTime(b % 24, (a * 7) % 60)); break;
    case 2: s.schedule().CheckOneTarif.edit(!s.schedule().CheckOneTarif.value()); break;
    case 3: s.panel().SpinTimer.edit(200 + a * 8); break;
    case 4: s.panel().SpinAddr.edit(a); break;
    case 5: s.meter().parameters().LabeledPass2.edit(QString::number(a * 256 + b)); break;
    case 6: s.schedule().StringAttribSelectCell(a % 8, b % 8); break;
    case 7:
        s.schedule().ComboM.edit(a % 12);
        s.schedule().SpinD.edit(1 + b % 31);
        break;
    }
}

// Any control of the station as the operator could set it: spin values (the field keeps its
// range), ticks, dates and times a picker offers, and short texts typed into an edit.
void EditAny(Rig &rig, Input &in)
{
    const QList<FieldBase *> fields = rig.station->findChildren<FieldBase *>();
    if (fields.isEmpty())
        return;
    FieldBase *f = fields[in.word() % fields.size()];
    if (auto *spin = dynamic_cast<IntField *>(f)) {
        // A spin edit without limits takes any number the operator types.
        const quint32 v = in.word() | (quint32(in.word()) << 16);
        spin->edit(static_cast<int>(v));
    } else if (auto *combo = dynamic_cast<Field<int> *>(f)) {
        combo->edit(in.byte() % 17 - 1); // an item of a short list, or none
    } else if (auto *b = dynamic_cast<Field<bool> *>(f)) {
        b->edit(!b->value());
    } else if (auto *t = dynamic_cast<Field<QString> *>(f)) {
        static constexpr char kTyped[] = "0123456789-.,: A";
        QString text;
        for (char c : in.bytes(in.byte() % 12))
            text += QLatin1Char(kTyped[static_cast<quint8>(c) % 16]);
        t->edit(text);
    } else if (auto *d = dynamic_cast<Field<QDate> *>(f)) {
        const QDate date(2000 + in.byte() % 100, 1 + in.byte() % 12, 1 + in.byte() % 31);
        d->edit(date.isValid() ? date : QDate(date.year(), date.month(), 1));
    } else if (auto *tm = dynamic_cast<Field<QTime> *>(f)) {
        tm->edit(QTime(in.byte() % 24, in.byte() % 60, in.byte() % 60));
    }
}

// Any action of the station, its parts included; a disabled one does nothing.
void ActAny(Rig &rig, Input &in)
{
    const QList<Action *> actions = rig.station->findChildren<Action *>();
    if (!actions.isEmpty())
        actions[in.byte() % actions.size()]->execute();
}

void RunScript(Rig &rig, Input &in)
{
    // Bounded work per input: each step moves virtual time by seconds at most.
    for (int steps = 0; steps < 400 && !in.empty(); ++steps) {
        const quint8 op = in.byte();
        switch (op % 12) {
        case 0: { // a received chunk of raw bytes
            const QByteArray chunk = in.bytes(1 + in.byte() % 48);
            JudgeDirectly(chunk, rig.station->engine().request());
            rig.line.deliver(chunk);
            break;
        }
        case 1: // time passes
            rig.timers.advance(1 + in.byte() * 8);
            break;
        case 2:
        case 3: { // a frame made valid for the request on the wire, maybe in two chunks
            const QByteArray request = rig.nextRequest();
            const quint8 code = static_cast<quint8>(ByteAt(request, 0));
            const QByteArray payload = in.bytes(in.byte() % 48);
            const QByteArray frame = MakeFrame(code, payload);
            const qsizetype split = op % 10 == 3 ? in.byte() % (frame.size() + 1) : frame.size();
            rig.line.deliver(frame.left(split));
            if (split < frame.size()) {
                rig.timers.advance(in.byte() % 16);
                rig.line.deliver(frame.mid(split));
            }
            break;
        }
        case 4: { // any body behind a right CRC: wrong codes and lengths
            rig.nextRequest();
            rig.line.deliver(AppendCrc(in.bytes(in.byte() % 40)));
            break;
        }
        case 5: { // the meter's error reply to the request on the wire
            const QByteArray request = rig.nextRequest();
            rig.line.deliver(AppendCrc(Bytes({static_cast<quint8>(ByteAt(request, 0) + 0x80), 0x03, in.byte()})));
            break;
        }
        case 6: Act(rig, in.byte()); break;
        case 7: rig.op.closeBox(); break;
        case 8: Edit(rig, in); break;
        case 9:
            if (in.byte() & 1)
                rig.line.deliverBreak();
            else
                rig.echo = !rig.echo;
            break;
        case 10: EditAny(rig, in); break;
        case 11: ActAny(rig, in); break;
        }
    }
    // Let the engine finish what it was doing, closing every box it opens on the way.
    for (int i = 0; i < 8; ++i) {
        while (rig.op.closeBox()) {
        }
        rig.timers.advance(500);
    }
}

// What a run leaves behind, for comparing two runs of one input.
struct Trace {
    std::vector<QByteArray> writes;
    std::vector<QString> boxes;
    std::deque<QString> log;
    qsizetype records = 0;
    bool operator==(const Trace &) const = default;
};

Trace Run(const uint8_t *data, size_t size)
{
    Input in(data, size);
    const quint8 switches = in.byte();
    const quint8 address = in.byte();
    Rig rig(switches);
    rig.station->panel().SpinAddr.edit(address);
    rig.station->ActionConnect.execute();
    RunScript(rig, in);
    Trace t;
    for (const test::FakeLine::Write &w : rig.line.writes)
        t.writes.push_back(w.bytes);
    for (const test::FakeOperator::Box &b : rig.op.boxes)
        t.boxes.push_back(b.text);
    t.log = rig.station->engine().log().lines();
    t.records = rig.table.rows.size();
    return t;
}

} // namespace
} // namespace ordan::fuzz

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    ordan::fuzz::InitQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace ordan;
    using namespace ordan::fuzz;
    if (size < 2)
        return 0;
    const quint8 switches = data[0];
    const quint8 address = data[1];

    // The judge alone on the input cut in two: request, then reply.
    {
        const QByteArray all(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
        const qsizetype cut = qMin<qsizetype>(address % 8, all.size());
        JudgeDirectly(all.mid(cut), all.left(cut));
    }

    const Trace first = Run(data, size);
    // Every other input twice: the station on virtual time depends on nothing but its input.
    if (switches & 0x80) {
        if (!(Run(data, size) == first))
            std::abort();
    }
    return 0;
}
