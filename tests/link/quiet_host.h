#pragma once

#include "link/engine.h"

namespace ordan::test {

// An engine host that takes every call and does nothing with it.
struct QuietHost final : EngineHost {
    void clearMeterData() override {}
    void recordProgramming() override {}
    void setWriteActionsEnabled(bool) override {}
    void setFindAddressEnabled(bool) override {}
    void replyAccepted(quint8) override {}
    void meterSilent() override {}
};

} // namespace ordan::test
