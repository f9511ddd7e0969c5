#include "link/serial_port_line.h"

#include <QFile>
#include <QScopedValueRollback>
#include <QStringList>

#include <utility>

#ifdef Q_OS_LINUX
#include <sys/sysmacros.h>
#include <termios.h>
#endif
#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ordan {

namespace {

// A pseudo-terminal's slave side, told apart from a UART by its device number: the Unix98
// slaves (/dev/pts/N) and the legacy ones (/dev/ttypN).
bool IsPseudoTerminal(QSerialPort &port)
{
#ifdef Q_OS_LINUX
    const int fd = port.handle();
    constexpr unsigned kLegacyPtySlaveMajor = 3;
    constexpr unsigned kUnix98PtySlaveMajor = 136;
    constexpr unsigned kUnix98PtyMajorCount = 8;
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned m = major(st.st_rdev);
    return m == kLegacyPtySlaveMajor || (m >= kUnix98PtySlaveMajor && m < kUnix98PtySlaveMajor + kUnix98PtyMajorCount);
#else
    Q_UNUSED(port);
    return false;
#endif
}

} // namespace

SerialPortLine::SerialPortLine(QObject *parent) : QObject(parent), drain_([this] { notifyTransmitEmpty(); })
{
    connect(&port_, &QSerialPort::readyRead, this, [this] { notifyBytesReceived(); });
    connect(&port_, &QSerialPort::bytesWritten, &drain_, &WireDrain::handedOver);
    // Errors are handled from the event loop: one raised inside a call of the engine (a parity
    // switch on a dead port) must not pull the line from under that call. What the port refuses
    // of the line's own settings (DTR, RTS and DSR on a pseudo-terminal, a parity) the line
    // handles or hands back itself; a dead port still comes through as its own error.
    connect(&port_, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::NoError || (inOwnCall_ && error == QSerialPort::UnsupportedOperationError))
            return;
        QMetaObject::invokeMethod(
            this, [this, error, reason = port_.errorString()] { onError(error, reason); }, Qt::QueuedConnection);
    });
}

SerialPortLine::~SerialPortLine()
{
    if (port_.isOpen())
        port_.close();
}

Status SerialPortLine::open(const QString &port, int baud)
{
    error_.clear();
    accessGroup_.clear();
    drain_.setBaud(baud);
    port_.setPortName(port);
    port_.setBaudRate(baud);
    port_.setDataBits(QSerialPort::Data8);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setParity(QSerialPort::MarkParity);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        error_ = port_.errorString();
        if (port_.error() == QSerialPort::PermissionError)
            explainOpenFailure();
        port_.clearError();
        return Fail(error_);
    }
    parity_ = Parity::Mark;
    drain_.reset();
    rtsSupported_ = true;
    pseudoTerminal_ = IsPseudoTerminal(port_);
    {
        const QScopedValueRollback own(inOwnCall_, true);
        port_.setDataTerminalReady(false);
    }
    setRts(true);
    port_.clearError();
    return {};
}

Status SerialPortLine::close()
{
    closePort();
    return {};
}

void SerialPortLine::closePort()
{
    drain_.reset();
    if (port_.isOpen())
        port_.close();
}

void SerialPortLine::explainOpenFailure()
{
#ifdef Q_OS_UNIX
    // Qt says "permission" for a busy port too; the system's own answer tells the two apart.
    const QByteArray path = QFile::encodeName(
        port_.portName().startsWith(QLatin1Char('/')) ? port_.portName() : QStringLiteral("/dev/") + port_.portName());
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        ::close(fd);
        return;
    }
    const int code = errno;
    error_ = QString::fromLocal8Bit(std::strerror(code));
    struct stat st {};
    if ((code == EACCES || code == EPERM) && ::stat(path.constData(), &st) == 0) {
        if (const group *g = ::getgrgid(st.st_gid))
            accessGroup_ = QString::fromLocal8Bit(g->gr_name);
        else
            accessGroup_ = QString::number(st.st_gid);
    }
#endif
}

void SerialPortLine::onError(QSerialPort::SerialPortError error, const QString &reason)
{
    if (!port_.isOpen())
        return;
    const bool lost = error == QSerialPort::ResourceError || error == QSerialPort::DeviceNotFoundError || hungUp();
    port_.clearError();
    if (lost) {
        // Nothing more will pass; closing stops Qt's notifiers from firing on the dead handle.
        closePort();
    }
    notifyError(lost                               ? LineError::Lost
                : error == QSerialPort::WriteError ? LineError::Write
                                                   : LineError::Other,
                reason);
}

bool SerialPortLine::hungUp() const
{
#ifdef Q_OS_UNIX
    // A hung-up terminal (a USB adapter pulled out) reads as end of file, which Qt passes over
    // in silence or calls a plain read error; the hang-up itself shows in poll(). The next
    // write fails outright, so the loss is reported at the latest when an exchange starts.
    if (port_.isOpen() && port_.handle() >= 0) {
        pollfd p{static_cast<int>(port_.handle()), POLLIN, 0};
        return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }
#endif
    return false;
}

Status SerialPortLine::setParity(Parity parity)
{
    parity_ = parity;
    if (!port_.isOpen())
        return {};
#ifdef Q_OS_LINUX
    // Asking for what is set already is refused where the call would change nothing (a
    // pseudo-terminal, which drops PARENB): the settings are read first.
    if (parityKept(parity))
        return {};
#endif
    const QScopedValueRollback own(inOwnCall_, true);
    if (!port_.setParity(parity == Parity::Mark ? QSerialPort::MarkParity : QSerialPort::SpaceParity))
        return Fail(portErrorText());
    return parityKept(parity);
}

QString SerialPortLine::portErrorText()
{
    const QString text = port_.errorString();
    port_.clearError();
    return text;
}

Status SerialPortLine::parityKept(Parity parity) const
{
#ifdef Q_OS_LINUX
    termios tio{};
    if (::tcgetattr(static_cast<int>(port_.handle()), &tio) != 0)
        return Fail(QString::fromLocal8Bit(std::strerror(errno)));
    // A pseudo-terminal carries no parity bit: its driver clears PARENB whatever is asked and
    // keeps the other two, so those are still checked.
    const tcflag_t checked = (pseudoTerminal_ ? 0 : PARENB) | CMSPAR | PARODD;
    const tcflag_t wanted = (PARENB | CMSPAR | (parity == Parity::Mark ? PARODD : 0)) & checked;
    const tcflag_t wrong = (tio.c_cflag & checked) ^ wanted;
    if (wrong == 0)
        return {};
    QStringList flags;
    for (const auto &[flag, name] : {std::pair{tcflag_t(PARENB), "PARENB"}, std::pair{tcflag_t(CMSPAR), "CMSPAR"},
                                     std::pair{tcflag_t(PARODD), "PARODD"}})
        if (wrong & flag)
            flags << QLatin1String(name) + ((wanted & flag) ? QStringLiteral(" снят") : QStringLiteral(" оставлен"));
    return Fail(QStringLiteral("драйвер не сохранил настройку: ") + flags.join(QStringLiteral(", ")));
#else
    // Elsewhere the port's own answer to the setting is all there is.
    Q_UNUSED(parity);
    return {};
#endif
}

void SerialPortLine::setRts(bool on)
{
    if (!port_.isOpen() || !rtsSupported_)
        return;
    const QScopedValueRollback own(inOwnCall_, true);
    if (!port_.setRequestToSend(on)) {
        // A pseudo-terminal has no RTS; stop asking so the port's error state stays clean.
        rtsSupported_ = false;
        port_.clearError();
    }
}

bool SerialPortLine::dsr() const
{
    auto &port = const_cast<QSerialPort &>(port_);
    const QScopedValueRollback own(inOwnCall_, true);
    const bool asserted = port.pinoutSignals().testFlag(QSerialPort::DataSetReadySignal);
    port.clearError();
    return asserted;
}

Status SerialPortLine::write(const QByteArray &bytes)
{
    if (!port_.isOpen())
        return Fail(QStringLiteral("порт закрыт"));
    drain_.queued(bytes.size());
    if (port_.write(bytes) != bytes.size())
        return Fail(portErrorText());
    return {};
}

} // namespace ordan
