#pragma once

#include "agent-core/control/PairingDenial.hpp"

#include <QString>
#include <variant>

namespace kestrava::app {

// How a pairing attempt ended when its outcome is known.
struct PairingResult {
    struct Approved {
        QString name; // the card's display name
        bool operator==(const Approved&) const = default;
    };
    struct Denied {
        PairingDenial denial;
        bool operator==(const Denied&) const = default;
    };

    std::variant<Approved, Denied> value;

    bool approved() const { return std::holds_alternative<Approved>(value); }
    QString title() const;
    QString detail() const;

    bool operator==(const PairingResult&) const = default;
};

} // namespace kestrava::app
