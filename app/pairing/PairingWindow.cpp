#include "app/pairing/PairingWindow.hpp"

#include "app/runtime/UiText.hpp"
#include "app/ui/FitToScreen.hpp"
#include "app/ui/WindowSize.hpp"

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
    auto* content = new QWidget;
    auto* padded = new QVBoxLayout(content);
    padded->setContentsMargins(24, 24, 24, 24);
    view_ = new PairingView(
        std::move(state), PairingView::Context::window, [] {}, [this] { close(); }, std::move(service),
        content);
    padded->addWidget(view_);
    QScrollArea* scroll = ui::verticalScrollArea(content, this);
    layout->addWidget(scroll);
    ui::keepScrollingToFit(*this, *scroll, ui::grownWithFont(windowWidth));
}

} // namespace kestrava::app
