#include "app/ui/ApplicationLook.hpp"

#include "app/ui/ApplicationIcon.hpp"
#include "app/ui/Buttons.hpp"

namespace kestrava::app::ui {

void applyApplicationLook(QApplication& application) {
    // The program's file name is in lower case; the name its users know is not.
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Kestrava"));
    QApplication::setWindowIcon(applicationIcon());
    application.setStyleSheet(buttonStyleSheet() + QLatin1Char(' ') + checkBoxStyleSheet());
}

} // namespace kestrava::app::ui
