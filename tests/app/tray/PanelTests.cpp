#include "app/tray/CloseOnFocusLoss.hpp"
#include "app/tray/PanelKind.hpp"
#include "app/tray/PanelPlacement.hpp"
#include "tests/app-support/QtLoop.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <vector>

namespace kestrava {
namespace {

// The panel hangs from its anchor on the anchor's screen, wholly inside the area that screen leaves to
// windows, to its last pixel. The screens: a wide one under a top panel of 28 px, one beside it over a
// bottom panel of 40 px, and a small one beside that right of a dock of 48 px.
TEST(PanelPlacement, HangsFromItsAnchorWithinTheScreen) {
    const QList<app::PanelScreen> screens{{{0, 0, 1920, 1080}, {0, 28, 1920, 1052}},
                                          {{1920, 0, 1280, 1024}, {1920, 0, 1280, 984}},
                                          {{3200, 0, 1024, 600}, {3248, 0, 976, 600}}};
    const QSize panel(320, 500);
    const auto click = [](int x, int y) { return QRect(x, y, 1, 1); };
    struct Case {
        const char* what;
        QRect anchor;
        QSize size;
        QPoint placedAt;
    };
    for (const Case& c : std::vector<Case>{
             {"an icon in the top panel", {1000, 2, 24, 24}, panel, {1000, 28}},
             {"the last icon of the top panel", {1896, 2, 24, 24}, panel, {1600, 28}},
             {"the first icon of the top panel, partly off the screen", {-6, 2, 24, 24}, panel, {0, 28}},
             {"an icon in the bottom panel", {2500, 990, 24, 24}, panel, {2500, 484}},
             {"the last icon of the bottom panel", {3176, 990, 24, 24}, panel, {2880, 484}},
             {"a click on the second screen", click(2000, 10), panel, {2000, 11}},
             {"a click in the bottom panel's last pixel", click(3199, 1023), panel, {2880, 484}},
             {"a click at the third screen's right edge", click(4223, 20), panel, {3904, 21}},
             {"a click in the dock", click(3210, 300), panel, {3248, 0}},
             {"a click below the third screen, nearest to it", click(3700, 800), panel, {3700, 100}},
             {"a panel taller than the screen", click(3600, 10), {320, 700}, {3600, 0}},
             {"a panel larger than the screen", click(3600, 590), {1100, 700}, {3248, 0}},
         }) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(app::panelPlacement(c.anchor, c.size, screens), QRect(c.placedAt, c.size));
    }
    // Without a screen, below the anchor as it is.
    EXPECT_EQ(app::panelPlacement({10, 20, 24, 24}, panel, {}), QRect(QPoint(10, 44), panel));
}

// A popup from the tray where a popup can be placed; on native Wayland a window that closes when left,
// as the popup would; without a tray a window that stays, since it is all the user has.
TEST(PanelKind, FromThePlatformAndTheTray) {
    using app::PanelKind;
    struct Case {
        const char* platform;
        bool tray;
        PanelKind kind;
    };
    for (const Case& c : std::vector<Case>{{"xcb", true, PanelKind::popup},
                                           {"xcb", false, PanelKind::window},
                                           {"wayland", true, PanelKind::windowClosingOnFocusLoss},
                                           {"wayland-egl", true, PanelKind::windowClosingOnFocusLoss},
                                           {"wayland", false, PanelKind::window},
                                           {"offscreen", false, PanelKind::window}}) {
        SCOPED_TRACE(std::string(c.platform) + (c.tray ? " with a tray" : " without a tray"));
        EXPECT_EQ(app::panelKind(QString::fromLatin1(c.platform), c.tray), c.kind);
    }
}

bool activate(QWidget& window) {
    window.activateWindow();
    return test::runQtUntil([&] { return QApplication::activeWindow() == &window; });
}

QPointer<QWidget> closingOnFocusLoss() {
    auto* window = new QWidget;
    window->setAttribute(Qt::WA_DeleteOnClose);
    app::closeOnFocusLoss(*window);
    return window;
}

// A window that closes when left stays while it was never active and while its own question has the
// focus, and closes when the user turns to another window.
TEST(CloseOnFocusLoss, ClosesWhenTheUserTurnsToAnotherWindow) {
    test::ensureQtApplication();
    QWidget elsewhere;
    elsewhere.show();
    ASSERT_TRUE(activate(elsewhere));
    // Where the desktop never gives it the focus.
    const QPointer<QWidget> unfocused = closingOnFocusLoss();
    unfocused->setAttribute(Qt::WA_ShowWithoutActivating);
    unfocused->show();
    QEvent left(QEvent::WindowDeactivate);
    QApplication::sendEvent(unfocused, &left);
    EXPECT_TRUE(unfocused && unfocused->isVisible());
    delete unfocused;

    const QPointer<QWidget> panel = closingOnFocusLoss();
    panel->show();
    ASSERT_TRUE(activate(*panel));

    QMessageBox question(QMessageBox::Warning, QStringLiteral("?"), QStringLiteral("?"), QMessageBox::Cancel);
    question.setWindowModality(Qt::ApplicationModal);
    question.show();
    ASSERT_TRUE(activate(question));
    ASSERT_TRUE(panel && panel->isVisible());
    question.close();
    ASSERT_TRUE(activate(*panel));

    ASSERT_TRUE(activate(elsewhere));
    EXPECT_TRUE(test::runQtUntil([&] { return panel.isNull(); }));
}

} // namespace
} // namespace kestrava
