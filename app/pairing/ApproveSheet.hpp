#pragma once

#include "app/pairing/ApproveViewModel.hpp"
#include "platform/time/Timestamp.hpp"

#include <QWidget>
#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kestrava::app {

namespace ui {
class BusyIndicator;
class ElidingLabel;
} // namespace ui

// The card that asks the user to let a phone pair: who asks, the code the phone shows too, the time
// left, and the two answers. It keeps no state: `render` shows its inputs. Return never allows; Escape
// denies.
class ApproveSheet final : public QWidget {
    Q_OBJECT

public:
    explicit ApproveSheet(QWidget* parent = nullptr);

    // `deciding`: none while no answer was given, else the answer on its way (both buttons then off).
    void render(const ApproveViewModel& card, Timestamp now, std::optional<bool> deciding);

    // The whole seconds left until `deadline`, rounded up; negative once it has passed.
    static long long remainingSeconds(Timestamp deadline, Timestamp now);
    // The last 20 seconds are shown in orange.
    static bool isRunningOut(long long remaining) { return remaining <= 20; }

signals:
    void decided(bool approve);

private:
    ui::ElidingLabel* requestLine_;
    QLabel* code_;
    QProgressBar* bar_;
    QLabel* secondsLeft_;
    QPushButton* deny_;
    QPushButton* allow_;
    ui::BusyIndicator* denying_;
    ui::BusyIndicator* allowing_;
};

} // namespace kestrava::app
