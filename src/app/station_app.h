#pragma once

#include "app/command_line.h"

#include <QString>

#include <memory>

class QDialog;

namespace ordan {

class AboutBox;
class OdbcSqlSession;
class SpoilageWindow;
class DbfTable;
class HelpWindow;
class Line;
class LineModeWindow;
class MainWindow;
class QtOperator;
class QtPortEnumerator;
class QtSystemFacts;
class QtTimers;
class RegistrySettings;
class ThreadBackground;
class XlsExportFiles;
class Station;

// The running program: the platform adapters, the station and its windows, created in the
// order the program starts them and wired together.
class StationApp final {
public:
    explicit StationApp(const CommandLine &options, QString workingDir);
    ~StationApp();

    void show();
    Station &station() { return *station_; }
    MainWindow &mainWindow() { return *mainWindow_; }

private:
    void wireParts();

    CommandLine options_;
    std::unique_ptr<QtTimers> timers_;
    std::unique_ptr<Line> line_;
    std::unique_ptr<QtOperator> operator_;
    std::unique_ptr<QtSystemFacts> facts_;
    std::unique_ptr<RegistrySettings> settings_;
    std::unique_ptr<QtPortEnumerator> ports_;
    std::unique_ptr<XlsExportFiles> exportFiles_;
    std::unique_ptr<DbfTable> localTable_;
    // The records' own thread, and the database session that lives on it.
    std::unique_ptr<ThreadBackground> recordsWorker_;
    std::unique_ptr<OdbcSqlSession> db_;
    std::unique_ptr<Station> station_;
    std::unique_ptr<MainWindow> mainWindow_;
    std::unique_ptr<AboutBox> aboutBox_;
    std::unique_ptr<SpoilageWindow> spoilageWindow_;
    std::unique_ptr<QDialog> statusWindow_;
    std::unique_ptr<HelpWindow> helpWindow_;
    std::unique_ptr<LineModeWindow> lineWindow_; // when the station has a line mode
    QString workingDir_;
};

} // namespace ordan
