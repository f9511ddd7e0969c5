#include "app/qt_port_enumerator.h"

#include "core/timings.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace ordan {

namespace {

#ifdef Q_OS_WIN
// The port names of HARDWARE\DEVICEMAP\SERIALCOMM in the order the registry returns them.
// QSettings cannot read these values: their names are device paths full of backslashes.
std::vector<QString> SerialCommPortNames()
{
    std::vector<QString> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index) {
        wchar_t valueName[256];
        DWORD valueNameSize = 256;
        wchar_t data[256];
        DWORD dataSize = sizeof(data);
        DWORD type = 0;
        const LONG status = RegEnumValueW(key, index, valueName, &valueNameSize, nullptr, &type,
                                          reinterpret_cast<BYTE *>(data), &dataSize);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS || type != REG_SZ)
            continue;
        // The stored string may or may not carry its terminating zero.
        qsizetype length = static_cast<qsizetype>(dataSize / sizeof(wchar_t));
        while (length > 0 && data[length - 1] == L'\0')
            --length;
        names.push_back(QString::fromWCharArray(data, length));
    }
    RegCloseKey(key);
    return names;
}
#endif

} // namespace

std::vector<QString> QtPortEnumerator::systemPortNames()
{
#ifdef Q_OS_WIN
    return SerialCommPortNames();
#else
    std::vector<QString> names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names.push_back(info.portName());
    return names;
#endif
}

bool QtPortEnumerator::probe(const QString &device)
{
    QSerialPort port(device);
    port.setBaudRate(4800);
    port.setParity(QSerialPort::MarkParity);
    if (!port.open(QIODevice::ReadWrite))
        return false;
    const bool written =
        port.write(QByteArray(1, '\0')) == 1 && port.waitForBytesWritten(timing::Ms(timing::kPortProbeWrite));
    port.close();
    return written;
}

bool QtPortEnumerator::deviceExists(const QString &device)
{
    return QFileInfo::exists(device) || !QSerialPortInfo(device).isNull();
}

PortNaming QtPortEnumerator::naming() const
{
#ifdef Q_OS_WIN
    return PortNaming::Windows;
#else
    return PortNaming::Posix;
#endif
}

} // namespace ordan
