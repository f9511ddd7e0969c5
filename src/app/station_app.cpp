#include "app/station_app.h"

#include "app/main_window.h"
#include "app/qt_operator.h"
#include "app/qt_port_enumerator.h"
#include "app/qt_system_facts.h"
#include "app/registry_settings.h"
#include "app/station.h"
#include "core/qt_timers.h"
#include "link/serial_port_line.h"
#include "meter/status_dialog.h"
#include "ui/about_box.h"
#include "ui/help_window.h"

#include <QDialog>
#include <QDir>
#include <QTimer>

namespace ordan {

StationApp::StationApp(const CommandLine &options, QString workingDir)
    : options_(options), timers_(std::make_unique<QtTimers>()), line_(std::make_unique<SerialPortLine>()),
      operator_(std::make_unique<QtOperator>()), facts_(std::make_unique<QtSystemFacts>()),
      settings_(std::make_unique<RegistrySettings>()), ports_(std::make_unique<QtPortEnumerator>()),
      workingDir_(std::move(workingDir))
{
    station_ = std::make_unique<Station>(
        Station::Platform{*line_, *timers_, *operator_, *facts_, *settings_, *ports_, workingDir_});

    // The windows in the order the program creates them: the main window first.
    mainWindow_ = std::make_unique<MainWindow>(*station_);
    operator_->setParentWindow(mainWindow_.get());
    aboutBox_ = std::make_unique<AboutBox>(*facts_, mainWindow_.get());
    spoilageWindow_ = std::make_unique<QDialog>(mainWindow_.get());
    spoilageWindow_->setObjectName(QStringLiteral("TFormSpoilage"));
    spoilageWindow_->setWindowTitle(QStringLiteral("Классификатор брака"));
    statusWindow_ = std::make_unique<StatusDialog>(mainWindow_.get());
    helpWindow_ = std::make_unique<HelpWindow>(mainWindow_.get());

    wireParts();
    station_->FormCreate(options_.port);
    if (options_.baud) {
        const int bauds[] = {1200, 2400, 4800, 9600};
        for (int i = 0; i < 4; ++i)
            if (bauds[i] == *options_.baud)
                station_->ComboBaudChange(i);
    }
    if (options_.address)
        station_->engine().SpinAddr.set(*options_.address);

    if (const auto error = helpWindow_->load(QDir(workingDir_).filePath(HelpWindow::HelpFileName())))
        station_->ReportError(*error);
}

StationApp::~StationApp()
{
    // The windows go before the station they show.
    helpWindow_.reset();
    statusWindow_.reset();
    spoilageWindow_.reset();
    aboutBox_.reset();
    mainWindow_.reset();
    station_.reset();
}

void StationApp::wireParts()
{
    mainWindow_->onHelp = [this] { helpWindow_->open(); };
    mainWindow_->onAbout = [this] { aboutBox_->open(); };
    mainWindow_->onStatusDecoding = [this] { statusWindow_->open(); };
}

void StationApp::show()
{
    mainWindow_->show();
    if (options_.connect)
        QTimer::singleShot(0, mainWindow_.get(), [this] { station_->ActionConnect.execute(); });
}

} // namespace ordan
