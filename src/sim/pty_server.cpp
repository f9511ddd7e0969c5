#include "sim/pty_server.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace ordan {

namespace {

// Timers count whole milliseconds; a byte goes out when it is due within half of one, so
// the pacing error is centred on zero instead of always late.
constexpr double kDueSlackMs = 0.5;

} // namespace

PtyServer::PtyServer(MeterEndpoint &endpoint, int baud, QObject *parent)
    : QObject(parent), endpoint_(endpoint), baud_(baud)
{
    pumpTimer_.setSingleShot(true);
    pumpTimer_.setTimerType(Qt::PreciseTimer);
    connect(&pumpTimer_, &QTimer::timeout, this, &PtyServer::pump);
    clock_.start();
}

PtyServer::~PtyServer()
{
    delete notifier_;
    if (master_ >= 0)
        ::close(master_);
    if (slave_ >= 0)
        ::close(slave_);
}

bool PtyServer::start(QString *error)
{
    const auto fail = [&](const char *what) {
        if (error)
            *error = QString::fromLatin1(what) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    };
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        return fail("posix_openpt");
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        return fail("grantpt/unlockpt");
    const char *name = ::ptsname(master_);
    if (!name)
        return fail("ptsname");
    slavePath_ = QString::fromLocal8Bit(name);

    // Our own hold on the slave keeps the master readable while the station has its side
    // closed (otherwise reads fail with EIO between connections).
    slave_ = ::open(name, O_RDWR | O_NOCTTY);
    if (slave_ < 0)
        return fail("open slave");
    termios tio{};
    if (::tcgetattr(slave_, &tio) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&tio);
    if (::tcsetattr(slave_, TCSANOW, &tio) != 0)
        return fail("tcsetattr");
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("fcntl");

    notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read);
    connect(notifier_, &QSocketNotifier::activated, this, &PtyServer::onReadable);
    return true;
}

double PtyServer::characterMs() const { return WireTimeMs(1, baud_); }

void PtyServer::onReadable()
{
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        const double now = static_cast<double>(clock_.nsecsElapsed()) / 1e6;
        const double ch = characterMs();
        for (ssize_t i = 0; i < n; ++i) {
            const double arrival = ch > 0 ? qMax(now, inFreeAt_) + ch : now;
            inFreeAt_ = arrival;
            const auto emissions =
                endpoint_.receive(QByteArrayView(buffer + i, 1), static_cast<qint64>(std::llround(arrival)));
            double t = arrival;
            for (const Emission &e : emissions) {
                double start = t + static_cast<double>(e.gapMs);
                for (char b : e.bytes) {
                    const double due = qMax(start, outFreeAt_) + ch;
                    outFreeAt_ = due;
                    start = due;
                    out_.push_back({due, b});
                }
                t = start;
            }
        }
    }
    schedulePump();
}

void PtyServer::pump()
{
    const double now = static_cast<double>(clock_.nsecsElapsed()) / 1e6;
    QByteArray chunk;
    while (!out_.empty() && out_.front().dueMs <= now + kDueSlackMs) {
        chunk.append(out_.front().byte);
        out_.pop_front();
    }
    qsizetype done = 0;
    while (done < chunk.size()) {
        const ssize_t n = ::write(master_, chunk.constData() + done, static_cast<size_t>(chunk.size() - done));
        if (n <= 0)
            break;
        done += n;
    }
    // Bytes the terminal would not take yet go out again first.
    for (qsizetype i = chunk.size() - 1; i >= done; --i)
        out_.push_front({now, chunk[i]});
    schedulePump();
}

void PtyServer::schedulePump()
{
    if (out_.empty())
        return;
    const double now = static_cast<double>(clock_.nsecsElapsed()) / 1e6;
    const double wait = out_.front().dueMs - now;
    pumpTimer_.start(wait <= kDueSlackMs ? 0 : static_cast<int>(std::llround(wait)));
}

namespace {

int signalPipe[2] = {-1, -1};

void OnTerminationSignal(int)
{
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &b, 1);
}

} // namespace

void QuitOnTerminationSignals()
{
    if (::pipe(signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, QCoreApplication::instance(),
                     [] { QCoreApplication::quit(); });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

} // namespace ordan
