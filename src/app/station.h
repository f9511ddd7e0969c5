#pragma once

#include "app/startup_settings.h"
#include "core/field.h"
#include "core/modes.h"
#include "core/window_title.h"
#include "link/connection_panel.h"
#include "link/engine.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace ordan {

class Background;
class CentralRecorder;
class ExportFiles;
class Journals;
class Line;
class LineMode;
class LocalLogView;
class LocalRecorder;
class LocalTable;
class MeterPanel;
class Operator;
class ScheduleModel;
class PortEnumerator;
class SettingsStore;
class SpoilageModel;
class SqlSession;
class SystemFacts;
class Timer;
class TimerFactory;

// The main window's behaviour without the window, and the composition root of the station's
// parts: it owns the link engine, the meter parameters, the tariff schedule, the journals and
// both records (the local table's and the production database's, with its defect model), and
// wires them together. The modes are decided when it is made, from the registry and the
// marker file, since every part is built for them.
class Station final : public QObject, public EngineHost {
    Q_OBJECT
public:
    struct Platform {
        Line &line;
        TimerFactory &timers;
        Operator &op;
        SystemFacts &facts;
        SettingsStore &settings;
        PortEnumerator &ports;
        ExportFiles &exportFiles;
        QString workingDir;
        LocalTable *localTable = nullptr; // Setting.DBF; none in tests that do not record
        SqlSession *db = nullptr;         // the production database; none in tests without one
        // Where the database's statements and the table's appends run: never the window's
        // thread. Required with `db`, and with `localTable` in normal mode.
        Background *recordsWorker = nullptr;
    };

    explicit Station(Platform platform, QObject *parent = nullptr);
    ~Station() override;

    Engine &engine() { return engine_; }
    ConnectionPanel &panel() { return panel_; }
    MeterPanel &meter() { return *meter_; }
    ScheduleModel &schedule() { return *schedule_; }
    Journals &journals() { return *journals_; }
    LocalLogView *localLog() { return localLog_.get(); }
    // The production database's workflows; none without a database.
    CentralRecorder *central() { return central_.get(); }
    SpoilageModel *spoilage() { return spoilage_.get(); }
    // The line of meters; none in database mode without a database.
    LineMode *lineMode() { return lineMode_.get(); }
    const Modes &modes() const { return modes_; }
    Operator &op() { return op_; }
    SystemFacts &facts() { return facts_; }

    // Start of the main window; `extraPort` is a device given on the command line, added to
    // the port list and selected.
    void FormCreate(const QString &extraPort = {}, bool lineMode = false);
    void FormClose();
    // Every activation of the main window (the database mode identifies the workstation).
    void FormActivate();

    // The action list.
    Container ActionList1;
    Action ActionConnect;
    Action ActionDisconnect;
    Action ActionReset;
    Action ActionOpen;
    Action ActionClose;
    Action ActionSpoilage;
    Action ActionFindAddress;
    Action ActionFixDb;
    // Arms and disarms the line mode; LineModeArmed shows which.
    Action ActionLineMode;
    BoolField LineModeArmed;
    // The "База данных" export of the line's shift: the log filtered to its day, exported.
    Action ActionShiftReport;
    // "&Записать" and the two DDM shortcuts belong to the meter parameters.
    Action &ActionSetting();
    Action &ActionPlusDDM();
    Action &ActionMinusDDM();

    // Page captions and visibility that the modes decide.
    TextField TabSheet4Caption;
    BoolField TabScheduleVisible;
    BoolField TabSheet5Visible;

    void ActionConnectExecute();
    void ActionDisconnectExecute();
    void ActionResetExecute();
    void ActionLineModeExecute();
    void ActionShiftReportExecute();
    void setLineModeArmed(bool armed);
    // "Сохранить протокол…" of the exchange log and "Экспорт…" of the page "База данных".
    void SaveExchangeLog();
    void ExportLocalLog();

    // The general error report: the error's own text in a box captioned with the window title.
    void ReportError(const QString &error);

    // EngineHost
    void clearMeterData() override;
    void recordProgramming() override;
    void setWriteActionsEnabled(bool on) override;
    void setFindAddressEnabled(bool on) override;
    void replyAccepted(quint8 code) override;
    void meterSilent() override;

Q_SIGNALS:
    // A write has completed and is about to be recorded, in the table or the database.
    void programmingFinished();
    void connectionChanged(bool connected);
    // The database mode ends the program without the close steps (an unknown workstation).
    void endProgramRequested();

private:
    void wireParts();
    void buildLineMode(SettingsStore &settings);
    void buildCentral(SqlSession &db, Background &worker);
    // Step of the start that reads the defaults of the last records; `then` gets false when
    // it failed (the failure has been reported) and the rest of the start is skipped.
    void loadRecordDefaults(std::function<void(bool loaded)> then);
    void setConnectedState(bool connected);
    void lineLost();

    Line &line_;
    Operator &op_;
    SystemFacts &facts_;
    SettingsStore &settings_;
    PortEnumerator &portEnumerator_;
    StartupSettings startup_;
    Modes modes_;
    ConnectionPanel panel_;
    Engine engine_;
    // Follows the PC clock on the meter page.
    std::unique_ptr<Timer> clockTimer_;
    std::unique_ptr<MeterPanel> meter_;
    std::unique_ptr<ScheduleModel> schedule_;
    std::unique_ptr<Journals> journals_;
    std::unique_ptr<LocalRecorder> localRecorder_;
    std::unique_ptr<LocalLogView> localLog_;
    std::unique_ptr<CentralRecorder> central_;
    std::unique_ptr<SpoilageModel> spoilage_;
    std::unique_ptr<LineMode> lineMode_;
    // The connection the exchange log belongs to, for the head of its saved file.
    QString logPort_;
    int logBaud_ = 0;
};

} // namespace ordan
