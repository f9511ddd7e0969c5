#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace ordan {

// Work that may wait on something outside the station (a database server, another program's
// lock on a shared table) runs away from the window's thread, so that neither the polling nor
// the window stops while it waits. Jobs run one at a time in the order they were posted; each
// job's `done` then runs on the window's thread, unless `context` has been destroyed meanwhile.
// A job touches only what belongs to the worker (the database session, the table) and the
// values it was given; `done` alone touches the station's state.
class Background {
public:
    virtual ~Background() = default;
    virtual void post(QObject *context, std::function<void()> job, std::function<void()> done) = 0;
};

// A job with a result handed to its continuation.
template <typename T, typename Job, typename Done>
void RunInBackground(Background &background, QObject *context, Job job, Done done)
{
    auto result = std::make_shared<std::optional<T>>();
    background.post(
        context, [result, job = std::move(job)]() mutable { result->emplace(job()); },
        [result, done = std::move(done)]() mutable { done(std::move(**result)); });
}

} // namespace ordan
