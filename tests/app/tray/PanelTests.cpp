#include "app/tray/CloseOnFocusLoss.hpp"
#include "app/tray/HostClick.hpp"
#include "app/tray/PanelKind.hpp"
#include "app/tray/PanelPlacement.hpp"
#include "tests/app-support/QtLoop.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMap>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <functional>
#include <limits>
#include <vector>

namespace kestrava {
namespace {

using app::PanelSide;

// Five screens side by side, in Qt's coordinates: a wide one under a top panel of 28 px, one over a
// bottom panel of 40 px, a small one right of a dock of 48 px, one at 200 % whose bar reserves nothing
// (2560 by 1600 of its own pixels), and one at 150 % left of a panel of 30 px (1920 by 1200).
const QList<app::PanelScreen> screens{{{0, 0, 1920, 1080}, {0, 28, 1920, 1052}, 1},
                                      {{1920, 0, 1280, 1024}, {1920, 0, 1280, 984}, 1},
                                      {{3200, 0, 1024, 600}, {3248, 0, 976, 600}, 1},
                                      {{4224, 0, 1280, 800}, {4224, 0, 1280, 800}, 2},
                                      {{6784, 0, 1280, 800}, {6784, 0, 1250, 800}, 1.5}};

constexpr int intMax = std::numeric_limits<int>::max();
constexpr int intMin = std::numeric_limits<int>::min();

QRect at(int x, int y) {
    return {QPoint(x, y), QPoint(x, y)};
}

// The panel hangs from Qt's icon, else from the host's last click, on the side nearest to it; else from
// the pointer in the menu, against the side a panel reserves; else, where the pointer is not known, from
// the far end of the reserved side, or the top right.
TEST(PanelAnchor, FromWhatTheApplicationKnows) {
    const QRect icon(1000, 2, 24, 24);
    const QPoint pointer(1500, 500);
    struct Case {
        const char* what;
        app::PanelRequest request;
        QList<app::PanelScreen> screens;
        app::PanelAnchor anchor;
    };
    const QList<app::PanelScreen> unreserved = screens.mid(3, 1);
    const QList<app::PanelScreen> bottomPanel = screens.mid(1, 1);
    const QList<app::PanelScreen> dock = screens.mid(2, 1);
    for (const Case& c : std::vector<Case>{
             {"Qt's icon", {icon, std::nullopt, pointer}, screens, {icon, PanelSide::top, true}},
             {"Qt's icon before a host's old click",
              {icon, QPoint(3000, 1000), pointer},
              screens,
              {icon, PanelSide::top, true}},
             {"a host's click in the top panel",
              {std::nullopt, QPoint(1200, 10), pointer},
              screens,
              {at(1200, 10), PanelSide::top, true}},
             {"a host's click in the bottom panel",
              {std::nullopt, QPoint(3190, 1010), pointer},
              screens,
              {at(3190, 1010), PanelSide::bottom, true}},
             {"a host's click in the dock, nearer to the bottom",
              {std::nullopt, QPoint(3230, 590), std::nullopt},
              screens,
              {at(3230, 590), PanelSide::left, true}},
             {"a host's click at 200 % near the bottom right",
              {std::nullopt, QPoint(4224 + 1270, 795), pointer},
              screens,
              {at(4224 + 1270, 795), PanelSide::bottom, true}},
             {"a host's click at 150 % in its right panel",
              {std::nullopt, QPoint(6784 + 1273, 400), pointer},
              screens,
              {at(6784 + 1273, 400), PanelSide::right, true}},
             {"the pointer mid-screen, under a top panel",
              {std::nullopt, std::nullopt, pointer},
              screens,
              {at(1500, 500), PanelSide::top, false}},
             {"the pointer in the menu above a bottom panel, nearer to the screen's right",
              {std::nullopt, std::nullopt, QPoint(3150, 800)},
              screens,
              {at(3150, 800), PanelSide::bottom, false}},
             {"the pointer right of a dock, nearer to the bottom",
              {std::nullopt, std::nullopt, QPoint(3700, 590)},
              screens,
              {at(3700, 590), PanelSide::left, false}},
             {"the pointer where nothing is reserved",
              {std::nullopt, std::nullopt, QPoint(4224 + 1000, 600)},
              screens,
              {at(4224 + 1000, 600), PanelSide::bottom, false}},
             {"nothing known: the top panel's far end",
              {std::nullopt, std::nullopt, std::nullopt},
              screens,
              {at(1919, 0), PanelSide::top, false}},
             {"nothing known: the bottom panel's far end",
              {std::nullopt, std::nullopt, std::nullopt},
              bottomPanel,
              {at(3199, 1023), PanelSide::bottom, false}},
             {"nothing known: the dock's far end",
              {std::nullopt, std::nullopt, std::nullopt},
              dock,
              {at(3200, 599), PanelSide::left, false}},
             {"nothing known, nothing reserved: the top right",
              {std::nullopt, std::nullopt, std::nullopt},
              unreserved,
              {at(5503, 0), PanelSide::top, false}},
         }) {
        SCOPED_TRACE(c.what);
        const app::PanelAnchor anchor = app::panelAnchor(c.request, c.screens);
        EXPECT_EQ(anchor.at, c.anchor.at);
        EXPECT_EQ(anchor.side, c.anchor.side);
        EXPECT_EQ(anchor.onTray, c.anchor.onTray);
    }
}

// A host's point is read in the screen's own pixels, mapped through the screen that holds it, where the
// pointer is not known (Xwayland) or far from any tray (an activation from the keyboard). Where the pointer
// is on a tray, as after a click on X11, the reading of the host's point near it is the click (in the
// screen's pixels, or the host's logical ones at 2×), and where none is (a panel's origin), the pointer is.
TEST(HostClick, IsWhereTheHostSaysOrWhereThePointerIs) {
    const auto pointerAt = [](int x, int y) { return std::optional(QPoint(x, y)); };
    const std::optional<QPoint> unknown;
    struct Case {
        const char* what;
        QPoint reported;
        std::optional<QPoint> pointer;
        QPoint click;
    };
    for (const Case& c : std::vector<Case>{
             {"the click, the pointer unknown", {1200, 10}, unknown, {1200, 10}},
             {"the click at 200 %", {4224 + 2520, 30}, unknown, {4224 + 1260, 15}},
             {"the click at 150 %, rounded down", {6784 + 1501, 16}, unknown, {6784 + 1000, 10}},
             {"the click beside the screens, kept on the nearest", {9000, 300}, unknown, {8063, 200}},
             {"the click at the int limits' far corner", {intMax, intMax}, unknown, {8063, 799}},
             {"the click at the int limits' near corner", {intMin, intMin}, unknown, {0, 0}},
             {"a panel's origin, the pointer unknown", {0, 25}, unknown, {0, 25}},
             {"the click, the pointer on the icon", {1200, 10}, pointerAt(1203, 12), {1200, 10}},
             {"the icon's edge, the pointer on the icon", {1880, 2}, pointerAt(1895, 14), {1880, 2}},
             {"a top panel's origin, the pointer on its icon", {0, 25}, pointerAt(1890, 12), {1890, 12}},
             {"a bottom panel's origin, the pointer on its icon",
              {1920, 984},
              pointerAt(3150, 1005),
              {3150, 1005}},
             {"logical pixels of a tray at 2× on a screen at 1×", {900, 7}, pointerAt(1805, 15), {1800, 14}},
             {"logical pixels of a tray at 2× on a screen at 200 %",
              {(4224 + 2500) / 2, 10},
              pointerAt(4224 + 1252, 11),
              {4224 + 1250, 10}},
             {"a panel's origin, the pointer on an icon of a bar that reserves nothing",
              {4224, 0},
              pointerAt(4224 + 1180, 12),
              {4224 + 1180, 12}},
             {"a panel's origin, the pointer mid-screen", {0, 25}, pointerAt(900, 500), {0, 25}},
             {"the click at 200 %, the pointer mid-screen",
              {4224 + 2520, 30},
              pointerAt(5000, 400),
              {5484, 15}},
         }) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(app::hostClickPoint(c.reported, c.pointer, screens), c.click);
    }
}

// The panel's edge lies against its anchor's side of the free area, or clear of an unreserved bar its
// anchor on the tray is in the middle of; along that side it starts at the anchor, or ends with it. It stays
// wholly inside the free area, frame and all. Grown taller and wider from the same anchor, it keeps that edge
// where it was while it fits.
TEST(PanelPlacement, HangsFromTheTraysSideWithinTheScreen) {
    const QSize panel(320, 500);
    const QMargins noFrame;
    const QMargins titleBar(1, 24, 1, 5);
    struct Case {
        const char* what;
        app::PanelAnchor anchor;
        QSize size;
        QMargins frame;
        QPoint placedAt;
    };
    for (const Case& c : std::vector<Case>{
             {"an icon in the top panel",
              {{1000, 2, 24, 24}, PanelSide::top, true},
              panel,
              noFrame,
              {1000, 28}},
             {"the last icon of the top panel",
              {{1896, 2, 24, 24}, PanelSide::top, true},
              panel,
              noFrame,
              {1600, 28}},
             {"an icon partly off the screen",
              {{-6, 2, 24, 24}, PanelSide::top, true},
              panel,
              noFrame,
              {0, 28}},
             {"an icon in the bottom panel",
              {{2500, 990, 24, 24}, PanelSide::bottom, true},
              panel,
              noFrame,
              {2500, 484}},
             {"the last icon of the bottom panel",
              {{3176, 990, 24, 24}, PanelSide::bottom, true},
              panel,
              noFrame,
              {2880, 484}},
             {"a click in the dock", {at(3210, 300), PanelSide::left, true}, panel, noFrame, {3248, 0}},
             {"a click 15 px into an unreserved bar at the top",
              {at(4224 + 1260, 15), PanelSide::top, true},
              panel,
              noFrame,
              {4224 + 941, 31}},
             {"a click on the outermost row of an unreserved bar at the top",
              {at(4224 + 1260, 0), PanelSide::top, true},
              panel,
              noFrame,
              {4224 + 941, 0}},
             {"a click on the outermost row of an unreserved bar at the bottom",
              {at(4500, 799), PanelSide::bottom, true},
              panel,
              noFrame,
              {4500, 300}},
             {"a click 9 px into an unreserved bar at the bottom",
              {at(4500, 790), PanelSide::bottom, true},
              panel,
              noFrame,
              {4500, 281}},
             {"a click 6 px into an unreserved bar at the left",
              {at(4230, 400), PanelSide::left, true},
              panel,
              noFrame,
              {4237, 0}},
             {"a click in a reserved panel at the right",
              {at(8040, 300), PanelSide::right, true},
              panel,
              noFrame,
              {7714, 300}},
             {"a host's click mid-screen, against the side",
              {at(4800, 400), PanelSide::top, true},
              panel,
              noFrame,
              {4800, 0}},
             {"the pointer in a menu near the edge, against it",
              {at(4600, 10), PanelSide::top, false},
              panel,
              noFrame,
              {4600, 0}},
             {"a window's frame at the top right",
              {at(1919, 0), PanelSide::top, false},
              panel,
              titleBar,
              {1598, 28}},
             {"a window's frame at the bottom right",
              {at(3199, 1023), PanelSide::bottom, false},
              panel,
              titleBar,
              {2878, 455}},
             {"a panel taller than the screen",
              {at(3600, 10), PanelSide::top, true},
              {320, 700},
              noFrame,
              {3600, 0}},
             {"a panel larger than the screen",
              {at(3600, 590), PanelSide::bottom, true},
              {1100, 700},
              noFrame,
              {3248, 0}},
             {"an anchor at the int limits' far corner",
              {at(intMax, intMax), PanelSide::bottom, true},
              panel,
              noFrame,
              {7714, 300}},
             {"an anchor at the int limits' near corner",
              {at(intMin, intMin), PanelSide::top, true},
              panel,
              noFrame,
              {0, 28}},
         }) {
        SCOPED_TRACE(c.what);
        const QRect placed = app::panelPlacement(c.anchor, c.size, c.frame, screens);
        EXPECT_EQ(placed, QRect(c.placedAt, c.size.grownBy(c.frame)));

        const QSize grown = c.size.grownBy(c.frame) + QSize(40, 60);
        const auto screen =
            std::find_if(screens.begin(), screens.end(), [&](const app::PanelScreen& candidate) {
                return candidate.free.contains(placed.topLeft());
            });
        ASSERT_NE(screen, screens.end());
        if (screen->free.size().expandedTo(grown) == screen->free.size()) {
            const QRect regrown = app::panelPlacement(c.anchor, c.size + QSize(40, 60), c.frame, screens);
            EXPECT_TRUE(screen->free.contains(regrown));
            const QMap<PanelSide, std::function<int(const QRect&)>> edge{{PanelSide::top, &QRect::top},
                                                                         {PanelSide::bottom, &QRect::bottom},
                                                                         {PanelSide::left, &QRect::left},
                                                                         {PanelSide::right, &QRect::right}};
            EXPECT_EQ(edge[c.anchor.side](regrown), edge[c.anchor.side](placed));
        }
    }
}

// A popup from the tray where a popup can be placed and gets the keys; under Xwayland a window placed there
// that the window manager gives the keys to; on native Wayland a window that closes when left, as the popup
// would; without a tray a window that stays, since it is all the user has.
TEST(PanelKind, FromThePlatformAndTheTray) {
    using app::PanelKind;
    struct Case {
        const char* platform;
        bool xwayland;
        bool tray;
        PanelKind kind;
    };
    for (const Case& c : std::vector<Case>{{"xcb", false, true, PanelKind::popup},
                                           {"xcb", true, true, PanelKind::activatedWindow},
                                           {"xcb", false, false, PanelKind::window},
                                           {"xcb", true, false, PanelKind::window},
                                           {"wayland", false, true, PanelKind::windowClosingOnFocusLoss},
                                           {"wayland-egl", false, true, PanelKind::windowClosingOnFocusLoss},
                                           {"wayland", false, false, PanelKind::window},
                                           {"offscreen", false, false, PanelKind::window}}) {
        SCOPED_TRACE(std::string(c.platform) + (c.xwayland ? " on Xwayland" : "") +
                     (c.tray ? " with a tray" : " without a tray"));
        EXPECT_EQ(app::panelKind(QString::fromLatin1(c.platform), c.xwayland, c.tray), c.kind);
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
