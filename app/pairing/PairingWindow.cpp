#include "app/pairing/PairingWindow.hpp"

#include "app/runtime/UiText.hpp"
#include "app/ui/WindowSize.hpp"

#include <QEvent>
#include <QScrollArea>
#include <QVBoxLayout>

namespace kestrava::app {
namespace {

constexpr int windowWidth = 460;

} // namespace

PairingWindow::PairingWindow(std::shared_ptr<AppState> state, std::shared_ptr<PairingService> service,
                             QWidget* parent)
    : QWidget(parent) {
    setWindowTitle(uiText("Thêm iPhone"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // A screen too low for the window at a large font leaves it lower, its content scrolling.
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    content_ = new QWidget(scroll);
    auto* padded = new QVBoxLayout(content_);
    padded->setContentsMargins(24, 24, 24, 24);
    view_ = new PairingView(
        std::move(state), PairingView::Context::window, [] {}, [this] { close(); }, std::move(service),
        content_);
    padded->addWidget(view_);
    scroll->setWidget(content_);
    layout->addWidget(scroll);
    content_->installEventFilter(this);
    fitToScreen();
}

bool PairingWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == content_ && event->type() == QEvent::LayoutRequest) {
        fitToScreen();
    }
    return QWidget::eventFilter(watched, event);
}

void PairingWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The screen it opens on is known now.
    fitToScreen();
}

void PairingWindow::fitToScreen() {
    // The height its wrapped texts need at the window's width: a layout's plain size hint asks each text
    // for its own preferred width and comes out short.
    const int width = ui::grownWithFont(windowWidth);
    const int height = content_->layout()->totalHeightForWidth(width);
    ui::fixSizeOnScreen(*this, {width, height >= 0 ? height : content_->layout()->totalSizeHint().height()});
}

} // namespace kestrava::app
