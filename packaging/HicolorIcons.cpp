// Build-time tool: writes the application's own painted icon into a hicolor theme folder, one PNG per
// icon side ("<folder>/<side>x<side>/apps/kestrava.png"), so that the desktop shows what the
// application paints. Run with QT_QPA_PLATFORM=offscreen; it needs no display.
#include "app/ui/ApplicationIcon.hpp"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <iostream>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::cerr << "usage: kestrava-hicolor-icons <folder>\n";
        return 2;
    }
    const QIcon icon = kestrava::app::ui::applicationIcon();
    for (const int side : kestrava::app::ui::iconSides) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(side);
        const QPixmap pixmap = icon.pixmap(side);
        if (!QDir().mkpath(folder) || pixmap.width() != side ||
            !pixmap.save(folder + "/kestrava.png", "PNG")) {
            std::cerr << "kestrava-hicolor-icons: cannot write " << folder.toStdString() << "/kestrava.png\n";
            return 1;
        }
    }
    return 0;
}
