#include "core/thread_background.h"

#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QMetaObject>
#include <QPointer>
#include <QSemaphore>

#include <memory>

namespace ordan {

namespace {
Q_LOGGING_CATEGORY(lcBackground, "ordan.core.background", QtInfoMsg)
}

ThreadBackground::ThreadBackground(const QString &name)
    : thread_(new QThread), worker_(new QObject), receiver_(std::make_unique<QObject>())
{
    thread_->setObjectName(name);
    worker_->moveToThread(thread_);
    QObject::connect(thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_->start();
}

ThreadBackground::~ThreadBackground()
{
    if (!runAndWait([] {})) {
        // Destroying a running QThread aborts the program; the thread is left to the process's end.
        qCWarning(lcBackground) << thread_->objectName() << "still busy after" << kShutdownWait.count()
                                << "ms; left to end with the program";
        (void)receiver_.release(); // the job still running may post to it
        return;
    }
    thread_->quit();
    if (!thread_->wait(QDeadlineTimer(kShutdownWait))) {
        qCWarning(lcBackground) << thread_->objectName() << "did not stop";
        (void)receiver_.release();
        return;
    }
    delete thread_;
}

void ThreadBackground::post(QObject *context, std::function<void()> job, std::function<void()> done)
{
    QPointer<QObject> target(context);
    const bool hasContext = context != nullptr;
    QObject *receiver = receiver_.get();
    QMetaObject::invokeMethod(
        worker_,
        [receiver, target, hasContext, job = std::move(job), done = std::move(done)]() mutable {
            job();
            if (!done)
                return;
            // The context is looked at on its own thread, where it can be destroyed; events
            // still queued when the background itself goes are dropped with the receiver.
            QMetaObject::invokeMethod(
                receiver,
                [target, hasContext, done = std::move(done)] {
                    if (!hasContext || target)
                        done();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

bool ThreadBackground::runAndWait(std::function<void()> job, std::chrono::milliseconds bound)
{
    auto finished = std::make_shared<QSemaphore>();
    QMetaObject::invokeMethod(
        worker_,
        [finished, job = std::move(job)] {
            job();
            finished->release();
        },
        Qt::QueuedConnection);
    return finished->tryAcquire(1, static_cast<int>(bound.count()));
}

} // namespace ordan
