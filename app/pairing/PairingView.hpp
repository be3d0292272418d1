#pragma once

#include "app/pairing/PairingService.hpp"
#include "app/pairing/PairingViewModel.hpp"
#include "app/state/AppState.hpp"

#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

class QPushButton;
class QShortcut;
class QStackedLayout;
class QVBoxLayout;

namespace kestrava::app {

// The interface of one pairing at a time: the QR code and its link, the approval card, and a closing
// screen for every way an attempt ends. A model lives while the view is shown: it is made and opens an
// attempt when the view appears, and is closed (cancelling the agent's window while busy) when it goes.
class PairingView final : public QWidget {
    Q_OBJECT

public:
    enum class Context { window, onboarding };

    // `done`, when given, puts a footer with "Hủy" or "Xong" under the screens. `service` is the agent
    // client's unless another is given.
    PairingView(std::shared_ptr<AppState> state, Context context, std::function<void()> onApproved,
                std::function<void()> done, std::shared_ptr<PairingService> service = nullptr,
                QWidget* parent = nullptr);
    ~PairingView() override;

    const std::shared_ptr<PairingViewModel>& model() const noexcept { return model_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void startPairing();
    void render();
    void renderScreen();
    void renderFooter();
    // Shows `screen` in the middle of the screens' place, in place of the one before.
    void place(QWidget* screen);
    void leave();
    int phoneCount() const { return static_cast<int>(state_->phones().size()); }

    const std::shared_ptr<AppState> state_;
    const Context context_;
    const std::function<void()> onApproved_;
    const std::function<void()> done_;
    const std::shared_ptr<PairingService> service_;
    std::shared_ptr<PairingViewModel> model_;
    QTimer ticker_;

    QVBoxLayout* layout_;
    QStackedLayout* slot_;
    QWidget* screen_ = nullptr;
    std::size_t screenPhase_ = std::variant_npos;
    QWidget* footer_;
    QPushButton* footerButton_;
    QShortcut* cancelKey_;
    QShortcut* doneKey_;
};

} // namespace kestrava::app
