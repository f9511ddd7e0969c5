#pragma once

#include "link/protocol.h"

#include <QtGlobal>

#include <span>

namespace ordan {

// Every function code the station sends, with the length bytes of its request and of the
// meter's reply. Two codes have two request forms (a short "start" or "one tariff" form and a
// long one); some replies have a short form too (a slot without an entry, one tariff,
// readings without the billing day). A write is answered by a bare acknowledgement.
struct CommandInfo {
    FunctionCode code;
    quint8 requestLength;
    quint8 altRequestLength; // 0 when the code has one form only
    quint8 replyLength;      // the reply that carries everything the station reads of it
    quint8 shortReplyLength; // 0 when the reply has one form only
    bool isWrite;            // the station reads nothing of its reply beyond the frame tests
    const char *what;
};

std::span<const CommandInfo> CommandCatalogue();
// The entry of a code byte, or nothing when no meter command has it.
const CommandInfo *FindCommand(quint8 code);
// The entry of a named code; every FunctionCode has one.
const CommandInfo &CommandOf(FunctionCode code);

} // namespace ordan
