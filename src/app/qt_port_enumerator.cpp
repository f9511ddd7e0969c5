#include "app/qt_port_enumerator.h"

#include <QSerialPort>
#include <QSerialPortInfo>
#include <QSettings>

namespace ordan {

std::vector<QString> QtPortEnumerator::systemPortNames()
{
    std::vector<QString> names;
#ifdef Q_OS_WIN
    QSettings map(QStringLiteral("HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM"), QSettings::NativeFormat);
    for (const QString &key : map.childKeys())
        names.push_back(map.value(key).toString());
#else
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names.push_back(info.portName());
#endif
    return names;
}

bool QtPortEnumerator::probe(const QString &device)
{
    QSerialPort port(device);
    port.setBaudRate(4800);
    port.setParity(QSerialPort::MarkParity);
    if (!port.open(QIODevice::ReadWrite))
        return false;
    const bool written = port.write(QByteArray(1, '\0')) == 1 && port.waitForBytesWritten(200);
    port.close();
    return written;
}

} // namespace ordan
