#pragma once

#include "core/field.h"
#include "link/protocol.h"

#include <QByteArray>
#include <QObject>

#include <functional>

namespace ordan {

class Engine;

// What the annual and the consumption journal share: a read of every slot of one code, queued
// at once; its button, which stops a read under way; the count of slots still queued; and the
// progress bar, shown only while the replies of its own code arrive. The fields are the
// journal's; this holds the decoder of the code on the engine for as long as it lives, and the
// engine must outlive it.
class JournalRead {
public:
    struct Fields {
        Action &button;
        IntField &gauge;
        BoolField &reading;
        IntField &left;
    };
    using Decoder = std::function<void(const QByteArray &reply)>;

    JournalRead(Engine &engine, FunctionCode code, QObject *owner, Fields fields, std::function<void()> start,
                Decoder decode);
    ~JournalRead();
    JournalRead(const JournalRead &) = delete;
    JournalRead &operator=(const JournalRead &) = delete;

    // Queues the request of every slot and shows the progress bar at its start.
    void enqueue(int count, QByteArray (*request)(quint8 slot));
    // Drops the slots not yet asked for; the request under way ends as it would.
    void stop();
    void replyAccepted(quint8 code);

private:
    void followQueue();

    Engine &engine_;
    FunctionCode code_;
    Fields fields_;
};

} // namespace ordan
