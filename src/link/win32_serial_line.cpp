#include "link/win32_serial_line.h"

#include <cmath>
#include <utility>

namespace ordan {

namespace {

constexpr DWORD kQueueBytes = 4096;
// Every end of an operation is prompt once it is cancelled or the port has the bytes; these
// only bound the wait should a driver not keep to that.
constexpr DWORD kReadWaitMs = 200;
constexpr DWORD kSettleMs = 500;
// A wait that ends with nothing to tell (a driver that ends it on its own) is armed again
// after this long rather than at once, so such a driver cannot make the line spin.
constexpr int kRearmAfterEmptyMs = 10;
// A write the port has not sent after its wire time and this much more has failed.
constexpr DWORD kWriteSlackMs = 1000;

QString SystemText(DWORD code) { return qt_error_string(static_cast<int>(code)); }

// What Windows answers for a port whose device has gone (a USB adapter pulled out) or whose
// far side hung up: nothing more will pass until it is opened again.
bool DeviceGone(DWORD code)
{
    switch (code) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_GEN_FAILURE:
    case ERROR_INVALID_HANDLE:
    case ERROR_IO_DEVICE:
    case ERROR_NOT_READY:
    case ERROR_OPERATION_ABORTED:
    case ERROR_BROKEN_PIPE: return true;
    default: return false;
    }
}

BYTE ParityByte(Parity parity) { return parity == Parity::Mark ? MARKPARITY : SPACEPARITY; }

} // namespace

PortOperation::PortOperation() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    if (event_)
        notifier_.setHandle(event_);
    notifier_.setEnabled(false);
}

PortOperation::~PortOperation()
{
    notifier_.setEnabled(false);
    if (event_)
        ::CloseHandle(event_);
}

OVERLAPPED *PortOperation::start()
{
    overlapped_ = OVERLAPPED{};
    overlapped_.hEvent = event_;
    ::ResetEvent(event_);
    pending_ = true;
    return &overlapped_;
}

void PortOperation::finished()
{
    ::ResetEvent(event_);
    pending_ = false;
}

DWORD PortOperation::began(BOOL called)
{
    const DWORD code = called ? ERROR_SUCCESS : ::GetLastError();
    if (code == ERROR_SUCCESS || code == ERROR_IO_PENDING)
        return ERROR_SUCCESS;
    finished();
    return code;
}

bool PortOperation::collect(HANDLE port, DWORD &bytes, DWORD &code)
{
    const bool ended = ::GetOverlappedResult(port, &overlapped_, &bytes, FALSE);
    code = ended ? ERROR_SUCCESS : ::GetLastError();
    finished();
    return ended;
}

void PortOperation::settle(HANDLE port, DWORD ms)
{
    if (!pending_)
        return;
    DWORD ignored = 0;
    if (::WaitForSingleObject(event_, ms) == WAIT_OBJECT_0)
        collect(port, ignored, ignored);
    else
        finished();
}

Win32SerialLine::Win32SerialLine(QObject *parent) : QObject(parent), drain_([this] { notifyTransmitEmpty(); })
{
    rearm_.setSingleShot(true);
    connect(&rearm_, &QTimer::timeout, this, [this] {
        if (!isOpen() || wait_.pending())
            return;
        if (const DWORD code = startWait(); code != ERROR_SUCCESS)
            fail(code, LineError::Lost);
    });
    connect(&wait_.notifier(), &QWinEventNotifier::activated, this, [this] { onWaitEnded(); });
    connect(&write_.notifier(), &QWinEventNotifier::activated, this, [this] { onWriteEnded(); });
}

Win32SerialLine::~Win32SerialLine() { closePort(); }

Status Win32SerialLine::open(const QString &port, int baud)
{
    closePort();
    if (!wait_.valid() || !write_.valid() || !read_.valid())
        return Fail(SystemText(ERROR_NOT_ENOUGH_MEMORY));
    // COM10 and above open only by their device path; a path given as such is taken as it is.
    const QString path = port.startsWith(QLatin1String("\\\\")) ? port : QStringLiteral("\\\\.\\") + port;
    handle_ = ::CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE)
        return Fail(SystemText(::GetLastError()));
    if (Status configured = configure(baud); !configured) {
        closePort();
        return configured;
    }
    parity_ = Parity::Mark;
    rtsSupported_ = true;
    drain_.setBaud(baud);
    if (const DWORD code = startWait(); code != ERROR_SUCCESS) {
        closePort();
        return Fail(SystemText(code));
    }
    return {};
}

Status Win32SerialLine::configure(int baud)
{
    dcb_ = DCB{};
    dcb_.DCBlength = sizeof(DCB);
    if (!::GetCommState(handle_, &dcb_))
        return Fail(SystemText(::GetLastError()));
    dcb_.BaudRate = static_cast<DWORD>(baud);
    dcb_.ByteSize = 8;
    dcb_.StopBits = ONESTOPBIT;
    dcb_.Parity = MARKPARITY;
    dcb_.fBinary = TRUE;
    // The parity of received bytes is never tested.
    dcb_.fParity = FALSE;
    dcb_.fOutxCtsFlow = FALSE;
    dcb_.fOutxDsrFlow = FALSE;
    dcb_.fDtrControl = DTR_CONTROL_DISABLE;
    dcb_.fDsrSensitivity = FALSE;
    dcb_.fTXContinueOnXoff = TRUE;
    dcb_.fOutX = FALSE;
    dcb_.fInX = FALSE;
    dcb_.fErrorChar = FALSE;
    dcb_.fNull = FALSE;
    dcb_.fRtsControl = RTS_CONTROL_ENABLE;
    dcb_.fAbortOnError = FALSE;
    if (!::SetCommState(handle_, &dcb_))
        return Fail(SystemText(::GetLastError()));
    // A read returns at once with what has come; a write is bounded by its wire time.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutMultiplier = static_cast<DWORD>(std::ceil(WireTimeMs(1, baud)));
    timeouts.WriteTotalTimeoutConstant = kWriteSlackMs;
    if (!::SetupComm(handle_, kQueueBytes, kQueueBytes) || !::SetCommTimeouts(handle_, &timeouts) ||
        !::PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR) || !::SetCommMask(handle_, EV_RXCHAR | EV_BREAK))
        return Fail(SystemText(::GetLastError()));
    return {};
}

Status Win32SerialLine::close()
{
    closePort();
    return {};
}

void Win32SerialLine::closePort()
{
    rearm_.stop();
    drain_.reset();
    writing_.clear();
    queued_.clear();
    received_.clear();
    wait_.notifier().setEnabled(false);
    write_.notifier().setEnabled(false);
    if (handle_ == INVALID_HANDLE_VALUE)
        return;
    // A mask of nothing ends the pending wait; the rest is cancelled.
    ::SetCommMask(handle_, 0);
    ::CancelIoEx(handle_, nullptr);
    wait_.settle(handle_, kSettleMs);
    write_.settle(handle_, kSettleMs);
    ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

DWORD Win32SerialLine::startWait()
{
    events_ = 0;
    const DWORD code = wait_.began(::WaitCommEvent(handle_, &events_, wait_.start()));
    // Ended at once or later, the event tells: one path for both.
    if (code == ERROR_SUCCESS)
        wait_.notifier().setEnabled(true);
    return code;
}

void Win32SerialLine::onWaitEnded()
{
    if (!wait_.pending() || !isOpen())
        return;
    DWORD ignored = 0;
    DWORD code = ERROR_SUCCESS;
    if (!wait_.collect(handle_, ignored, code)) {
        fail(code, LineError::Lost);
        return;
    }
    const DWORD events = events_;
    if (!takeReceived(code)) {
        fail(code, LineError::Other);
        return;
    }
    const bool received = !received_.isEmpty();
    const bool brk = (events & EV_BREAK) != 0;
    if (received || brk) {
        if (code = startWait(); code != ERROR_SUCCESS) {
            fail(code, LineError::Lost);
            return;
        }
    } else {
        // Nothing came of it: the next wait starts a little later.
        rearm_.start(kRearmAfterEmptyMs);
    }
    if (brk)
        notifyBreak();
    if (received && isOpen())
        notifyBytesReceived();
}

bool Win32SerialLine::takeReceived(DWORD &code)
{
    DWORD errors = 0;
    COMSTAT status{};
    // Also clears the line's error flags, which would otherwise hold up reading.
    if (!::ClearCommError(handle_, &errors, &status)) {
        code = ::GetLastError();
        return false;
    }
    if (status.cbInQue == 0)
        return true;
    QByteArray chunk(static_cast<qsizetype>(status.cbInQue), Qt::Uninitialized);
    DWORD got = 0;
    if (!::ReadFile(handle_, chunk.data(), status.cbInQue, &got, read_.start())) {
        code = ::GetLastError();
        if (code != ERROR_IO_PENDING) {
            read_.finished();
            return false;
        }
        if (::WaitForSingleObject(read_.overlapped()->hEvent, kReadWaitMs) != WAIT_OBJECT_0)
            ::CancelIoEx(handle_, read_.overlapped());
        if (!::GetOverlappedResult(handle_, read_.overlapped(), &got, TRUE)) {
            code = ::GetLastError();
            read_.finished();
            return false;
        }
    } else {
        ::GetOverlappedResult(handle_, read_.overlapped(), &got, FALSE);
    }
    read_.finished();
    received_.append(chunk.constData(), static_cast<qsizetype>(got));
    return true;
}

QByteArray Win32SerialLine::readAll()
{
    // The wait is the one reader of the port, so every byte is told of exactly once.
    return std::exchange(received_, {});
}

void Win32SerialLine::fail(DWORD code, LineError otherwise)
{
    const bool lost = otherwise == LineError::Lost || DeviceGone(code);
    if (lost)
        closePort();
    notifyError(lost ? LineError::Lost : otherwise, SystemText(code));
}

Status Win32SerialLine::setParity(Parity parity)
{
    parity_ = parity;
    if (!isOpen() || dcb_.Parity == ParityByte(parity))
        return {};
    dcb_.Parity = ParityByte(parity);
    if (!::SetCommState(handle_, &dcb_))
        return Fail(SystemText(::GetLastError()));
    return {};
}

void Win32SerialLine::setRts(bool on)
{
    if (!isOpen() || !rtsSupported_)
        return;
    if (!::EscapeCommFunction(handle_, on ? SETRTS : CLRRTS))
        rtsSupported_ = false;
}

bool Win32SerialLine::dsr() const
{
    DWORD status = 0;
    return isOpen() && ::GetCommModemStatus(handle_, &status) && (status & MS_DSR_ON) != 0;
}

Status Win32SerialLine::write(const QByteArray &bytes)
{
    if (!isOpen())
        return Fail(QStringLiteral("порт закрыт"));
    drain_.queued(bytes.size());
    if (write_.pending()) {
        queued_.append(bytes);
        return {};
    }
    const DWORD code = startWrite(bytes);
    if (code == ERROR_SUCCESS)
        return {};
    if (DeviceGone(code)) {
        // From the event loop: the engine is inside its own call to write.
        QMetaObject::invokeMethod(
            this,
            [this, code] {
                if (isOpen())
                    fail(code, LineError::Lost);
            },
            Qt::QueuedConnection);
    }
    return Fail(SystemText(code));
}

DWORD Win32SerialLine::startWrite(QByteArray bytes)
{
    // The buffer stays with the line until the write has ended.
    writing_ = std::move(bytes);
    const DWORD code = write_.began(
        ::WriteFile(handle_, writing_.constData(), static_cast<DWORD>(writing_.size()), nullptr, write_.start()));
    // Ended at once or later, the event tells.
    if (code == ERROR_SUCCESS)
        write_.notifier().setEnabled(true);
    else
        writing_.clear();
    return code;
}

void Win32SerialLine::onWriteEnded()
{
    if (!write_.pending() || !isOpen())
        return;
    DWORD sent = 0;
    DWORD code = ERROR_SUCCESS;
    const bool ended = write_.collect(handle_, sent, code);
    write_.notifier().setEnabled(false);
    if (!ended || sent != static_cast<DWORD>(writing_.size())) {
        fail(ended ? ERROR_TIMEOUT : code, LineError::Write);
        return;
    }
    drain_.handedOver(sent);
    writing_.clear();
    if (queued_.isEmpty())
        return;
    if (const DWORD next = startWrite(std::exchange(queued_, {})); next != ERROR_SUCCESS)
        fail(next, LineError::Write);
}

} // namespace ordan
