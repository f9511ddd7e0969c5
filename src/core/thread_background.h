#pragma once

#include "core/background.h"
#include "core/timings.h"

#include <QObject>
#include <QThread>

#include <chrono>
#include <memory>

namespace ordan {

// Background on a thread of its own. Things that are bound to the thread that made them (a
// database connection) are made and destroyed there with runAndWait.
class ThreadBackground final : public Background {
public:
    explicit ThreadBackground(const QString &name);
    // Waits for what was posted, at most kShutdownWait; a job still running then is left to
    // end with the process (its continuation never runs).
    ~ThreadBackground() override;
    ThreadBackground(const ThreadBackground &) = delete;
    ThreadBackground &operator=(const ThreadBackground &) = delete;

    static constexpr std::chrono::milliseconds kShutdownWait = timing::kRecordsShutdownWait;

    void post(QObject *context, std::function<void()> job, std::function<void()> done) override;
    // Runs `job` on the worker after what is queued and waits for it, at most `bound`; false
    // when it had not finished by then.
    bool runAndWait(std::function<void()> job, std::chrono::milliseconds bound = kShutdownWait);

private:
    QThread *thread_;
    QObject *worker_;                   // lives on thread_
    std::unique_ptr<QObject> receiver_; // lives on the window's thread: continuations arrive there
};

} // namespace ordan
