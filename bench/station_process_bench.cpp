// The station program as an operator starts it, offscreen:
// - start-up: from process start with --port ... --connect to the first address byte on the
//   wire (a pseudo-terminal of this program's own), five runs;
// - idle cost: 60 s of polling meter-sim at 4800 baud: CPU seconds over wall seconds, peak
//   resident memory, and resident and private memory at the 20th and the 60th second;
// - lost port: CPU seconds over wall seconds in the 5 s after meter-sim ends under the polling
//   station (the far side of its port closes).
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kStartGoalMs = 400;
constexpr double kCpuGoal = 0.02;
constexpr double kRssGoalMb = 80;
constexpr int kIdleSeconds = 60;
constexpr int kLostSeconds = 5;

QString Bin(const char *name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QString::fromLatin1(name);
}

// A station process in a fresh working directory and home, with an empty settings log.
struct StationProcess {
    QTemporaryDir dir;
    QProcess process;

    bool start(const QString &device, const QString &baud)
    {
        if (QProcess::execute(Bin("ordan-klv"), {QStringLiteral("--create-setting-table"),
                                                 dir.filePath(QStringLiteral("Setting.DBF"))}) != 0)
            return false;
        QFile::copy(Bin("Help_ordan_klv.rtf"), dir.filePath(QStringLiteral("Help_ordan_klv.rtf")));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral(".config")));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(Bin("ordan-klv"),
                      {QStringLiteral("--port"), device, QStringLiteral("--baud"), baud, QStringLiteral("--connect")});
        return process.waitForStarted(5000);
    }
    ~StationProcess()
    {
        process.kill();
        process.waitForFinished(3000);
    }
};

double StartUpOnce()
{
    int master = -1, slave = -1;
    char name[128] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
        return -1;
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);
    StationProcess station;
    QElapsedTimer clock;
    clock.start();
    double ms = -1;
    if (station.start(QString::fromLocal8Bit(name), QStringLiteral("4800"))) {
        pollfd p{master, POLLIN, 0};
        while (clock.elapsed() < 10000) {
            if (::poll(&p, 1, 5) > 0 && (p.revents & POLLIN)) {
                char byte = 0;
                if (::read(master, &byte, 1) == 1) {
                    ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
                    break;
                }
            }
        }
    }
    ::close(master);
    ::close(slave);
    return ms;
}

struct Sample {
    double cpuSeconds = 0;
    double rssMb = 0;
    double anonMb = 0; // the heap and other private memory, without the pages of code mapped in
    double peakMb = 0;
};

Sample Read(qint64 pid)
{
    Sample s;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray text = stat.readAll();
        // Fields after the parenthesised name; utime and stime are the 14th and 15th.
        const QList<QByteArray> f = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (f.size() > 13)
            s.cpuSeconds = static_cast<double>(f[11].toLongLong() + f[12].toLongLong()) /
                           static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            const QList<QByteArray> parts = line.simplified().split(' ');
            if (parts.size() >= 2 && parts[0] == "VmRSS:")
                s.rssMb = parts[1].toDouble() / 1024.0;
            if (parts.size() >= 2 && parts[0] == "RssAnon:")
                s.anonMb = parts[1].toDouble() / 1024.0;
            if (parts.size() >= 2 && parts[0] == "VmHWM:")
                s.peakMb = parts[1].toDouble() / 1024.0;
        }
    }
    return s;
}

bool StartUp()
{
    std::vector<double> runs;
    for (int i = 0; i < 5; ++i)
        runs.push_back(StartUpOnce());
    std::sort(runs.begin(), runs.end());
    if (runs.front() < 0) {
        std::printf("start-up: no address byte arrived\n");
        return false;
    }
    const double median = runs[runs.size() / 2];
    std::printf("start-up to the first address byte: median %.1f ms, min %.1f, max %.1f over %zu runs; "
                "ratio to the %.0f ms limit %.2f %s\n",
                median, runs.front(), runs.back(), runs.size(), kStartGoalMs, median / kStartGoalMs,
                runs.back() <= kStartGoalMs ? "ok" : "OVER LIMIT");
    return runs.back() <= kStartGoalMs;
}

bool Idle()
{
    QProcess sim;
    sim.start(Bin("meter-sim"), {QStringLiteral("--baud"), QStringLiteral("4800")});
    if (!sim.waitForStarted(5000) || !QTest::qWaitFor([&] { return sim.canReadLine(); }, 5000))
        return false;
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
    StationProcess station;
    QElapsedTimer wall;
    wall.start();
    if (!station.start(device, QStringLiteral("4800")))
        return false;
    const qint64 pid = station.process.processId();
    QThread::sleep(20);
    const Sample at20 = Read(pid);
    const double wall20 = static_cast<double>(wall.elapsed()) / 1000.0;
    QThread::sleep(kIdleSeconds - 20);
    const Sample at60 = Read(pid);
    const double wall60 = static_cast<double>(wall.elapsed()) / 1000.0;
    bool alive = station.process.state() == QProcess::Running;

    // The port goes away: the station must notice and fall quiet, not spin on a dead device.
    QElapsedTimer lostWall;
    lostWall.start();
    sim.terminate();
    sim.waitForFinished(3000);
    QThread::sleep(kLostSeconds);
    const Sample afterLoss = Read(pid);
    const double lostCpu =
        (afterLoss.cpuSeconds - at60.cpuSeconds) / (static_cast<double>(lostWall.elapsed()) / 1000.0);
    alive = alive && station.process.state() == QProcess::Running;

    const double cpu = at60.cpuSeconds / wall60;
    const double steady = (at60.cpuSeconds - at20.cpuSeconds) / (wall60 - wall20);
    // Growth is judged on private memory: resident code pages come in as paths first run.
    const double growthKb = (at60.anonMb - at20.anonMb) * 1024.0;
    std::printf("idle %d s: CPU/wall %.4f (%.2f s), after start-up %.4f; ratio to the %.2f limit %.2f %s\n",
                kIdleSeconds, cpu, at60.cpuSeconds, steady, kCpuGoal, cpu / kCpuGoal,
                cpu <= kCpuGoal ? "ok" : "OVER LIMIT");
    std::printf("idle %d s: peak RSS %.1f MB; ratio to the %.0f MB limit %.2f %s\n", kIdleSeconds, at60.peakMb,
                kRssGoalMb, at60.peakMb / kRssGoalMb, at60.peakMb <= kRssGoalMb ? "ok" : "OVER LIMIT");
    std::printf("idle %d s: RSS %.2f MB at 20 s, %.2f MB at 60 s; private %.2f MB and %.2f MB, growth %+.0f KB %s\n",
                kIdleSeconds, at20.rssMb, at60.rssMb, at20.anonMb, at60.anonMb, growthKb,
                growthKb <= 0 ? "ok" : "GROWS");
    std::printf("port lost, the next %d s: CPU/wall %.4f; ratio to the %.2f limit %.2f %s\n", kLostSeconds, lostCpu,
                kCpuGoal, lostCpu / kCpuGoal, lostCpu <= kCpuGoal ? "ok" : "OVER LIMIT");
    return alive && cpu <= kCpuGoal && at60.peakMb <= kRssGoalMb && growthKb <= 0 && lostCpu <= kCpuGoal;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    bool ok = StartUp();
    ok = Idle() && ok;
    return ok ? 0 : 1;
}
