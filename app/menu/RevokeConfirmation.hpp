#pragma once

#include "agent-core/control/AgentStatus.hpp"
#include "agent-core/control/PhoneInfo.hpp"

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

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

// What a removal means, for the text under the question.
QString revokeConfirmationText(RelayLink link);

// The warning before a phone's removal: "Gỡ “<name>”?" as its heading, the name as plain text, and what
// the removal means under it. "Gỡ" comes first, in red, and is the only answer that accepts; "Hủy" holds
// the focus and the default, so a stray Return removes nothing, and Escape and closing cancel too.
// Without a parent, so it is application-modal and survives the menu's popup closing. Interface thread.
class RevokeDialog final : public QDialog {
    Q_OBJECT

public:
    RevokeDialog(const PhoneInfo& phone, RelayLink link);
};

// The live Confirmer: runs the dialog in a nested event loop, which may rebuild any view meanwhile.
bool confirmRevoke(const PhoneInfo& phone, RelayLink link);

} // namespace kestrava::app
