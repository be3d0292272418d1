#pragma once

#include "app/menu/RevokeConfirmation.hpp"
#include "app/state/AppState.hpp"
#include "app/system/Updater.hpp"

#include <QWidget>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QScrollArea;
class QToolButton;
class QVBoxLayout;

namespace kestrava::app {

class MenuRow;
class PhonesListView;

// The panel under the tray's shield: the computer's name and state, an alert with its repair, the last
// action's failure, the anti-sleep verdict, the paired phones, the pause switch and the commands. What it
// shows comes from the menu's view model and the application state; what it does goes to the application
// state or opens a window. It makes up its whole window, which it keeps within the screen's free area.
class MenuView final : public QWidget {
    Q_OBJECT

public:
    MenuView(std::shared_ptr<AppState> state, Updater& updater,
             std::function<void(const QString&)> openWindow, std::function<void()> dismiss, Confirmer confirm,
             QWidget* parent = nullptr);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void render();
    void fitToScreen();

    const std::shared_ptr<AppState> state_;
    Updater& updater_;
    const std::function<void(const QString&)> openWindow_;
    const std::function<void()> dismiss_;

    QLabel* shield_;
    QLabel* name_;
    QLabel* headerTitle_;
    QLabel* updated_;
    QVBoxLayout* notices_; // the alert, the action's failure, the service's state, the sleep verdict
    MenuRow* addPhone_;
    QLabel* limit_;
    QToolButton* phonesToggle_;
    PhonesListView* phones_;
    QScrollArea* phonesScroll_; // the part that scrolls where the screen is too low for the whole panel
    QCheckBox* pause_;
    QWidget* pauseRow_;
};

} // namespace kestrava::app
