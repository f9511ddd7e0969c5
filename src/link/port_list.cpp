#include "link/port_list.h"

#include <QRegularExpression>

namespace ordan {

int PortNumberOf(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^(?:.*/)?(com|ttyS|ttyUSB|ttyACM)(\\d+)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto m = pattern.match(name);
    if (!m.hasMatch())
        return 0;
    bool ok = false;
    const int n = m.captured(2).toInt(&ok);
    if (!ok)
        return 0;
    const QString prefix = m.captured(1).toLower();
    if (prefix == QStringLiteral("com"))
        return n;
    if (prefix == QStringLiteral("ttys"))
        return n + 1;
    if (prefix == QStringLiteral("ttyusb"))
        return n + 101;
    return n + 201;
}

QString OpenFailureText(const QString &portName, const QString &reason, const QString &accessGroup)
{
    QString text = QStringLiteral("Ошибка открытия порта ") + portName;
    if (!reason.isEmpty())
        text += QLatin1Char('\n') + reason;
    if (!accessGroup.isEmpty())
        text += QStringLiteral("\nНет прав на устройство: пользователь должен входить в группу «%1», "
                               "которой оно принадлежит (sudo usermod -aG %1 ИМЯ и новый вход в систему).")
                    .arg(accessGroup);
    return text;
}

QString DeviceForPortNumber(int number, PortNaming naming)
{
    if (naming == PortNaming::Windows)
        return QStringLiteral("COM%1").arg(number);
    if (number >= 201)
        return QStringLiteral("/dev/ttyACM%1").arg(number - 201);
    if (number >= 101)
        return QStringLiteral("/dev/ttyUSB%1").arg(number - 101);
    return QStringLiteral("/dev/ttyS%1").arg(qMax(0, number - 1));
}

QString DeviceOfPortName(const QString &name, PortNaming naming)
{
    if (naming == PortNaming::Windows || name.startsWith(QLatin1Char('/')) || PortNumberOf(name) == 0)
        return name;
    return QStringLiteral("/dev/") + name;
}

} // namespace ordan
