#pragma once

// The Line on this system's own serial ports.

#include <QtGlobal>

#ifdef Q_OS_WIN
#include "link/win32_serial_line.h"
namespace ordan {
using SystemSerialLine = Win32SerialLine;
}
#else
#include "link/serial_port_line.h"
namespace ordan {
using SystemSerialLine = SerialPortLine;
}
#endif
