#include "app/pairing/PairingWindow.hpp"

#include "app/runtime/UiText.hpp"

#include <QVBoxLayout>

namespace kestrava::app {

PairingWindow::PairingWindow(std::shared_ptr<AppState> state, std::shared_ptr<PairingService> service,
                             QWidget* parent)
    : QWidget(parent) {
    setWindowTitle(uiText("Thêm iPhone"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    view_ = new PairingView(
        std::move(state), PairingView::Context::window, [] {}, [this] { close(); }, std::move(service), this);
    view_->setFixedWidth(460 - 48);
    layout->addWidget(view_);
}

} // namespace kestrava::app
