#pragma once

#include "app/menu/RevokeConfirmation.hpp"
#include "app/state/AppState.hpp"
#include "app/system/AdminRunner.hpp"

#include <QWidget>
#include <functional>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace kestrava::app {

class PhonesListView;

namespace ui {
class BusyIndicator;
}

// The settings window's content: start at login and pause, the agent's service, the paired phones with the
// way to add one, the anti-sleep verdict with the undo of the administrator power settings, and the guide.
// Everything follows the application state; changes go through its actions. Interface thread.
class SettingsView final : public QWidget {
    Q_OBJECT

public:
    // `runner` runs the undo's administrator command; `openWindow` opens one of the application's windows.
    SettingsView(std::shared_ptr<AppState> state, std::shared_ptr<AdminRunner> runner,
                 std::function<void(const QString&)> openWindow, Confirmer confirm = confirmRevoke,
                 QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void render();
    void undo();
    static QCoro::Task<> runUndo(QPointer<SettingsView> view, std::shared_ptr<AppState> state,
                                 std::shared_ptr<AdminRunner> runner);

    const std::shared_ptr<AppState> state_;
    const std::shared_ptr<AdminRunner> runner_;
    const std::function<void(const QString&)> openWindow_;
    bool powerApplied_ = false;
    bool undoing_ = false;
    std::optional<QString> undoMessage_;

    QCheckBox* launchAtLogin_;
    QCheckBox* pause_;
    QLabel* agent_;
    QGroupBox* phonesSection_;
    PhonesListView* phones_;
    QLabel* limit_;
    QPushButton* addPhone_;
    QLabel* sleep_;
    QPushButton* undo_;
    ui::BusyIndicator* undoBusy_;
    QLabel* undoMessageLabel_;
};

} // namespace kestrava::app
