// A station that dies: appends one row to the table and is killed, either by the test
// right after the append returned or by itself at a durable step inside the append.
// Or one of many stations sharing the table: it waits for the test's "go" and appends.
//
//   dbf_append_helper PATH NUMBER returned|record-written|record-active|header-counted|on-go
//
// "returned": prints "appended" once the append returned, then waits to be killed.
// "on-go": reads a line from stdin, appends, prints "appended" and exits.
#include "records/dbf_table.h"

#include <QCoreApplication>
#include <QDate>
#include <QString>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <unistd.h>
#endif

#if defined(Q_OS_WIN)
constexpr UINT kCrashStatus = 0xC0000005; // STATUS_ACCESS_VIOLATION
#endif

// Ends this process at once, as a power cut would: no destructor, no flush.
[[noreturn]] static void DieNow()
{
#if defined(Q_OS_WIN)
    // An exception's status, which QProcess reports as a crash (a small code is a normal exit).
    ::TerminateProcess(::GetCurrentProcess(), kCrashStatus);
#else
    ::kill(::getpid(), SIGKILL);
#endif
    std::abort();
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: dbf_append_helper PATH NUMBER STAGE\n");
        return 2;
    }
    const QString stage = args[3];
    ordan::DbfTable table(args[1]);
    table.setStageHook([&](ordan::DbfTable::AppendStage s) {
        using S = ordan::DbfTable::AppendStage;
        const bool die = (s == S::RecordWritten && stage == QStringLiteral("record-written")) ||
                         (s == S::RecordActive && stage == QStringLiteral("record-active")) ||
                         (s == S::HeaderCounted && stage == QStringLiteral("header-counted"));
        if (die)
            DieNow();
    });
    if (stage == QStringLiteral("on-go")) {
        std::string line;
        std::getline(std::cin, line);
    }
    const ordan::LocalRow row{{QStringLiteral("c_number"), args[2].toInt()},
                              {QStringLiteral("date_rec"), QDate(2026, 12, 8)},
                              {QStringLiteral("version"), QStringLiteral("5.12")},
                              {QStringLiteral("summer"), true}};
    if (const ordan::Status appended = table.append(row); !appended) {
        std::fprintf(stderr, "%s\n", appended.error().toLocal8Bit().constData());
        return 1;
    }
    std::printf("appended\n");
    std::fflush(stdout);
    if (stage == QStringLiteral("on-go"))
        return 0;
    // Waits to be killed.
    for (;;) {
#if defined(Q_OS_WIN)
        ::Sleep(INFINITE);
#else
        ::pause();
#endif
    }
}
