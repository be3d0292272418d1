#pragma once

#include "agent-core/control/PhoneInfo.hpp"
#include "app/menu/RevokeConfirmation.hpp"
#include "platform/time/Timestamp.hpp"

#include <QWidget>
#include <functional>
#include <vector>

class QLabel;

namespace kestrava::app {

// Where the list is embedded; it decides the icon, the name's font and the rows' leading padding.
enum class PhonesListStyle { menu, settings };

// The one list of paired phones: per phone its name, when it was paired and last used, and a button that
// removes it once the user confirmed. It keeps no state: `render` rebuilds the rows from its inputs.
// Interface thread.
class PhonesListView final : public QWidget {
    Q_OBJECT

public:
    explicit PhonesListView(PhonesListStyle style, Confirmer confirm = confirmRevoke,
                            QWidget* parent = nullptr);

    // Shows `phones` in the order given, their dates in the widget's locale; `revoke` is called with a
    // phone only after `confirm` agreed for it and `link`.
    void render(const std::vector<PhoneInfo>& phones, RelayLink link,
                std::function<void(const PhoneInfo&)> revoke, Timestamp now = wallClockNow());

private:
    QWidget* makeRow(const PhoneInfo& phone, RelayLink link,
                     const std::function<void(const PhoneInfo&)>& revoke, Timestamp now);

    PhonesListStyle style_;
    Confirmer confirm_;
    QLabel* emptyText_;
};

} // namespace kestrava::app
