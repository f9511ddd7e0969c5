#pragma once

#include "link/line.h"
#include "link/wire_drain.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <QWinEventNotifier>
#include <qt_windows.h>

namespace ordan {

// One overlapped operation of the port with an event of its own, watched from the event loop.
class PortOperation {
public:
    PortOperation();
    ~PortOperation();
    PortOperation(const PortOperation &) = delete;
    PortOperation &operator=(const PortOperation &) = delete;

    bool valid() const { return event_ != nullptr; }
    // A fresh OVERLAPPED for the next call; the event is cleared.
    OVERLAPPED *start();
    // After the event fired: the operation is over, the event is cleared so the notifier
    // does not fire again for it.
    void finished();
    // After the call that starts the operation: ERROR_SUCCESS once it is under way or done,
    // else why it would not start.
    DWORD began(BOOL called);
    // Once the event fired: the operation's end, false with the system's code when it failed.
    bool collect(HANDLE port, DWORD &bytes, DWORD &code);
    bool pending() const { return pending_; }
    OVERLAPPED *overlapped() { return &overlapped_; }
    QWinEventNotifier &notifier() { return notifier_; }
    // Waits at most `ms` for the operation to end once it has been cancelled.
    void settle(HANDLE port, DWORD ms);

private:
    HANDLE event_ = nullptr;
    OVERLAPPED overlapped_{};
    QWinEventNotifier notifier_;
    bool pending_ = false;
};

// The Line on a Windows COM port through the system's overlapped I/O, every operation with an
// event of its own. (Qt's port waits on a completion port, which Wine's serial code never
// signals; an event is signalled on both.) One WaitCommEvent is always pending for received
// bytes and breaks; writes go out one at a time in order, and transmit-empty follows once the
// wire time is waited out (WireDrain). A port whose wait, read or write fails as a removed
// device does is reported once as a lost line and closed.
class Win32SerialLine final : public QObject, public Line {
    Q_OBJECT
public:
    explicit Win32SerialLine(QObject *parent = nullptr);
    ~Win32SerialLine() override;

    Status open(const QString &port, int baud) override;
    Status close() override;
    bool isOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }
    Status setParity(Parity parity) override;
    Parity parity() const override { return parity_; }
    void setRts(bool on) override;
    bool dsr() const override;
    Status write(const QByteArray &bytes) override;
    QByteArray readAll() override;

private:
    Status configure(int baud);
    void closePort();
    // ERROR_SUCCESS once the wait is under way, else why it would not start.
    DWORD startWait();
    void onWaitEnded();
    // ERROR_SUCCESS once the write is under way, else why it would not start.
    DWORD startWrite(QByteArray bytes);
    void onWriteEnded();
    // Moves what the port holds into received_; false with the code when the port failed.
    bool takeReceived(DWORD &code);
    void fail(DWORD code, LineError otherwise);

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    DCB dcb_{};
    PortOperation wait_;
    PortOperation write_;
    PortOperation read_;
    DWORD events_ = 0;
    QByteArray writing_;
    QByteArray queued_;
    QByteArray received_;
    QTimer rearm_;
    WireDrain drain_;
    Parity parity_ = Parity::Mark;
    bool rtsSupported_ = true;
};

} // namespace ordan
