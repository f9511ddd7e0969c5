#pragma once

#include <QString>

#include <array>
#include <vector>

namespace ordan {

// The line speeds offered, in the order of the speed list and its menu.
inline constexpr std::array<int, 4> kBaudRates = {1200, 2400, 4800, 9600};
inline constexpr int kDefaultBaudIndex = 2; // 4800

// The index of a speed in kBaudRates; -1 when it is not offered.
constexpr int BaudIndex(int baud)
{
    for (size_t i = 0; i < kBaudRates.size(); ++i)
        if (kBaudRates[i] == baud)
            return static_cast<int>(i);
    return -1;
}

// A serial port as the station lists it: the name shown in the port list and the menu, the
// port number stored in the registry value "Port", and the device opened.
//
// Port numbers: a Windows name COMn has the number n, whole (COM12 is 12). Elsewhere the
// conventional numbering is kept for built-in ports (ttyS0 is port 1, like COM1) and adapters
// get stable numbers of their own: ttyUSBk is 101 + k, ttyACMk is 201 + k. Any other device
// (a pseudo-terminal given with --port) has no number of its own and gets 1000.
struct PortItem {
    QString name;
    int number = 0; // 0: the name carries no readable number
    QString device;
    bool byPath = false; // given by its path (command line or remembered), not listed by the system
};

// The number of a device given by its path that carries no number of its own.
inline constexpr int kPathPortNumber = 1000;

// How the system names its serial devices: COMn, opened by that name, on Windows; a name under
// /dev elsewhere.
enum class PortNaming { Windows, Posix };

int PortNumberOf(const QString &name);
// The device of a port number: COMn on Windows; ttyS(n-1), ttyUSB(n-101), ttyACM(n-201) elsewhere.
QString DeviceForPortNumber(int number, PortNaming naming);
// The device opened for a name the system lists: a path as it is; a bare name under /dev on Posix.
QString DeviceOfPortName(const QString &name, PortNaming naming);

// The box shown when a port does not open: the fixed first line with the port's name, the
// system's reason on the second, and for a refused access the group to join.
QString OpenFailureText(const QString &portName, const QString &reason, const QString &accessGroup);

// What the platform reports about its serial ports.
class PortEnumerator {
public:
    virtual ~PortEnumerator() = default;
    // Windows: the values of HARDWARE\DEVICEMAP\SERIALCOMM in the order returned; elsewhere the
    // serial devices the system reports, by name.
    virtual std::vector<QString> systemPortNames() = 0;
    // Opens the device at 4800 baud in mark parity, writes one zero byte and closes it.
    virtual bool probe(const QString &device) = 0;
    // Whether a device given by its path is there now (a remembered adapter may be unplugged).
    virtual bool deviceExists(const QString &device) = 0;
    virtual PortNaming naming() const = 0;
};

} // namespace ordan
