#include "app/ui/ApplicationIcon.hpp"

#include "app/ui/Palette.hpp"
#include "app/ui/Symbols.hpp"

namespace kestrava::app::ui {

QIcon applicationIcon() {
    QIcon icon;
    for (const int side : iconSides) {
        icon.addPixmap(ui::icon(QStringLiteral("checkmark.shield.fill"), green(), side));
    }
    return icon;
}

} // namespace kestrava::app::ui
