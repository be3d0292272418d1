#pragma once

#include "agent-core/control/AgentStatus.hpp"
#include "agent-core/control/PhoneInfo.hpp"
#include "app/state/AppState.hpp"
#include "app/system/ServiceStatus.hpp"

#include <QColor>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kestrava::app {

// The repair an alert offers with one click.
enum class MenuAction { reregister, restartAgent, enableAgent };

// What the menu shows of the agent, decided from the application state's fields: the header's shield and
// line, the alert and its repair, the anti-sleep verdict, the pause switch and whether a phone may be
// added. A value with no state of its own, rebuilt on every redraw. Interface thread (its texts).
struct MenuViewModel {
    // The one-line state under the computer's name.
    struct Header {
        // The agent's link states, as the agent reports them.
        using Reconnecting = ConnectionState::Reconnecting;
        using Error = ConnectionState::Error; // its message is not shown in the header
        using Connected = ConnectionState::Connected;
        using RemovedByRelay = ConnectionState::RemovedByRelay;
        using IdentityConflict = ConnectionState::IdentityConflict;
        using Paused = ConnectionState::Paused;
        // And two of the application's own: the configuration lost (an error the agent names), no answer.
        struct ConfigLost {
            bool operator==(const ConfigLost&) const = default;
        };
        struct Unreachable {
            bool operator==(const Unreachable&) const = default;
        };

        std::variant<Reconnecting, Error, Connected, RemovedByRelay, IdentityConflict, Paused, ConfigLost,
                     Unreachable>
            value;

        QString title() const;

        bool operator==(const Header&) const = default;
    };

    // The red box for what needs the user. Its messages show on a line of their own, in neither title nor
    // detail.
    struct Alert {
        struct RemovedByRelay {
            bool canReregister = false; // no phone is paired
            bool operator==(const RemovedByRelay&) const = default;
        };
        struct Error {
            std::string message; // the agent's
            bool operator==(const Error&) const = default;
        };
        struct ConfigLost {
            std::int64_t phones = 0;
            bool operator==(const ConfigLost&) const = default;
        };
        struct Unreachable {
            std::optional<QString> message; // the application state's last error
            bool serviceEnabled = false;    // the agent's service is enabled
            bool operator==(const Unreachable&) const = default;
        };
        struct IdentityConflict {
            bool operator==(const IdentityConflict&) const = default;
        };

        std::variant<RemovedByRelay, Error, ConfigLost, Unreachable, IdentityConflict> value;

        QString title() const;
        std::optional<QString> detail() const;
        std::optional<MenuAction> action() const;

        bool operator==(const Alert&) const = default;
    };

    // Whether the computer stays awake for the phones.
    enum class SleepRow { ok, onBattery, unknown, warning };

    StatusIconState icon = StatusIconState::red;
    Header header;
    std::optional<SleepRow> sleep; // absent without a status
    std::optional<Alert> alert;
    bool isPaused = false;
    bool canAddPhone = false;
    std::optional<std::string> macName;
    std::int64_t phoneCount = 0;

    // No phone can be added until one is removed.
    bool atPhoneLimit() const;

    // `lastError` and `serviceStatus` count only while no status has arrived.
    static MenuViewModel make(const std::optional<AgentStatus>& status, const std::vector<PhoneInfo>& phones,
                              const std::optional<QString>& lastError, ServiceStatus serviceStatus);

    // The pause switch's label, for the menu and the settings alike; made on first use.
    static const QString& pauseLabel();

    bool operator==(const MenuViewModel&) const = default;
};

// The anti-sleep row: its text, and its symbol in its colour.
QString sleepRowText(MenuViewModel::SleepRow row);
QString sleepRowSymbol(MenuViewModel::SleepRow row);
QColor sleepRowColour(MenuViewModel::SleepRow row);

} // namespace kestrava::app
