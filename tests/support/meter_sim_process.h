#pragma once

#include "support/test_support.h"

#include <QProcess>
#include <QStringList>
#include <QTest>

namespace ordan::test {

// meter-sim started with `arguments`, ended with the object; device() is the pseudo-terminal
// it serves, empty when it did not come up.
class MeterSimProcess {
public:
    explicit MeterSimProcess(const QStringList &arguments = {},
                             const QString &program = BinPath(QStringLiteral("meter-sim")))
    {
        process_.start(program, arguments);
        if (process_.waitForStarted(5000) && QTest::qWaitFor([this] { return process_.canReadLine(); }, 5000))
            device_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    }
    ~MeterSimProcess()
    {
        process_.terminate();
        if (!process_.waitForFinished(3000))
            process_.kill();
    }
    const QString &device() const { return device_; }

private:
    QProcess process_;
    QString device_;
};

} // namespace ordan::test
