#pragma once

// Factory numbers proposed by "+" on a line of stations sharing one production database.
// A proposed number is held for its work place (a row of number_reservation, the number its
// key) so that no other station is offered it, until the programming is recorded, the station
// proposes another or ends, or the hold is older than kReservationLifetime.

#include "core/result.h"
#include "records/production_db.h"
#include "records/sql_session.h"

#include <QString>

#include <chrono>

namespace ordan {

// The factory numbers a meter of this family holds.
inline constexpr int kFactoryNumberMin = 1;
inline constexpr int kFactoryNumberMax = 131071;

// How long a hold outlasts the "+" that made it. A programming from "+" to its record takes a
// minute or two, and an operator may leave the bench between them; half an hour covers that
// with room, while a station killed with a number only keeps it out of the proposals for the
// rest of that half hour (the number is proposed again after it).
inline constexpr std::chrono::seconds kReservationLifetime = std::chrono::minutes(30);

// Every lost race means another station took a number, so this many stations pressing "+" at
// one instant are all served.
inline constexpr int kReservationAttempts = 64;
// Failures other than a lost race tried again this often: SQL Server may pick one of two
// stations releasing their holds at one instant as a deadlock victim, SQLite may stay busy.
inline constexpr int kReservationRetries = 4;

struct NumberProposal {
    int number = 0; // held for the station; 0 when nothing is left
    // Registered unprogrammed numbers outside kFactoryNumberMin..kFactoryNumberMax were passed over.
    bool skippedOutOfRange = false;
    // The newest operation_id when the number was proposed, for CheckNumberForWrite.
    int operationWatermark = 0;
    bool nothingLeft() const { return number == 0; }
};

// In one transaction: releases the station's previous hold and every expired one, and holds
// the lowest registered number of this family in range that has no programming and no hold.
// Nothing left still releases the previous hold.
Result<NumberProposal> ReserveNextNumber(SqlSession &db, const StationIdentity &station,
                                         std::chrono::milliseconds lifetime = kReservationLifetime);

// The operator's message when nothing is left; empty while a number was proposed.
QString NoNumberText(const NumberProposal &proposal);

// Ends the station's hold (the station ends).
Status ReleaseReservation(SqlSession &db, const StationIdentity &station);

// Whether the station may write the number into a meter.
struct NumberWriteCheck {
    enum class Verdict {
        Writable,
        ProgrammedElsewhere, // another work place recorded a programming of it since the proposal
        HeldElsewhere,       // another work place holds it
    };
    Verdict verdict = Verdict::Writable;
};
// sinceOperationId: the operationWatermark of the proposal that gave the number; programmings
// up to it are not counted (0 counts every programming at another work place).
Result<NumberWriteCheck> CheckNumberForWrite(SqlSession &db, const StationIdentity &station, int number,
                                             int sinceOperationId,
                                             std::chrono::milliseconds lifetime = kReservationLifetime);
// The refusal message of a verdict other than Writable.
QString NumberWriteRefusalText(int number, NumberWriteCheck::Verdict verdict);

} // namespace ordan
