#pragma once

#include "link/protocol.h"

#include <QtGlobal>

#include <span>

namespace ordan {

// Every function code the station sends, with the length byte of its request. Two codes
// have two request forms (a short "start" or "one tariff" form and a long one).
struct CommandInfo {
    FunctionCode code;
    quint8 requestLength;
    quint8 altRequestLength; // 0 when the code has one form only
    bool isWrite;            // the station reads nothing of its reply beyond the frame tests
    const char *what;
};

std::span<const CommandInfo> CommandCatalogue();
// The entry of a code byte, or nothing when no meter command has it.
const CommandInfo *FindCommand(quint8 code);
// The entry of a named code; every FunctionCode has one.
const CommandInfo &CommandOf(FunctionCode code);

} // namespace ordan
