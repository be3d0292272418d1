#include "app/ui/ApplicationIcon.hpp"

#include "app/ui/Palette.hpp"
#include "app/ui/Symbols.hpp"

namespace kestrava::app::ui {

QIcon applicationIcon() {
    QIcon icon;
    for (const int side : {16, 32, 64, 128, 256}) {
        icon.addPixmap(ui::icon(QStringLiteral("checkmark.shield.fill"), green(), side));
    }
    return icon;
}

} // namespace kestrava::app::ui
