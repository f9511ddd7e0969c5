#pragma once

// A flush or a folder sync that fails, as a disk or a share fails it after the write itself
// went through: the system's file cache still holds what was written.

#include "core/sync_to_disk.h"

#include <QString>

namespace ordan::test {

class FailingSync {
public:
    // The reason the failing call gives, in the system's words.
    static QString Reason() { return QStringLiteral("Input/output error"); }
    // What a file's failure then says of the step.
    static QString StepText(DiskStep step) { return DiskStepFailure(step, Reason()); }

    // Fails the nth call of `step` (from 1) on a path that contains `match`; 0 fails every one.
    FailingSync(DiskStep step, const QString &match, int nth = 0)
    {
        SetSyncFaultForTests([this, step, match, nth](DiskStep s, const QString &path) -> Status {
            if (s != step || !path.contains(match) || (++calls_ != nth && nth != 0))
                return {};
            ++failed_;
            return Fail(Reason());
        });
    }
    ~FailingSync() { SetSyncFaultForTests({}); }
    FailingSync(const FailingSync &) = delete;
    FailingSync &operator=(const FailingSync &) = delete;

    int failed() const { return failed_; }

private:
    int calls_ = 0;
    int failed_ = 0;
};

} // namespace ordan::test
