#include "journals/journal_read.h"

#include "link/engine.h"

namespace ordan {

JournalRead::JournalRead(Engine &engine, FunctionCode code, QObject *owner, Fields fields, std::function<void()> start,
                         Decoder decode)
    : engine_(engine), code_(code), fields_(fields)
{
    fields_.gauge.setVisible(false);
    fields_.button.setHandler([this, start = std::move(start)] {
        if (fields_.reading.value())
            stop();
        else
            start();
    });
    engine_.setDecoder(code_, std::move(decode));
    QObject::connect(&engine_, &Engine::commandsChanged, owner, [this] { followQueue(); });
}

JournalRead::~JournalRead() { engine_.setDecoder(code_, {}); }

void JournalRead::enqueue(int count, QByteArray (*request)(quint8 slot))
{
    for (int slot = 0; slot < count; ++slot)
        engine_.EnqueueRequest(request(static_cast<quint8>(slot)));
    fields_.gauge.set(0);
    fields_.gauge.setVisible(true);
}

void JournalRead::stop() { engine_.DropRequests(code_); }

void JournalRead::replyAccepted(quint8 code) { fields_.gauge.setVisible(code == CodeByte(code_)); }

void JournalRead::followQueue()
{
    const qsizetype left = engine_.commands().count(CodeByte(code_));
    fields_.left.set(static_cast<int>(left));
    fields_.reading.set(left > 0);
}

} // namespace ordan
