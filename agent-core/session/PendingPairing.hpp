#pragma once

#include "platform/bytes/Bytes.hpp"

#include <string>

namespace kestrava {

// A phone's pairing request that passed its checks and waits for the user's decision.
struct PendingPairing {
    std::string requestId; // the relay's identifier of the request, as received
    std::string phoneName; // after the name rule
    std::string sas;       // the six-digit confirmation code both devices show
    Bytes signPub;         // the phone's keys, as received
    Bytes agreePub;

    bool operator==(const PendingPairing&) const = default;
};

} // namespace kestrava
