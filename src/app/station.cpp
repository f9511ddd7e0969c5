#include "app/station.h"

#include "app/settings_store.h"
#include "app/startup_settings.h"
#include "core/errors.h"
#include "core/operator.h"
#include "core/system_facts.h"
#include "journals/journals.h"
#include "link/line.h"
#include "meter/meter_panel.h"
#include "records/central_recorder.h"
#include "records/local_log_report.h"
#include "records/local_log_view.h"
#include "records/local_recorder.h"
#include "records/spoilage_model.h"
#include "schedule/schedule_model.h"

namespace ordan {

namespace {
constexpr int kBauds[] = {1200, 2400, 4800, 9600};
}

const QString &Station::WindowTitle()
{
    static const QString title = QStringLiteral("Программирование ОРДАН-04-3ТГ и Велм 732");
    return title;
}

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
      ComboPort(QStringLiteral("ComboPort"), this, -1), NPort(QStringLiteral("NPort"), this, 0),
      ComboBaud(QStringLiteral("ComboBaud"), this, 2), NPortMenu(QStringLiteral("NPortMenu"), this),
      NBaudMenu(QStringLiteral("NBaudMenu"), this),
      TabSheet4Caption(QStringLiteral("TabSheet4"), this, QStringLiteral("Протокол")),
      TabScheduleVisible(QStringLiteral("TabSchedule"), this, true),
      TabSheet5Visible(QStringLiteral("TabSheet5"), this, true), line_(p.line), op_(p.op), facts_(p.facts),
      settings_(p.settings), portEnumerator_(p.ports), workingDir_(p.workingDir),
      startup_(ReadStartupSettings(p.settings, p.facts.fileExists(p.workingDir, kSqlMarkerFile))),
      modes_(startup_.modes), engine_(
                                  p.line, p.timers, p.op, *this, [&facts = p.facts] { return facts.now(); }, this)
{
    meter_ = std::make_unique<MeterPanel>(engine_, op_, facts_, modes_, this);
    schedule_ = std::make_unique<ScheduleModel>(
        engine_, op_, facts_, [this] { return meter_->parameters().LabeledPass2.value(); }, this);
    journals_ = std::make_unique<Journals>(
        engine_, op_, facts_, p.exportFiles, [this] { return meter_->parameters().SpinEdit_Number.value(); }, this);
    if (p.localTable) {
        auto report = [this](const QString &error) { ReportError(error); };
        localLog_ = std::make_unique<LocalLogView>(*p.localTable, ActionOpen, ActionClose, facts_.now().date(), report);
        if (!modes_.SqlMode)
            localRecorder_ =
                std::make_unique<LocalRecorder>(*p.localTable, meter_->parameters(), *schedule_, op_, facts_, report);
    }
    if (p.db)
        buildCentral(*p.db);
    wireParts();

    ActionDisconnect.setEnabled(false);
    ActionClose.setEnabled(false);
    ActionSpoilage.setEnabled(false);
    ActionFindAddress.setEnabled(false);
    ActionFixDb.setEnabled(false);

    ActionConnect.setHandler([this] { ActionConnectExecute(); });
    ActionDisconnect.setHandler([this] { ActionDisconnectExecute(); });
    ActionReset.setHandler([this] { ActionResetExecute(); });
    ActionFindAddress.setHandler([this] { engine_.ActionFindAddressExecute(); });
    ComboPort.setEditHandler([this] { ComboPortChange(ComboPort.value()); });
    ComboBaud.setEditHandler([this] { ComboBaudChange(ComboBaud.value()); });
    connect(&engine_, &Engine::lineLost, this, [this] { lineLost(); });
}

Station::~Station()
{
    // The parts remove their decoders and hooks from the engine and the meter panel, which
    // outlive them.
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
            [this](bool) { schedule_->applyMeterVersion(engine_.MeterVersion); });
    engine_.log().ActionSaveLog.setHandler([this] { SaveExchangeLog(); });
    if (localLog_)
        localLog_->BtnExport.setHandler([this] { ExportLocalLog(); });
    if (localRecorder_)
        localRecorder_->installPlusButton();
}

void Station::buildCentral(SqlSession &db)
{
    // Built in both modes: in normal mode it touches nothing, and the defect window has a model.
    central_ = std::make_unique<CentralRecorder>(
        CentralRecorder::Parts{db, meter_->parameters(), meter_->hooks, *schedule_, ActionFixDb, op_, facts_, modes_});
    central_->reportError = [this](const QString &error) { ReportError(error); };
    central_->lightIndicator = [this] { engine_.ShowWriteIndicator(); };
    central_->endProgram = [this] { Q_EMIT endProgramRequested(); };
    spoilage_ = std::make_unique<SpoilageModel>(*central_, meter_->parameters(), ActionSpoilage);
}

bool Station::loadRecordDefaults()
{
    if (localRecorder_)
        return localRecorder_->LoadRecordDefaults();
    if (central_ && modes_.SqlMode)
        return central_->LoadRecordDefaults();
    return true;
}

void Station::FormActivate()
{
    if (central_)
        central_->FormActivate();
}

int Station::baud() const { return kBauds[qBound(0, ComboBaud.value(), 3)]; }

void Station::FormCreate(const QString &extraPort)
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

    ListSerialPorts(startup_.portNumber);
    // A device given on the command line comes first; else the one chosen by path last time,
    // if it is still there.
    if (!extraPort.isEmpty())
        selectPathPort(extraPort);
    else if (!startup_.portDevice.isEmpty() && portEnumerator_.deviceExists(startup_.portDevice))
        selectPathPort(startup_.portDevice);
    // The port used when nothing is chosen is port 1.
    portNumber_ = ComboPort.value() >= 0 ? ports_[static_cast<size_t>(ComboPort.value())].number : 1;

    ComboBaud.set(2);
    if (!loadRecordDefaults())
        return;
    // The tariff groups follow the single-tariff switch, and the holidays start as the defaults.
    schedule_->presetSingleTariff(schedule_->CheckOneTarif.value());
    schedule_->BtnTempletClick();
}

void Station::ListSerialPorts(int registryPort)
{
    ports_.clear();
    ComboPort.set(-1);
    NPort.set(0);
    const std::vector<QString> names = portEnumerator_.systemPortNames();
    for (const QString &name : names) {
        addPort({name, PortNumberOf(name), DeviceOfPortName(name, portEnumerator_.naming())}, registryPort);
    }
    if (names.empty()) {
        for (int n = 1; n <= 8; ++n) {
            const QString device = DeviceForPortNumber(n, portEnumerator_.naming());
            if (portEnumerator_.probe(device))
                addPort({QStringLiteral("Com%1").arg(n), n, device}, registryPort);
        }
    }
    Q_EMIT portsChanged();
}

void Station::selectPathPort(const QString &device)
{
    auto it = std::find_if(ports_.begin(), ports_.end(),
                           [&](const PortItem &i) { return i.device == device || i.name == device; });
    if (it == ports_.end()) {
        const int n = PortNumberOf(device);
        ports_.push_back({device, n != 0 ? n : kPathPortNumber, device, true});
        it = ports_.end() - 1;
    }
    ComboPort.set(static_cast<int>(it - ports_.begin()));
    NPort.set(it->number);
    Q_EMIT portsChanged();
}

void Station::addPort(const PortItem &item, int registryPort)
{
    ports_.push_back(item);
    if (item.number != 0 && item.number == registryPort) {
        ComboPort.set(static_cast<int>(ports_.size()) - 1);
        NPort.set(item.number);
    }
}

QString Station::comboPortText() const
{
    const int i = ComboPort.value();
    return i >= 0 && i < static_cast<int>(ports_.size()) ? ports_[static_cast<size_t>(i)].name : QString();
}

void Station::ComboPortChange(int index)
{
    if (index < 0 || index >= static_cast<int>(ports_.size()))
        return;
    const PortItem &item = ports_[static_cast<size_t>(index)];
    if (item.number == 0) {
        ReportError(QStringLiteral("'%1' is not a valid integer value").arg(item.name.mid(3)));
        return;
    }
    portNumber_ = item.number;
    NPort.set(item.number);
}

void Station::PortMenuClick(int tag)
{
    NPort.set(tag);
    portNumber_ = tag;
    int found = -1;
    for (size_t i = 0; i < ports_.size(); ++i) {
        if (ports_[i].number == tag) {
            found = static_cast<int>(i);
            break;
        }
    }
    ComboPort.set(found);
}

void Station::ComboBaudChange(int index) { ComboBaud.set(qBound(0, index, 3)); }

void Station::N12001Click(int tag) { ComboBaud.set(qBound(0, tag, 3)); }

void Station::ActionConnectExecute()
{
    // The device of the chosen port, or of port 1 when nothing is chosen.
    const int i = ComboPort.value();
    const QString device = i >= 0 && i < static_cast<int>(ports_.size())
                               ? ports_[static_cast<size_t>(i)].device
                               : DeviceForPortNumber(1, portEnumerator_.naming());
    if (!engine_.connectLine(device, baud())) {
        op_.showMessage(OpenFailureText(comboPortText(), line_.errorText(), line_.accessGroup()),
                        QStringLiteral("Ошибка"), BoxIcon::Error);
        return;
    }
    logPort_ = device;
    logBaud_ = baud();
    setConnectedState(true);
}

void Station::ActionDisconnectExecute()
{
    if (!engine_.disconnectLine()) {
        op_.showMessage(QStringLiteral("Ошибка закрытия порта ") + comboPortText(), QStringLiteral("Ошибка"),
                        BoxIcon::Error);
        return;
    }
    setConnectedState(false);
}

void Station::lineLost()
{
    // The engine has disconnected already; the window follows as after "&Разорвать".
    setConnectedState(false);
    const QString text = QStringLiteral("Связь потеряна: ") + comboPortText();
    engine_.StatusPanel1.set(text);
    engine_.log().message(text);
}

void Station::setConnectedState(bool connected)
{
    ActionDisconnect.setEnabled(connected);
    ActionConnect.setEnabled(!connected);
    ComboPort.setEnabled(!connected);
    NPortMenu.setEnabled(!connected);
    ComboBaud.setEnabled(!connected);
    NBaudMenu.setEnabled(!connected);
    if (!connected) {
        setWriteActionsEnabled(false);
        ActionFindAddress.setEnabled(false);
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
    const int i = ComboPort.value();
    const PortItem *chosen = i >= 0 && i < static_cast<int>(ports_.size()) ? &ports_[static_cast<size_t>(i)] : nullptr;
    const bool byPath = chosen && chosen->byPath && chosen->number == portNumber_;
    WriteCloseSettings(settings_, byPath && portNumber_ == kPathPortNumber ? 0 : portNumber_, ddm,
                       byPath ? chosen->device : QString());
}

void Station::ActionResetExecute() { clearMeterData(); }

void Station::SaveExchangeLog()
{
    // Before the first connection the panel's choice heads the file.
    const ExchangeLogHeader header{logPort_.isEmpty() ? comboPortText() : logPort_, logBaud_ ? logBaud_ : baud(),
                                   engine_.SpinAddr.value(), facts_.now()};
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
    if (localRecorder_)
        localRecorder_->RecordLocal();
    else if (central_ && modes_.SqlMode)
        central_->RecordCentral();
}

void Station::executeActionReset() { ActionReset.execute(); }

void Station::setWriteActionsEnabled(bool on)
{
    meter_->setWriteActionsEnabled(on);
    ActionFixDb.setEnabled(on);
}

void Station::setFindAddressEnabled(bool on) { ActionFindAddress.setEnabled(on); }

void Station::replyAccepted(quint8 code) { journals_->replyAccepted(code); }

void Station::followClock() { meter_->followClock(); }

} // namespace ordan
