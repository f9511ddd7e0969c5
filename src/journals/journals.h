#pragma once

#include "journals/annual_journal.h"
#include "journals/consumption_journal.h"
#include "journals/journal_export.h"

#include <QObject>

#include <functional>

namespace ordan {

class Engine;
class Operator;
class SystemFacts;

// The page "Журнал": both journals, their decoders on the engine and their export to .xls
// files through `files` (XlsExportFiles in the program). serialNumber gives the meter number
// shown on the page "Установка" (SpinEdit_Number).
class Journals final : public QObject {
    Q_OBJECT
public:
    Journals(Engine &engine, Operator &op, SystemFacts &facts, ExportFiles &files, std::function<int()> serialNumber,
             QObject *parent = nullptr);
    ~Journals() override;

    AnnualJournal &annual() { return annual_; }
    ConsumptionJournal &consumption() { return consumption_; }
    JournalExport &exporter() { return export_; }

    // The engine accepted a valid reply to a request of this code.
    void replyAccepted(quint8 code);

    void BtnJournalClick();
    void BtnDiaryClick();
    // "Сохранить рисунок…" of either chart: the picture to a PNG file the operator chooses.
    void SavePicture(QByteArray png);

private:
    std::function<int()> serialNumber_;
    JournalExport export_;
    AnnualJournal annual_;
    ConsumptionJournal consumption_;
};

} // namespace ordan
