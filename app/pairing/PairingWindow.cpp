#include "app/pairing/PairingWindow.hpp"

#include "app/runtime/UiText.hpp"
#include "app/ui/WindowSize.hpp"

#include <QEvent>
#include <QVBoxLayout>

namespace kestrava::app {
namespace {

constexpr int windowWidth = 460;

} // namespace

PairingWindow::PairingWindow(std::shared_ptr<AppState> state, std::shared_ptr<PairingService> service,
                             QWidget* parent)
    : QWidget(parent) {
    setWindowTitle(uiText("Thêm iPhone"));
    setFixedWidth(ui::grownWithFont(windowWidth));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    view_ = new PairingView(
        std::move(state), PairingView::Context::window, [] {}, [this] { close(); }, std::move(service), this);
    layout->addWidget(view_);
    fitHeight();
}

bool PairingWindow::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::LayoutRequest) {
        fitHeight();
    }
    return handled;
}

void PairingWindow::fitHeight() {
    // The height its wrapped texts need at the window's width: a layout's plain size hint asks each text
    // for its own preferred width and comes out short.
    const int height = layout()->totalHeightForWidth(width());
    setFixedHeight(height >= 0 ? height : layout()->totalSizeHint().height());
}

} // namespace kestrava::app
