// The programming station: one main window over the meter link.
#include "app/command_line.h"
#include "app/station.h"
#include "app/station_app.h"
#include "records/local_create_command.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QLocale>

#include <cstdio>

int main(int argc, char **argv)
{
    // Making the settings log needs no window and no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const ordan::CommandLine early = ordan::ParseCommandLine(arguments);
    if (early.error.isEmpty() && !early.help && early.createSettingTable)
        return ordan::RunCreateSettingTable(early.createSettingTable->isEmpty()
                                                ? ordan::DefaultSettingTablePath(QDir::currentPath())
                                                : *early.createSettingTable);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ordan-klv"));
    QApplication::setApplicationDisplayName(ordan::Station::WindowTitle());
    QLocale::setDefault(QLocale::system());
    // The window is laid out for the small dialog font of the bench PCs.
    QFont font = QApplication::font();
    font.setPointSize(8);
    QApplication::setFont(font);

    const ordan::CommandLine options = ordan::ParseCommandLine(QApplication::arguments());
    if (options.help) {
        std::fputs(ordan::CommandLineHelp().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "ordan-klv: %s\n\n%s", options.error.toLocal8Bit().constData(),
                     ordan::CommandLineHelp().toLocal8Bit().constData());
        return 2;
    }

    ordan::StationApp station(options, QDir::currentPath());
    station.show();
    return app.exec();
}
