#include "app/menu/WindowManager.hpp"

namespace kestrava::app {

WindowManager::~WindowManager() {
    for (const auto& [id, window] : open_) {
        delete window.data();
    }
}

void WindowManager::define(const QString& id, Maker make) {
    makers_[id] = std::move(make);
}

bool WindowManager::open(const QString& id) {
    const auto maker = makers_.find(id);
    if (maker == makers_.end()) {
        return false;
    }
    QPointer<QWidget>& shown = open_[id];
    if (!shown) {
        shown = maker->second();
        shown->setAttribute(Qt::WA_DeleteOnClose);
    }
    shown->show();
    shown->raise();
    shown->activateWindow();
    return true;
}

QWidget* WindowManager::window(const QString& id) const {
    const auto found = open_.find(id);
    return found == open_.end() ? nullptr : found->second.data();
}

} // namespace kestrava::app
