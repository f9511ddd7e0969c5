#pragma once

#include "support/test_support.h"

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>

namespace ordan::test {

// meter-sim started with `arguments`, ended with the object; device() is the pseudo-terminal
// it serves, empty when it did not come up.
//
// A Windows test cannot start the Linux program: there the rig starts meter-sim beside the test
// and names its port in ORDAN_METER_SIM_DEVICE (`arguments` are then the rig's), and stop()
// asks the rig to end it by creating the file ORDAN_METER_SIM_STOP_FILE.
class MeterSimProcess {
public:
    explicit MeterSimProcess(const QStringList &arguments = {},
                             const QString &program = BinPath(QStringLiteral("meter-sim")))
    {
        device_ = qEnvironmentVariable("ORDAN_METER_SIM_DEVICE");
        if (!device_.isEmpty())
            return;
        process_.start(program, arguments);
        if (process_.waitForStarted(5000) && QTest::qWaitFor([this] { return process_.canReadLine(); }, 5000))
            device_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    }
    ~MeterSimProcess() { stop(); }
    const QString &device() const { return device_; }

    // Ends meter-sim: the far side of the line closes.
    void stop()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(3000))
                process_.kill();
            return;
        }
        const QString stopFile = qEnvironmentVariable("ORDAN_METER_SIM_STOP_FILE");
        if (!stopFile.isEmpty()) {
            QFile file(stopFile);
            if (!file.open(QIODevice::WriteOnly))
                ADD_FAILURE() << "cannot ask the rig to stop meter-sim: " << file.errorString().toStdString();
        }
    }

    // A line of meter-sim's own commands on its standard input ("fresh"); false when it is
    // not ours to talk to or the line was not written.
    bool command(const QByteArray &line)
    {
        if (process_.state() != QProcess::Running)
            return false;
        return process_.write(line + '\n') == line.size() + 1;
    }

private:
    QProcess process_;
    QString device_;
};

} // namespace ordan::test
