#include "app/menu/MenuView.hpp"
#include "app/menu/StatusImage.hpp"
#include "app/menu/TrayApp.hpp"
#include "app/runtime/UiText.hpp"
#include "app/tray/BusStructure.hpp"
#include "tests/app-support/AppStateForViews.hpp"
#include "tests/app-support/HostMenuEntry.hpp"
#include "tests/app-support/PlayedWatcher.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/VirtualScheduler.hpp"
#include "tests/support/PrivateSessionBus.hpp"
#include "tests/support/SignalListener.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QScreen>
#include <algorithm>
#include <set>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

// One picture of the item as a host reads it: 32-bit ARGB, row by row.
struct HostPixmap {
    int width = 0;
    int height = 0;
    QByteArray argb;
};

const QDBusArgument& operator>>(const QDBusArgument& in, HostPixmap& pixmap) {
    return app::readBusStructure(in, pixmap.width, pixmap.height, pixmap.argb);
}

const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString menuInterface = QStringLiteral("com.canonical.dbusmenu");

class NoUpdates final : public app::UpdateBackend {
public:
    bool canCheckForUpdates() const override { return false; }
    void checkForUpdates() override {}
};

class StatusNotifierTest : public testing::Test {
protected:
    StatusNotifierTest() { test::ensureQtApplication(); }
    ~StatusNotifierTest() override {
        tray.reset();
        watcher.stop();
        for (const QString& name : {appSide, hostSide}) {
            QDBusConnection::disconnectFromBus(name);
        }
    }

    QDBusConnection connect(const QString& name) {
        return QDBusConnection::connectToBus(QString::fromStdString(bus.address()), name);
    }
    void startTray() {
        tray = std::make_unique<app::TrayApp>(views.state, updater, scheduler, connect(appSide), QString());
        ASSERT_TRUE(test::runQtUntil([&] { return !watcher.listed().isEmpty(); }));
    }
    // A call as a host makes it, and its answer.
    QDBusMessage ask(const QString& path, const QString& interface, const QString& method,
                     const QVariantList& arguments = {}) {
        auto call = QDBusMessage::createMethodCall(itemService, path, interface, method);
        call.setArguments(arguments);
        QDBusPendingCall pending = connect(hostSide).asyncCall(call);
        EXPECT_TRUE(test::runQtUntil([&] { return pending.isFinished(); }));
        return pending.reply();
    }
    QVariant itemProperty(const QString& name) {
        const QDBusMessage answer =
            ask(QStringLiteral("/StatusNotifierItem"), QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("Get"), {itemInterface, name});
        return answer.arguments().value(0).value<QDBusVariant>().variant();
    }
    QString toolTipTitle() {
        QString iconName, title, description;
        QList<HostPixmap> pixmaps;
        app::readBusStructure(itemProperty(QStringLiteral("ToolTip")).value<QDBusArgument>(), iconName,
                              pixmaps, title, description);
        return title;
    }
    test::HostMenuEntry menuLayout() {
        const QDBusMessage answer = ask(QStringLiteral("/MenuBar"), menuInterface,
                                        QStringLiteral("GetLayout"), {0, -1, QStringList{}});
        return test::hostMenuEntryOf(answer.arguments().value(1).value<QDBusArgument>());
    }

    const QString appSide = QStringLiteral("tray-app");
    const QString hostSide = QStringLiteral("host");
    const QString itemService =
        QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid());
    test::PrivateSessionBus bus;
    test::PlayedWatcher watcher{bus.address(), {}};
    test::AppStateForViews views;
    test::VirtualScheduler scheduler;
    app::Updater updater{std::make_unique<NoUpdates>(), false};
    std::unique_ptr<app::TrayApp> tray;
};

// With a panel's watcher on the bus the application registers its own item, which tells a host its names,
// its shield as 32-bit ARGB in network byte order at the usual sides and its spoken state as tooltip, and
// announces each change.
TEST_F(StatusNotifierTest, RegistersAndTellsAHostWhatToShow) {
    watcher.start();
    startTray();
    EXPECT_EQ(watcher.asked(), QStringList{itemService});

    EXPECT_EQ(itemProperty(QStringLiteral("Category")).toString(), QStringLiteral("ApplicationStatus"));
    EXPECT_EQ(itemProperty(QStringLiteral("Id")).toString(), QStringLiteral("com.veltmoran.kestrava"));
    EXPECT_EQ(itemProperty(QStringLiteral("Title")).toString(), QStringLiteral("Kestrava"));
    EXPECT_EQ(itemProperty(QStringLiteral("Status")).toString(), QStringLiteral("Active"));
    EXPECT_EQ(itemProperty(QStringLiteral("ItemIsMenu")).toBool(), false);
    EXPECT_EQ(itemProperty(QStringLiteral("WindowId")).toInt(), 0);
    EXPECT_EQ(itemProperty(QStringLiteral("Menu")).value<QDBusObjectPath>().path(),
              QStringLiteral("/MenuBar"));
    EXPECT_EQ(toolTipTitle(), app::spokenText(app::StatusIconState::red));
    // What the item has not is empty, in the type hosts read it as.
    for (const char* name :
         {"IconThemePath", "IconName", "AttentionIconName", "AttentionMovieName", "OverlayIconName"}) {
        const QVariant value = itemProperty(QString::fromLatin1(name));
        EXPECT_STREQ(value.typeName(), "QString") << name;
        EXPECT_EQ(value.toString().toStdString(), "") << name;
    }
    for (const char* name : {"AttentionIconPixmap", "OverlayIconPixmap"}) {
        const QVariant value = itemProperty(QString::fromLatin1(name));
        ASSERT_STREQ(value.typeName(), "QDBusArgument") << name;
        EXPECT_EQ(value.value<QDBusArgument>().currentSignature().toStdString(), "a(iiay)") << name;
        QList<HostPixmap> none;
        value.value<QDBusArgument>() >> none;
        EXPECT_TRUE(none.isEmpty()) << name;
    }

    QList<HostPixmap> pixmaps;
    itemProperty(QStringLiteral("IconPixmap")).value<QDBusArgument>() >> pixmaps;
    std::vector<int> sides;
    for (const auto& [width, height, argb] : pixmaps) {
        sides.push_back(width);
        ASSERT_EQ(height, width);
        const QImage drawn = app::statusImage(app::StatusIconState::red)
                                 .pixmap(QSize(width, width), 1.0)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
        QByteArray expected;
        for (int y = 0; y < width; ++y) {
            for (int x = 0; x < width; ++x) {
                const QRgb pixel = drawn.pixel(x, y);
                for (const int channel : {qAlpha(pixel), qRed(pixel), qGreen(pixel), qBlue(pixel)}) {
                    expected.push_back(static_cast<char>(channel));
                }
            }
        }
        EXPECT_EQ(argb, expected) << width;
    }
    EXPECT_EQ(sides, (std::vector<int>{16, 22, 24, 32, 48}));

    test::SignalListener announcements(bus.address(), itemInterface.toStdString());
    views.agentHolds({}, std::nullopt);
    std::set<std::string> heard;
    EXPECT_TRUE(test::runQtUntil([&] {
        while (const auto signal = announcements.next(0ms)) {
            heard.insert(signal->member);
        }
        return heard.size() == 2;
    }));
    EXPECT_EQ(heard, (std::set<std::string>{"NewIcon", "NewToolTip"}));
    EXPECT_EQ(toolTipTitle(), app::spokenText(app::StatusIconState::green));
}

QWidget* shownPanel() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->findChild<app::MenuView*>()) {
            return window;
        }
    }
    return nullptr;
}

// A host's click opens the panel hanging from the place it gives, on the screen that holds that place,
// wherever the pointer is; a second click closes it. The menu a host draws lists the
// commands, drops where the host asks for it, follows whether a phone may be added, and a click on an entry
// runs its command: its first entry opens the panel where the host's last click was, not at the pointer.
TEST_F(StatusNotifierTest, TheHostsClicksReachThePanelAndTheMenu) {
    if (const auto missing = test::whyTheThreeScreensAreMissing()) {
        GTEST_SKIP() << *missing;
    }
    watcher.start();
    startTray();
    QCursor::setPos(10, 790);
    for (const char* name : {"primary", "netbook", "desktop"}) {
        SCOPED_TRACE(name);
        QScreen* screen = nullptr;
        for (QScreen* candidate : QGuiApplication::screens()) {
            if (candidate->name() == QLatin1String(name)) {
                screen = candidate;
            }
        }
        ASSERT_NE(screen, nullptr);
        const QRect free = screen->availableGeometry();
        const QPoint click(free.right() - 20, free.top() + 4);
        ask(QStringLiteral("/StatusNotifierItem"), itemInterface, QStringLiteral("Activate"),
            {click.x(), click.y()});
        ASSERT_TRUE(test::runQtUntil([] { return shownPanel() != nullptr; }));
        const QRect placed = shownPanel()->geometry();
        EXPECT_EQ(QGuiApplication::screenAt(placed.center()), screen) << placed.x() << "," << placed.y();
        EXPECT_TRUE(placed.adjusted(-8, -8, 8, 8).contains(click)) << placed.x() << "," << placed.y();
        EXPECT_TRUE(free.contains(shownPanel()->frameGeometry())) << placed.x() << "," << placed.y();
        ask(QStringLiteral("/StatusNotifierItem"), itemInterface, QStringLiteral("Activate"),
            {click.x(), click.y()});
        EXPECT_TRUE(test::runQtUntil([] { return shownPanel() == nullptr; }));
    }

    // The host's own menu request, in the screen's pixels at 200 %, drops the menu at the click.
    const QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* hidpi = *std::find_if(screens.begin(), screens.end(),
                                   [](QScreen* screen) { return screen->devicePixelRatio() == 2; });
    const QPoint menuClick = hidpi->geometry().topLeft() + QPoint(500, 10);
    ask(QStringLiteral("/StatusNotifierItem"), itemInterface, QStringLiteral("ContextMenu"),
        {hidpi->geometry().x() + 1000, 20});
    QWidget* popped = nullptr;
    ASSERT_TRUE(test::runQtUntil([&] {
        popped = QApplication::activePopupWidget();
        return popped != nullptr;
    }));
    EXPECT_EQ(popped->geometry().topLeft(), menuClick);
    popped->close();

    const auto labels = [](const test::HostMenuEntry& menu) {
        QStringList shown;
        for (const test::HostMenuEntry& entry : menu.children) {
            shown.push_back(entry.properties.value(QStringLiteral("type")).toString() ==
                                    QLatin1String("separator")
                                ? QStringLiteral("-")
                                : entry.properties.value(QStringLiteral("label")).toString());
        }
        return shown;
    };
    const test::HostMenuEntry menu = menuLayout();
    EXPECT_EQ(labels(menu),
              (QStringList{app::uiText("Mở Kestrava"), QStringLiteral("-"), app::uiText("Thêm iPhone…"),
                           app::uiText("Cài đặt…"), app::uiText("Chạy lại hướng dẫn"),
                           app::uiText("Giới thiệu Kestrava"), QStringLiteral("-"),
                           app::uiText("Thoát Kestrava")}));
    ASSERT_EQ(menu.children.size(), 8U);
    EXPECT_EQ(menu.children[2].properties.value(QStringLiteral("enabled")), QVariant(false));
    EXPECT_EQ(menu.children[5].properties.value(QStringLiteral("enabled")), QVariant(true));

    test::SignalListener announcements(bus.address(), menuInterface.toStdString());
    views.agentHolds({}, std::nullopt);
    std::optional<test::ReceivedSignal> heard;
    EXPECT_TRUE(test::runQtUntil([&] { return (heard = announcements.next(0ms)).has_value(); }));
    EXPECT_EQ(heard->member, "ItemsPropertiesUpdated");
    EXPECT_EQ(menuLayout().children[2].properties.value(QStringLiteral("enabled")), QVariant(true));

    ask(QStringLiteral("/MenuBar"), menuInterface, QStringLiteral("Event"),
        {menu.children[5].id, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0U});
    const auto about = [] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && window->windowTitle() == app::uiText("Giới thiệu Kestrava")) {
                return window;
            }
        }
        return static_cast<QWidget*>(nullptr);
    };
    ASSERT_TRUE(test::runQtUntil([&] { return about() != nullptr; }));
    about()->close();

    const QPoint lastClick = QGuiApplication::screens().back()->availableGeometry().topRight();
    ask(QStringLiteral("/StatusNotifierItem"), itemInterface, QStringLiteral("Activate"),
        {lastClick.x(), lastClick.y()});
    ASSERT_TRUE(test::runQtUntil([] { return shownPanel() != nullptr; }));
    shownPanel()->close();
    ASSERT_TRUE(test::runQtUntil([] { return shownPanel() == nullptr; }));
    ask(QStringLiteral("/MenuBar"), menuInterface, QStringLiteral("Event"),
        {menu.children[0].id, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)), 0U});
    ASSERT_TRUE(test::runQtUntil([] { return shownPanel() != nullptr; }));
    const QRect placed = shownPanel()->geometry();
    EXPECT_TRUE(placed.adjusted(-8, -8, 8, 8).contains(lastClick)) << placed.x() << "," << placed.y();
    shownPanel()->close();
}

} // namespace
} // namespace kestrava
