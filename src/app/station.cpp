#include "app/station.h"

#include "app/line_mode.h"
#include "app/settings_store.h"
#include "app/startup_settings.h"
#include "core/errors.h"
#include "core/operator.h"
#include "core/system_facts.h"
#include "core/timer.h"
#include "core/timings.h"
#include "journals/journals.h"
#include "link/line.h"
#include "meter/meter_panel.h"
#include "records/central_record.h"
#include "records/central_recorder.h"
#include "records/local_log_report.h"
#include "records/local_log_view.h"
#include "records/local_recorder.h"
#include "records/spoilage_model.h"
#include "schedule/schedule_model.h"

namespace ordan {

namespace {
// The exchange log's time stamps follow the PC clock.
std::function<QDateTime()> ClockOf(SystemFacts &facts)
{
    return [&facts] { return facts.now(); };
}
} // namespace

Station::Station(Platform p, QObject *parent)
    : QObject(parent), ActionList1(QStringLiteral("ActionList1"), this),
      ActionConnect(QStringLiteral("ActionConnect"), &ActionList1, QStringLiteral("&Установить"),
                    QStringLiteral("Установить связь")),
      ActionDisconnect(QStringLiteral("ActionDisconnect"), &ActionList1, QStringLiteral("&Разорвать"),
                       QStringLiteral("Разорвать связь")),
      ActionReset(QStringLiteral("ActionReset"), &ActionList1, QStringLiteral("&Сброс изменений"),
                  QStringLiteral("Сброс изменений")),
      ActionOpen(QStringLiteral("ActionOpen"), &ActionList1, QStringLiteral("&Открыть"),
                 QStringLiteral("открыть таблицу")),
      ActionClose(QStringLiteral("ActionClose"), &ActionList1, QStringLiteral("&Закрыть"),
                  QStringLiteral("Закрыть таблицу")),
      ActionSpoilage(QStringLiteral("ActionSpoilage"), &ActionList1, QStringLiteral("&Брак"), QStringLiteral("Брак"),
                     QStringLiteral("F4")),
      ActionFindAddress(QStringLiteral("ActionFindAddress"), &ActionList1, QStringLiteral("Поиск &адреса"),
                        QStringLiteral("Поиск адреса"), QStringLiteral("F3")),
      ActionFixDb(QStringLiteral("ActionFixDb"), &ActionList1, QStringLiteral("Зафиксировать в Б&Д"),
                  QStringLiteral("Зафиксировать в БД")),
      ActionLineMode(QStringLiteral("ActionLineMode"), &ActionList1, QStringLiteral("Режим &линии"),
                     QStringLiteral("Программировать приборы один за другим")),
      LineModeArmed(QStringLiteral("LineModeArmed"), this, false),
      ActionShiftReport(QStringLiteral("ActionShiftReport"), &ActionList1, QStringLiteral("Отчёт &смены"),
                        QStringLiteral("Записи смены в файл Excel")),
      TabSheet4Caption(QStringLiteral("TabSheet4"), this, QStringLiteral("Протокол")),
      TabScheduleVisible(QStringLiteral("TabSchedule"), this, true),
      TabSheet5Visible(QStringLiteral("TabSheet5"), this, true), line_(p.line), op_(p.op), facts_(p.facts),
      settings_(p.settings), portEnumerator_(p.ports),
      startup_(ReadStartupSettings(p.settings, p.facts.fileExists(p.workingDir, kSqlMarkerFile))),
      modes_(startup_.modes), panel_(p.timers, this),
      engine_(p.line, p.timers, p.op, *this, panel_, ClockOf(p.facts), this),
      clockTimer_(p.timers.createTimer(timing::Ms(timing::kClockFollower)))
{
    meter_ = std::make_unique<MeterPanel>(engine_, op_, facts_, modes_, this);
    schedule_ = std::make_unique<ScheduleModel>(
        engine_, op_, facts_, [this] { return meter_->parameters().LabeledPass2.value(); }, this);
    journals_ = std::make_unique<Journals>(
        engine_, op_, facts_, p.exportFiles, [this] { return meter_->parameters().SpinEdit_Number.value(); }, this);
    if (p.localTable) {
        auto report = [this](const QString &error) { ReportError(error); };
        localLog_ = std::make_unique<LocalLogView>(*p.localTable, ActionOpen, ActionClose, facts_.now().date(), report);
        if (!modes_.SqlMode) {
            Q_ASSERT(p.recordsWorker);
            localRecorder_ = std::make_unique<LocalRecorder>(*p.localTable, *p.recordsWorker, meter_->parameters(),
                                                             *schedule_, op_, facts_, report);
        }
    }
    if (p.db) {
        Q_ASSERT(p.recordsWorker);
        buildCentral(*p.db, *p.recordsWorker);
    }
    wireParts();
    // The database mode's line needs the database's workflows.
    if (!modes_.SqlMode || central_)
        buildLineMode(p.settings);

    ActionDisconnect.setEnabled(false);
    ActionClose.setEnabled(false);
    ActionSpoilage.setEnabled(false);
    ActionFindAddress.setEnabled(false);
    ActionFixDb.setEnabled(false);

    ActionConnect.setHandler([this] { ActionConnectExecute(); });
    ActionDisconnect.setHandler([this] { ActionDisconnectExecute(); });
    ActionReset.setHandler([this] { ActionResetExecute(); });
    ActionLineMode.setHandler([this] { ActionLineModeExecute(); });
    ActionLineMode.setVisible(lineMode_ != nullptr);
    ActionLineMode.setEnabled(lineMode_ != nullptr);
    ActionShiftReport.setHandler([this] { ActionShiftReportExecute(); });
    ActionShiftReport.setEnabled(lineMode_ && localLog_);
    ActionFindAddress.setHandler([this] { engine_.ActionFindAddressExecute(); });
    connect(&engine_, &Engine::lineLost, this, [this] { lineLost(); });
    connect(&panel_, &ConnectionPanel::portRefused, this, &Station::ReportError);
    // The end of the write indicator's 2 s is the end of the write: the fields are read anew.
    connect(&panel_, &ConnectionPanel::indicatorHidden, this, [this] { ActionReset.execute(); });
    clockTimer_->setHandler([this] { meter_->followClock(); });
    clockTimer_->enable();
}

Station::~Station()
{
    // The parts remove their decoders and hooks from the engine and the meter panel, which
    // outlive them.
    lineMode_.reset();
    spoilage_.reset();
    central_.reset();
    localRecorder_.reset();
    localLog_.reset();
    journals_.reset();
    schedule_.reset();
    meter_.reset();
}

Action &Station::ActionSetting() { return meter_->parameters().ActionSetting; }
Action &Station::ActionPlusDDM() { return meter_->parameters().ActionPlusDDM; }
Action &Station::ActionMinusDDM() { return meter_->parameters().ActionMinusDDM; }

void Station::wireParts()
{
    MeterHooks &hooks = meter_->hooks;
    hooks.oneTariff = [this] { return schedule_->CheckOneTarif.value(); };
    hooks.scheduleZonesBody = [this] { return schedule_->scheduleZonesBody(); };
    connect(&meter_->parameters(), &MeterParameters::extendedVersionChanged, schedule_.get(),
            [this](bool) { schedule_->applyMeterVersion(engine_.meterVersion()); });
    engine_.log().ActionSaveLog.setHandler([this] { SaveExchangeLog(); });
    if (localLog_)
        localLog_->BtnExport.setHandler([this] { ExportLocalLog(); });
    if (localRecorder_)
        localRecorder_->installPlusButton();
}

void Station::buildCentral(SqlSession &db, Background &worker)
{
    // Built in both modes: in normal mode it touches nothing, and the defect window has a model.
    central_ = std::make_unique<CentralRecorder>(CentralRecorder::Parts{db, worker, meter_->parameters(), meter_->hooks,
                                                                        *schedule_, ActionFixDb, op_, facts_, modes_});
    central_->reportError = [this](const QString &error) { ReportError(error); };
    central_->lightIndicator = [this] { panel_.showIndicator(Indicator::Green); };
    central_->endProgram = [this] { Q_EMIT endProgramRequested(); };
    spoilage_ = std::make_unique<SpoilageModel>(*central_, meter_->parameters(), ActionSpoilage);
}

void Station::buildLineMode(SettingsStore &settings)
{
    lineMode_ = std::make_unique<LineMode>(LineMode::Parts{engine_, meter_->parameters(), meter_->writer(), facts_},
                                           ReadLineCounters(settings, facts_.now().date()));
    lineMode_->captureRecord = [this]() -> LineMode::RecordCommit {
        MeterParameters &p = meter_->parameters();
        if (modes_.SqlMode) {
            // Recorded either way, unsuccessful unless it read back right.
            return [this, number = p.SpinEdit_Number.value(),
                    record = OperationRecordFromControls(p, true)](bool matched) mutable {
                record.readBackFailed = !matched;
                if (central_)
                    central_->recordMeter(number, record);
            };
        }
        if (!localRecorder_)
            return {};
        return [this, row = localRecorder_->takeRow()](bool matched) {
            // The settings log holds programmed meters; one that read back wrong is in the
            // exchange log and the counters.
            if (matched && localRecorder_)
                localRecorder_->append(row);
        };
    };
    if (modes_.SqlMode) {
        lineMode_->prepareMeter = [this](int number, std::function<void(Result<int>)> done) {
            central_->prepareLineMeter(number, std::move(done));
        };
        lineMode_->LineNextNumber.setVisible(false);
    }
    if (spoilage_)
        spoilage_->registered = [this] {
            if (lineMode_)
                lineMode_->defectRegistered();
        };
    lineMode_->saveCounters = [&settings, this](const LineCounters &counters) {
        if (!WriteLineCounters(settings, counters))
            engine_.log().message(QStringLiteral("Счетчики линии не сохранены: раздел реестра недоступен"));
    };
    lineMode_->log = [this](const QString &line) { engine_.log().message(line); };
    connect(lineMode_.get(), &LineMode::meterFinished, this, [this] { op_.beep(); });
}

void Station::ActionLineModeExecute() { setLineModeArmed(!LineModeArmed.value()); }

void Station::setLineModeArmed(bool armed)
{
    if (!lineMode_)
        return;
    lineMode_->setArmed(armed);
    LineModeArmed.set(armed);
    if (!WriteLineModeSetting(settings_, armed))
        engine_.log().message(QStringLiteral("Режим линии не сохранён: раздел реестра недоступен"));
}

void Station::ActionShiftReportExecute()
{
    if (!lineMode_ || !localLog_)
        return;
    // The shift's day, every number; an open view is read again with that filter.
    const QDate shift = lineMode_->counters().shift;
    localLog_->SpinFilter.set(0);
    localLog_->DTP1.set(shift);
    localLog_->DTP2.set(shift);
    localLog_->ActionOpenExecute();
    ExportLocalLog();
}

void Station::loadRecordDefaults(std::function<void(bool)> then)
{
    if (localRecorder_)
        then(localRecorder_->LoadRecordDefaults());
    else if (central_ && modes_.SqlMode)
        central_->LoadRecordDefaults(std::move(then));
    else
        then(true);
}

void Station::FormActivate()
{
    if (central_)
        central_->FormActivate();
}

void Station::FormCreate(const QString &extraPort, bool lineMode)
{
    MeterParameters &params = meter_->parameters();
    // The pickers show the PC clock from the start, not only from the follower's first tick.
    meter_->followClock();
    const std::array<IntField *, 3> ddm = params.ddmSpins();
    for (size_t i = 0; i < 3; ++i)
        if (startup_.ddm[i])
            ddm[i]->set(*startup_.ddm[i]);

    // The modes' effects on the station's own controls; the parts apply theirs when wired.
    engine_.log().setEngineering(modes_.engineering());
    TabSheet4Caption.set(modes_.engineering() ? QStringLiteral("Терминал") : QStringLiteral("Протокол"));
    TabScheduleVisible.set(!modes_.SqlMode);
    TabSheet5Visible.set(!modes_.SqlMode);
    ActionOpen.setEnabled(!modes_.SqlMode);
    ActionSpoilage.setEnabled(modes_.SqlMode);
    ActionSpoilage.setVisible(modes_.SqlMode);
    ActionFixDb.setVisible(modes_.SqlMode);

    panel_.ListSerialPorts(portEnumerator_, startup_.portNumber);
    // A device given on the command line comes first; else the one chosen by path last time,
    // if it is still there.
    if (!extraPort.isEmpty())
        panel_.selectPathPort(extraPort);
    else if (!startup_.portDevice.isEmpty() && portEnumerator_.deviceExists(startup_.portDevice))
        panel_.selectPathPort(startup_.portDevice);
    panel_.resetPortNumber();

    panel_.ComboBaud.set(kDefaultBaudIndex);
    // Armed on the command line, or as the last run left it.
    if (lineMode_ && (lineMode || ReadLineModeSetting(settings_)))
        setLineModeArmed(true);
    loadRecordDefaults([this](bool loaded) {
        if (!loaded)
            return;
        // The tariff groups follow the single-tariff switch, and the holidays start as the defaults.
        schedule_->presetSingleTariff(schedule_->CheckOneTarif.value());
        schedule_->BtnTempletClick();
    });
}

void Station::ActionConnectExecute()
{
    const QString device = panel_.chosenDevice(portEnumerator_.naming());
    if (const Status opened = engine_.connectLine(device, panel_.baud()); !opened) {
        op_.showMessage(OpenFailureText(panel_.comboPortText(), opened.error(), line_.accessGroup()),
                        QStringLiteral("Ошибка"), BoxIcon::Error);
        return;
    }
    logPort_ = device;
    logBaud_ = panel_.baud();
    setConnectedState(true);
}

void Station::ActionDisconnectExecute()
{
    if (!engine_.disconnectLine()) {
        op_.showMessage(QStringLiteral("Ошибка закрытия порта ") + panel_.comboPortText(), QStringLiteral("Ошибка"),
                        BoxIcon::Error);
        return;
    }
    setConnectedState(false);
}

void Station::lineLost()
{
    // The engine has disconnected already; the window follows as after "&Разорвать".
    setConnectedState(false);
    const QString text = QStringLiteral("Связь потеряна: ") + panel_.comboPortText();
    panel_.StatusPanel1.set(text);
    engine_.log().message(text);
}

void Station::setConnectedState(bool connected)
{
    ActionDisconnect.setEnabled(connected);
    ActionConnect.setEnabled(!connected);
    panel_.setChoiceEnabled(!connected);
    if (!connected) {
        setWriteActionsEnabled(false);
        ActionFindAddress.setEnabled(false);
        if (lineMode_)
            lineMode_->linkDown();
    }
    schedule_->setConnected(connected);
    Q_EMIT connectionChanged(connected);
}

void Station::FormClose()
{
    ActionDisconnect.execute();
    ActionClose.execute();
    MeterParameters &params = meter_->parameters();
    std::optional<std::array<int, 3>> ddm;
    if (params.CheckDdmRead.value())
        ddm = std::array<int, 3>{params.SpinEditA.value(), params.SpinEditB.value(), params.SpinEditC.value()};
    // A device chosen by its path is remembered by that path; its made-up number is not a port.
    const PortItem *chosen = panel_.chosenPort();
    const int portNumber = panel_.portNumber();
    const bool byPath = chosen && chosen->byPath && chosen->number == portNumber;
    WriteCloseSettings(settings_, byPath && portNumber == kPathPortNumber ? 0 : portNumber, ddm,
                       byPath ? chosen->device : QString());
}

void Station::ActionResetExecute() { clearMeterData(); }

void Station::SaveExchangeLog()
{
    // Before the first connection the panel's choice heads the file.
    const ExchangeLogHeader header{logPort_.isEmpty() ? panel_.comboPortText() : logPort_,
                                   logBaud_ ? logBaud_ : panel_.baud(), panel_.SpinAddr.value(), facts_.now()};
    journals_->exporter().SaveFile(QStringLiteral("Текстовый файл|*.txt"), QStringLiteral("txt"),
                                   ExchangeLogFileBytes(engine_.log(), header));
}

void Station::ExportLocalLog()
{
    if (!localLog_ || !localLog_->isOpen())
        return;
    journals_->exporter().Export(LocalLogReportTable(localLog_->rows()), LocalLogReportTitle(localLog_->filter()));
}

void Station::ReportError(const QString &error)
{
    op_.showMessage(GeneralErrorText(error), WindowTitle(), BoxIcon::Error);
}

void Station::clearMeterData() { meter_->ClearMeterData(); }

void Station::recordProgramming()
{
    Q_EMIT programmingFinished();
    if (lineMode_ && lineMode_->takeRecord())
        return;
    if (localRecorder_)
        localRecorder_->RecordLocal();
    else if (central_ && modes_.SqlMode)
        central_->RecordCentral();
}

void Station::setWriteActionsEnabled(bool on)
{
    meter_->setWriteActionsEnabled(on);
    ActionFixDb.setEnabled(on);
}

void Station::setFindAddressEnabled(bool on) { ActionFindAddress.setEnabled(on); }

void Station::replyAccepted(quint8 code) { journals_->replyAccepted(code); }

void Station::meterSilent()
{
    setWriteActionsEnabled(false);
    if (lineMode_)
        lineMode_->meterSilent();
    // The database mode looks for the next meter on the line at address 0.
    if (modes_.SqlMode)
        panel_.SpinAddr.set(0);
    clearMeterData();
}

} // namespace ordan
