#include "app/ui/FitToScreen.hpp"

#include "app/ui/WindowSize.hpp"

#include <QEvent>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QWidget>
#include <QWindow>

namespace kestrava::app::ui {
namespace {

// Calls its fit whenever the window's room may have changed, and when `content`'s layout asks for a new size.
class Fitter final : public QObject {
public:
    Fitter(QWidget& view, std::function<void()> fit, QWidget* content = nullptr)
        : QObject(&view), window_(*view.window()), fit_(std::move(fit)), content_(content) {
        window_.installEventFilter(this);
        if (content_) {
            content_->installEventFilter(this);
        }
        watchNativeWindow();
        refit();
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Show) {
            watchNativeWindow();
            refit();
        } else if (watched == content_ && event->type() == QEvent::LayoutRequest) {
            refit();
        } else if (watched == nativeWindow_ && event->type() == QEvent::Expose &&
                   frameAround(window_) != frame_) {
            refit();
        }
        return false;
    }

private:
    // The native window, made once the window is shown or asked for its id, tells its screen and its frame.
    void watchNativeWindow() {
        QWindow* native = window_.windowHandle();
        if (!native || native == nativeWindow_) {
            return;
        }
        nativeWindow_ = native;
        native->installEventFilter(this);
        connect(native, &QWindow::screenChanged, this, &Fitter::watchScreen);
        watchScreen(native->screen());
    }

    void watchScreen(QScreen* screen) {
        disconnect(screenWatch_);
        if (screen) {
            screenWatch_ = connect(screen, &QScreen::availableGeometryChanged, this, &Fitter::refit);
        }
        refit();
    }

    void refit() {
        frame_ = frameAround(window_);
        fit_();
    }

    QWidget& window_;
    const std::function<void()> fit_;
    QWidget* const content_;
    QWindow* nativeWindow_ = nullptr;
    QMetaObject::Connection screenWatch_;
    // The frame the window was last fitted with: a guess until the window manager tells its own.
    QMargins frame_;
};

} // namespace

QScrollArea* verticalScrollArea(QWidget* content, QWidget* parent) {
    auto* scroll = new QScrollArea(parent);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    if (content) {
        scroll->setWidget(content);
    }
    return scroll;
}

void keepFitting(QWidget& view, std::function<void()> fit) {
    new Fitter(view, std::move(fit));
}

void keepScrollingToFit(QWidget& window, QScrollArea& scroll, std::optional<int> width) {
    QWidget* content = scroll.widget();
    const auto fit = [&window, &scroll, content, width] {
        const QLayout& rows = *content->layout();
        const int contentWidth = width.value_or(rows.totalSizeHint().width());
        const int contentHeight = heightAtWidth(rows, contentWidth);
        const bool scrolls = contentHeight > roomOnScreen(window).height();
        const int bar = scrolls ? scroll.verticalScrollBar()->sizeHint().width() : 0;
        fixSizeOnScreen(window, {contentWidth + bar, contentHeight});
    };
    new Fitter(window, fit, content);
}

} // namespace kestrava::app::ui
