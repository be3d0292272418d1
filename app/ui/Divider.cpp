#include "app/ui/Divider.hpp"

#include <QFrame>

namespace kestrava::app::ui {

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace kestrava::app::ui
