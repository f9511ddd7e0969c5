#include "app/command_line.h"

#include "link/port_list.h"

namespace ordan {

QString CommandLineHelp()
{
    return QStringLiteral("Usage: ordan-klv [options]\n"
                          "Programming station for ORDAN-04-3TG and Velm 732 meters.\n\n"
                          "  --port DEVICE   add DEVICE (for example /dev/ttyUSB0 or a pseudo-terminal) to the\n"
                          "                  port list and select it\n"
                          "  --baud N        line speed: 1200, 2400, 4800 or 9600 (default 4800)\n"
                          "  --address N     bus address of the meter, 0..255 (default 0)\n"
                          "  --connect       connect as soon as the window is shown\n"
                          "  --line-mode     arm the line mode: every new meter on the bus is programmed with\n"
                          "                  the prepared settings, read back and counted\n"
                          "  --create-setting-table [PATH]\n"
                          "                  write an empty settings log Setting.DBF (default ./Setting.DBF) and\n"
                          "                  exit; an existing file is never overwritten\n"
                          "  --version       show the program's version\n"
                          "  -h, --help      show this help\n");
}

QString ProgramVersion() { return QStringLiteral(ORDAN_VERSION); }

QString CommandLineVersion() { return QStringLiteral("ordan-klv ") + ProgramVersion() + QStringLiteral("\n"); }

CommandLine ParseCommandLine(const QStringList &arguments)
{
    CommandLine cl;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        auto value = [&](const QString &name) -> std::optional<QString> {
            if (i + 1 >= arguments.size()) {
                cl.error = QStringLiteral("%1 needs a value").arg(name);
                return std::nullopt;
            }
            return arguments[++i];
        };
        auto number = [&](const QString &name, int low, int high) -> std::optional<int> {
            const auto text = value(name);
            if (!text)
                return std::nullopt;
            bool ok = false;
            const int n = text->toInt(&ok);
            if (!ok || n < low || n > high) {
                cl.error = QStringLiteral("%1: invalid value '%2'").arg(name, *text);
                return std::nullopt;
            }
            return n;
        };
        if (arg == QStringLiteral("--port")) {
            if (const auto v = value(arg))
                cl.port = *v;
        } else if (arg == QStringLiteral("--baud")) {
            cl.baud = number(arg, 1200, 9600);
            if (cl.baud && BaudIndex(*cl.baud) < 0) {
                cl.error = QStringLiteral("--baud: use 1200, 2400, 4800 or 9600");
                cl.baud.reset();
            }
        } else if (arg == QStringLiteral("--address")) {
            cl.address = number(arg, 0, 255);
        } else if (arg == QStringLiteral("--create-setting-table")) {
            cl.createSettingTable = QString();
            if (i + 1 < arguments.size() && !arguments[i + 1].startsWith(QLatin1Char('-')))
                cl.createSettingTable = arguments[++i];
        } else if (arg == QStringLiteral("--connect")) {
            cl.connect = true;
        } else if (arg == QStringLiteral("--line-mode")) {
            cl.lineMode = true;
        } else if (arg == QStringLiteral("--help") || arg == QStringLiteral("-h")) {
            cl.help = true;
        } else if (arg == QStringLiteral("--version")) {
            cl.version = true;
        } else {
            cl.error = QStringLiteral("unknown option '%1'").arg(arg);
        }
        if (!cl.error.isEmpty())
            break;
    }
    return cl;
}

} // namespace ordan
