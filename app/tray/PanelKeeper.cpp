#include "app/tray/PanelKeeper.hpp"

#include "app/tray/PanelPlacement.hpp"
#include "app/ui/WindowSize.hpp"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace kestrava::app {
namespace {

class PanelKeeper final : public QObject {
public:
    PanelKeeper(QWidget& panel, const PanelAnchor& anchor) : QObject(&panel), panel_(panel), anchor_(anchor) {
        // Made now, so that its window can be watched and the desktop can tell the frame that must fit too.
        panel.winId();
        panel.installEventFilter(this);
        panel.windowHandle()->installEventFilter(this);
        panel.adjustSize();
        place();
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &panel_ && event->type() == QEvent::Resize) {
            place();
        } else if (watched == panel_.windowHandle() && event->type() == QEvent::Expose &&
                   ui::frameAround(panel_) != frame_) {
            place();
        }
        return false;
    }

private:
    void place() {
        const QList<PanelScreen> screens = currentPanelScreens();
        // Screens that all went away leave the place to the window manager.
        if (screens.isEmpty()) {
            return;
        }
        QRect frame = panelPlacement(anchor_, panel_.size(), ui::frameAround(panel_), screens);
        QScreen* screen = QGuiApplication::screenAt(frame.center());
        if (screen && screen != panel_.screen()) {
            panel_.setScreen(screen);
            // Its frame in that screen's terms, which differ where the screens' scales do.
            frame = panelPlacement(anchor_, panel_.size(), ui::frameAround(panel_), screens);
        }
        frame_ = ui::frameAround(panel_);
        // The window itself, inside the frame as this knows it: Qt's own reckoning of a frame's position
        // keeps the frame of the screen the window was made on.
        panel_.setGeometry(QRect(frame.topLeft() + QPoint(frame_.left(), frame_.top()), panel_.size()));
    }

    QWidget& panel_;
    const PanelAnchor anchor_;
    // The frame the panel was last placed with: a guess until the window manager tells its own.
    QMargins frame_;
};

} // namespace

void keepPanelPlaced(QWidget& panel, const PanelRequest& request) {
    const QList<PanelScreen> screens = currentPanelScreens();
    if (!screens.isEmpty()) {
        new PanelKeeper(panel, panelAnchor(request, screens));
    }
}

} // namespace kestrava::app
