#include "app/qt_system_facts.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#ifdef Q_OS_WIN
#include <windows.h>

#include <lmcons.h> // after windows.h, which it needs
#else
#include <pwd.h>
#include <sys/sysinfo.h>
#include <time.h>
#include <unistd.h>
#endif

namespace ordan {

QString QtSystemFacts::computerName() const
{
#ifdef Q_OS_WIN
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (GetComputerNameW(name, &size))
        return QString::fromWCharArray(name, static_cast<int>(size));
#endif
    return QSysInfo::machineHostName();
}

QString QtSystemFacts::loginName() const
{
#ifdef Q_OS_WIN
    // The whole name, however long: the buffer is sized by the system.
    DWORD size = 0;
    GetUserNameW(nullptr, &size);
    std::wstring name(size, L'\0');
    if (size > 0 && GetUserNameW(name.data(), &size))
        return QString::fromWCharArray(name.c_str(), static_cast<int>(size > 0 ? size - 1 : 0));
    return qEnvironmentVariable("USERNAME");
#else
    if (const passwd *pw = getpwuid(geteuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
#endif
}

QDateTime QtSystemFacts::now() const { return QDateTime::currentDateTime(); }

bool QtSystemFacts::setClock(const QDateTime &localTime)
{
#ifdef Q_OS_WIN
    const QDate d = localTime.date();
    const QTime t = localTime.time();
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(d.year());
    st.wMonth = static_cast<WORD>(d.month());
    st.wDay = static_cast<WORD>(d.day());
    st.wHour = static_cast<WORD>(t.hour());
    st.wMinute = static_cast<WORD>(t.minute());
    st.wSecond = static_cast<WORD>(t.second());
    st.wMilliseconds = static_cast<WORD>(t.msec());
    return SetLocalTime(&st) != 0;
#else
    const qint64 ms = localTime.toMSecsSinceEpoch();
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ms / 1000);
    ts.tv_nsec = static_cast<long>((ms % 1000) * 1000000);
    return clock_settime(CLOCK_REALTIME, &ts) == 0;
#endif
}

quint64 QtSystemFacts::totalPhysicalMemory() const
{
#ifdef Q_OS_WIN
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
#else
    struct sysinfo info {};
    return sysinfo(&info) == 0 ? static_cast<quint64>(info.totalram) * info.mem_unit : 0;
#endif
}

quint64 QtSystemFacts::availablePhysicalMemory() const
{
#ifdef Q_OS_WIN
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    return GlobalMemoryStatusEx(&status) ? status.ullAvailPhys : 0;
#else
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (meminfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : meminfo.readAll().split('\n')) {
            if (line.startsWith("MemAvailable:"))
                return line.mid(13).trimmed().split(' ').value(0).toULongLong() * 1024;
        }
    }
    struct sysinfo info {};
    return sysinfo(&info) == 0 ? static_cast<quint64>(info.freeram) * info.mem_unit : 0;
#endif
}

bool QtSystemFacts::openWithShell(const QUrl &target) { return QDesktopServices::openUrl(target); }

bool QtSystemFacts::fileExists(const QString &folder, const QString &name) const
{
    return QFileInfo::exists(QDir(folder).filePath(name));
}

} // namespace ordan
