#include "journals/journals.h"

#include "link/engine.h"

namespace ordan {

using namespace Qt::Literals::StringLiterals;

Journals::Journals(Engine &engine, Operator &op, SystemFacts &facts, ExportFiles &files,
                   std::function<int()> serialNumber, QObject *parent)
    : QObject(parent), serialNumber_(std::move(serialNumber)),
      export_(op, facts, files, [&engine](const QString &line) { engine.log().message(line); }), annual_(engine, this),
      consumption_(engine, facts, this)
{
    annual_.BtnJournal.setHandler([this] { BtnJournalClick(); });
    consumption_.BtnDiary.setHandler([this] { BtnDiaryClick(); });
}

Journals::~Journals() = default;

void Journals::replyAccepted(quint8 code)
{
    annual_.replyAccepted(code);
    consumption_.replyAccepted(code);
}

void Journals::BtnJournalClick()
{
    export_.Export(annual_.exportTable(), JournalTitle(u"Годовой журнал "_s, serialNumber_ ? serialNumber_() : 0));
}

void Journals::BtnDiaryClick()
{
    export_.Export(consumption_.exportTable(),
                   JournalTitle(u"Журнал потребления "_s, serialNumber_ ? serialNumber_() : 0));
}

void Journals::SavePicture(QByteArray png) { export_.SaveFile(u"PNG|*.png"_s, u"png"_s, std::move(png)); }

} // namespace ordan
