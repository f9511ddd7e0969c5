#include "app/station_app.h"

#include "app/line_mode.h"
#include "app/line_mode_window.h"
#include "app/main_window.h"
#include "app/qt_operator.h"
#include "app/qt_port_enumerator.h"
#include "app/qt_system_facts.h"
#include "app/registry_settings.h"
#include "app/station.h"
#include "core/qt_timers.h"
#include "core/thread_background.h"
#include "journals/xls_export_files.h"
#include "link/system_serial_line.h"
#include "meter/meter_panel.h"
#include "meter/status_dialog.h"
#include "records/dbf_table.h"
#include "records/local_create_command.h"
#include "records/local_log_page.h"
#include "records/local_log_view.h"
#include "records/spoilage_window.h"
#include "records/sql_odbc_session.h"
#include "ui/about_box.h"
#include "ui/help_file.h"
#include "ui/help_window.h"

#include <QCoreApplication>
#include <QDialog>
#include <QTabWidget>
#include <QTimer>

namespace ordan {

StationApp::StationApp(const CommandLine &options, QString workingDir)
    : options_(options), timers_(std::make_unique<QtTimers>()), line_(std::make_unique<SystemSerialLine>()),
      operator_(std::make_unique<QtOperator>()), facts_(std::make_unique<QtSystemFacts>()),
      settings_(std::make_unique<RegistrySettings>()), ports_(std::make_unique<QtPortEnumerator>()),
      exportFiles_(std::make_unique<XlsExportFiles>()), workingDir_(std::move(workingDir))
{
    localTable_ = std::make_unique<DbfTable>(DefaultSettingTablePath(workingDir_));
    // The production database: used in database mode only; the connection opens on the first
    // statement. A connection belongs to the thread that made it, so the session is made, used
    // and destroyed on the records' worker, which also appends to Setting.DBF.
    recordsWorker_ = std::make_unique<ThreadBackground>(QStringLiteral("records"));
    if (!recordsWorker_->runAndWait([this] {
            db_ = std::make_unique<OdbcSqlSession>(QStringLiteral("Electrometer"), QStringLiteral("Database1"));
        }))
        qFatal("the records' worker did not start");
    station_ = std::make_unique<Station>(Station::Platform{*line_, *timers_, *operator_, *facts_, *settings_, *ports_,
                                                           *exportFiles_, workingDir_, localTable_.get(), db_.get(),
                                                           recordsWorker_.get()});

    // The windows in the order the program creates them: the main window first.
    mainWindow_ = std::make_unique<MainWindow>(*station_);
    operator_->setParentWindow(mainWindow_.get());
    aboutBox_ = std::make_unique<AboutBox>(*facts_, mainWindow_.get());
    spoilageWindow_ = std::make_unique<SpoilageWindow>(*station_->spoilage(), mainWindow_.get());
    statusWindow_ = std::make_unique<StatusDialog>(mainWindow_.get());
    helpWindow_ = std::make_unique<HelpWindow>(mainWindow_.get());
    if (LineMode *line = station_->lineMode())
        lineWindow_ = std::make_unique<LineModeWindow>(*station_, *line, mainWindow_.get());

    wireParts();
    station_->FormCreate(options_.port, options_.lineMode);
    if (const int baud = options_.baud ? BaudIndex(*options_.baud) : -1; baud >= 0)
        station_->panel().ComboBaudChange(baud);
    if (options_.address)
        station_->panel().SpinAddr.set(*options_.address);

    const QString helpFile = LocateHelpFile(workingDir_, QCoreApplication::applicationDirPath());
    if (const Status loaded = helpWindow_->load(helpFile); !loaded)
        station_->ReportError(loaded.error());
}

StationApp::~StationApp()
{
    // The windows go before the station they show, the station before its table.
    lineWindow_.reset();
    helpWindow_.reset();
    statusWindow_.reset();
    spoilageWindow_.reset();
    aboutBox_.reset();
    mainWindow_.reset();
    station_.reset();
    // Whatever the station posted last (its final records) is done before the session goes.
    if (!recordsWorker_->runAndWait([this] { db_.reset(); })) {
        // Still busy on the worker: what its job uses is left to the process's end.
        (void)db_.release();
        (void)localTable_.release();
    }
    recordsWorker_.reset();
}

void StationApp::wireParts()
{
    mainWindow_->onHelp = [this] { helpWindow_->open(); };
    mainWindow_->onAbout = [this] { aboutBox_->open(); };
    mainWindow_->onStatusDecoding = [this] { statusWindow_->open(); };
    mainWindow_->onActivated = [this] { station_->FormActivate(); };
    QObject::connect(station_.get(), &Station::endProgramRequested, mainWindow_.get(), [this] {
        mainWindow_->runCloseSteps = false;
        QCoreApplication::quit();
    });
    if (lineWindow_) {
        // Armed, the line's window comes up; it stays until the operator closes it.
        auto showLine = [this] {
            if (station_->LineModeArmed.value()) {
                lineWindow_->show();
                lineWindow_->raise();
            }
        };
        QObject::connect(&station_->LineModeArmed, &FieldBase::valueChanged, lineWindow_.get(), showLine);
    }
    if (LocalLogView *log = station_->localLog()) {
        mainWindow_->setPage(MainPage::Database, new LocalLogPage(*log));
        QObject::connect(log, &LocalLogView::activePageRequested, mainWindow_->pages(), &QTabWidget::setCurrentIndex);
    }
}

void StationApp::show()
{
    mainWindow_->show();
    if (lineWindow_ && station_->LineModeArmed.value())
        lineWindow_->show();
    if (options_.connect)
        QTimer::singleShot(0, mainWindow_.get(), [this] { station_->ActionConnect.execute(); });
}

} // namespace ordan
