#pragma once

#include "agent-core/control/AgentStatus.hpp"
#include "agent-core/control/PhoneInfo.hpp"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QMessageBox;

namespace kestrava::app {

// How a phone's removal reaches the relay, chosen by the embedding view from the agent's connection.
enum class RelayLink {
    connected,  // the relay hears of it at once
    offline,    // removed here at once, from the relay when the agent reconnects
    configLost, // removed here only; the relay is never told
};

// How a removal reaches the relay, from the agent's last status: none counts as offline.
RelayLink relayLinkOf(const std::optional<AgentStatus>& status);

// Asks the user whether to remove `phone`; true only when they confirmed.
using Confirmer = std::function<bool(const PhoneInfo&, RelayLink)>;

// What a removal means, for the dialog's informative text.
QString revokeConfirmationText(RelayLink link);

// The warning dialog, not yet shown: the phone's name as plain text, "Gỡ" (destructive, first) and "Hủy".
// Without a parent, so it is application-modal and survives the menu's popup closing.
std::unique_ptr<QMessageBox> makeRevokeDialog(const PhoneInfo& phone, RelayLink link);

// The live Confirmer: runs the dialog in a nested event loop, which may rebuild any view meanwhile.
bool confirmRevoke(const PhoneInfo& phone, RelayLink link);

} // namespace kestrava::app
