// The programming station: one main window over the meter link.
#include "app/application_setup.h"
#include "app/command_line.h"
#include "app/station_app.h"
#include "records/local_create_command.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

namespace {

// Help, version and an option error go to the terminal; true when the program ends here.
bool Answered(const ordan::CommandLine &options, int &status)
{
    if (options.help) {
        std::fputs(ordan::CommandLineHelp().toLocal8Bit().constData(), stdout);
        status = 0;
        return true;
    }
    if (options.version) {
        std::fputs(ordan::CommandLineVersion().toLocal8Bit().constData(), stdout);
        status = 0;
        return true;
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "ordan-klv: %s\n\n%s", options.error.toLocal8Bit().constData(),
                     ordan::CommandLineHelp().toLocal8Bit().constData());
        status = 2;
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    // --help, --version and making the settings log need no window and no display. An option
    // error waits for the application object: Qt's own options (-platform, -style) are only
    // known once it has taken them out.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const ordan::CommandLine early = ordan::ParseCommandLine(arguments);
    int status = 0;
    if (early.error.isEmpty() && Answered(early, status))
        return status;
    if (early.error.isEmpty() && early.createSettingTable)
        return ordan::RunCreateSettingTable(early.createSettingTable->isEmpty()
                                                ? ordan::DefaultSettingTablePath(QDir::currentPath())
                                                : *early.createSettingTable);

    QApplication app(argc, argv);
    ordan::SetUpApplication(app);

    const ordan::CommandLine options = ordan::ParseCommandLine(QApplication::arguments());
    if (Answered(options, status))
        return status;

    ordan::StationApp station(options, QDir::currentPath());
    station.show();
    return app.exec();
}
