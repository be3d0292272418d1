#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace kestrava {

// Why a pairing was not approved.
enum class PairingDenial { phoneLimit, notPending, expired, userDenied, saveFailed };

constexpr std::string_view rawValue(PairingDenial denial) {
    switch (denial) {
    case PairingDenial::phoneLimit:
        return "phoneLimit";
    case PairingDenial::notPending:
        return "notPending";
    case PairingDenial::expired:
        return "expired";
    case PairingDenial::userDenied:
        return "userDenied";
    case PairingDenial::saveFailed:
        return "saveFailed";
    }
    return {};
}

// Exactly one of the five case names, case-sensitive.
constexpr std::optional<PairingDenial> pairingDenialFromRawValue(std::string_view raw) {
    constexpr std::array all{PairingDenial::phoneLimit, PairingDenial::notPending, PairingDenial::expired,
                             PairingDenial::userDenied, PairingDenial::saveFailed};
    for (const PairingDenial denial : all) {
        if (raw == rawValue(denial)) {
            return denial;
        }
    }
    return std::nullopt;
}

} // namespace kestrava
