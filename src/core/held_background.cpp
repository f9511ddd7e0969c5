#include "core/held_background.h"

namespace ordan {

void HeldBackground::post(QObject *context, std::function<void()> job, std::function<void()> done)
{
    Work work{QPointer<QObject>(context), context != nullptr, std::move(job), std::move(done)};
    if (held_) {
        queue_.push_back(std::move(work));
        return;
    }
    run(work);
}

void HeldBackground::run(Work &work)
{
    work.job();
    // As on a thread: the continuation of a context that is gone never runs.
    if (work.done && (!work.hasContext || work.context))
        work.done();
}

bool HeldBackground::runNext()
{
    if (queue_.empty())
        return false;
    Work work = std::move(queue_.front());
    queue_.pop_front();
    run(work);
    return true;
}

void HeldBackground::release()
{
    held_ = false;
    while (runNext()) {
    }
}

} // namespace ordan
