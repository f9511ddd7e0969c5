#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace ordan {

struct CommandLine {
    QString port;                              // --port DEVICE
    std::optional<int> baud;                   // --baud N
    std::optional<int> address;                // --address N
    bool connect = false;                      // --connect
    bool lineMode = false;                     // --line-mode
    std::optional<QString> createSettingTable; // --create-setting-table [PATH]; empty: ./Setting.DBF
    bool help = false;
    bool version = false; // --version
    QString error;        // a bad option: the text to print
};

CommandLine ParseCommandLine(const QStringList &arguments);
QString CommandLineHelp();
// The program's version, "1.5".
QString ProgramVersion();
// "ordan-klv 1.5": the line --version prints.
QString CommandLineVersion();

} // namespace ordan
