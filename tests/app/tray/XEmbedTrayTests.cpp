// The XEmbed tray as it is: trayer on an X server of the test's own, found by the application's watch and
// given the real application's icon where no panel's host draws our item or the panel's watcher hangs; and
// the real application's bus side against the requests any program on the bus may make.
#include "app/tray/BusMenuStructures.hpp"
#include "app/tray/XAtom.hpp"
#include "app/tray/XEmbedTrayWatch.hpp"
#include "tests/app-support/HostMenuEntry.hpp"
#include "tests/app-support/PlayedWatcher.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/Trayer.hpp"
#include "tests/app-support/XvfbDisplay.hpp"
#include "tests/support/PrivateSessionBus.hpp"
#include "tests/support/SignalListener.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QFile>
#include <QRect>
#include <QRegularExpression>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <numeric>
#include <optional>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

// Servers and clients start slowly on a busy machine.
constexpr auto patience = 60s;

void end(test::AgentProcess& program) {
    program.signal(SIGTERM);
    program.waitForExit(patience);
}

// A tray that starts is found, whether before or after the watch; one that ends is gone, and one that
// starts again is found again.
TEST(XEmbedTrayWatch, FollowsATrayThatComesAndGoes) {
    if (const auto missing = test::XvfbDisplay::whyMissing({QStringLiteral("trayer")})) {
        GTEST_SKIP() << *missing;
    }
    test::ensureQtApplication();
    const test::TemporaryDirectory home;
    const test::XvfbDisplay x(home.path());
    const app::XEmbedTrayWatch watch(x.name());
    EXPECT_FALSE(watch.present());
    for (int start = 1; start <= 2; ++start) {
        SCOPED_TRACE(start);
        std::optional<test::Trayer> trayer(std::in_place, x);
        EXPECT_TRUE(test::runQtUntil([&] { return watch.present(); }, {}, patience));
        trayer.reset();
        EXPECT_TRUE(test::runQtUntil([&] { return !watch.present(); }, {}, patience));
    }
    EXPECT_FALSE(app::XEmbedTrayWatch(QString()).present());
    EXPECT_FALSE(app::XEmbedTrayWatch(QStringLiteral(":65000")).present());
}

// The spaces before a line of xwininfo's tree: its depth.
qsizetype depthOf(const QString& line) {
    qsizetype spaces = 0;
    while (spaces < line.size() && line[spaces] == QLatin1Char(' ')) {
        ++spaces;
    }
    return spaces;
}

// Whether a window of the application is docked in trayer's panel, from xwininfo's tree.
bool dockedInTrayer(const QString& tree) {
    const QStringList lines = tree.split(QLatin1Char('\n'));
    const QRegularExpression window(QStringLiteral("^\\s*0x[0-9a-f]+ "));
    const QRegularExpression ours(QStringLiteral("\\(\"[^\"]*kestrava"),
                                  QRegularExpression::CaseInsensitiveOption);
    const auto panel = std::find_if(lines.begin(), lines.end(), [](const QString& line) {
        return line.contains(QLatin1String("(\"panel\" \"trayer\")"));
    });
    if (panel == lines.end()) {
        return false;
    }
    for (auto below = panel + 1; below != lines.end(); ++below) {
        if (window.match(*below).hasMatch()) {
            if (depthOf(*below) <= depthOf(*panel)) {
                return false;
            }
            if (ours.match(*below).hasMatch()) {
                return true;
            }
        }
    }
    return false;
}

// A top-level panel window of the application in xwininfo's tree, alone or in a window manager's frame,
// and its place in the screen's pixels (Qt's hidden leader window of the same title has no class, and its
// icon docked in a tray lies in the tray's window).
struct PanelWindow {
    xcb_window_t id;
    QRect place;
};
std::optional<PanelWindow> panelWindowIn(const QString& tree) {
    const QRegularExpression window(QStringLiteral("^(\\s*)0x([0-9a-f]+) (.*)$"));
    const QRegularExpression panel(QStringLiteral("^\"Kestrava\": \\(\".*\\s(\\d+)x(\\d+)\\+-?\\d+\\+-?\\d+"
                                                  "\\s+\\+(-?\\d+)\\+(-?\\d+)$"));
    qsizetype topLevel = -1;
    bool inAFrame = false;
    for (const QString& line : tree.split(QLatin1Char('\n'))) {
        const auto found = window.match(line);
        if (!found.hasMatch()) {
            continue;
        }
        if (topLevel < 0) {
            topLevel = found.capturedLength(1);
        }
        const qsizetype depth = found.capturedLength(1);
        if (depth == topLevel) {
            inAFrame = found.captured(3).startsWith(QLatin1String("(has no name): ()"));
        }
        const auto place = panel.match(found.captured(3));
        if (place.hasMatch() && (depth == topLevel || (inAFrame && depth == topLevel + 3))) {
            return PanelWindow{found.captured(2).toUInt(nullptr, 16),
                               QRect(place.captured(3).toInt(), place.captured(4).toInt(),
                                     place.captured(1).toInt(), place.captured(2).toInt())};
        }
    }
    return std::nullopt;
}

// The window the window manager names active on `display`; none where it names none.
xcb_window_t activeWindowOn(const QString& display) {
    xcb_connection_t* x = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        x, xcb_get_property(x, false, root, app::internAtom(x, "_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 0, 1),
        nullptr);
    xcb_window_t active = XCB_WINDOW_NONE;
    if (reply && xcb_get_property_value_length(reply) >= 4) {
        active = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
    }
    std::free(reply);
    xcb_disconnect(x);
    return active;
}

class RealApplicationTest : public testing::Test {
protected:
    RealApplicationTest() { test::ensureQtApplication(); }
    ~RealApplicationTest() override {
        if (application) {
            end(*application);
        }
        QDBusConnection::disconnectFromBus(asker);
    }

    void SetUp() override {
        if (const auto missing = test::XvfbDisplay::whyMissing({QStringLiteral("trayer")})) {
            GTEST_SKIP() << *missing;
        }
        x.emplace(home.path());
        trayer.emplace(*x);
    }

    // The application as a user starts it on the test's display and session bus, with no agent; in a
    // session that also names a Wayland compositor, the X display is its Xwayland.
    std::unique_ptr<test::AgentProcess> run(const std::string& wayland = {}) const {
        return x->run(QStringLiteral(KESTRAVA_APP_PATH), {},
                      {{"KESTRAVA_TEST_HARNESS", "1"},
                       {"QT_QPA_PLATFORM", ""},
                       {"WAYLAND_DISPLAY", wayland},
                       {"DBUS_SESSION_BUS_ADDRESS", bus.address()},
                       {"XDG_CONFIG_HOME", (home / "config").string()}});
    }
    void startApplication(const std::string& wayland = {}) {
        application = run(wayland);
        ASSERT_TRUE(test::runQtUntil(
            [&] {
                return application->output().find("kestrava: shows its windows on xcb\n") !=
                       std::string::npos;
            },
            {}, patience))
            << application->output();
    }
    QString itemService() const {
        return QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(application->pid());
    }
    // A call to the application as any program on the bus makes it, and its answer, or nothing when none
    // came within `limit`.
    std::optional<QDBusMessage> ask(const QString& path, const QString& interface, const QString& method,
                                    const QVariantList& arguments, std::chrono::milliseconds limit) {
        auto call = QDBusMessage::createMethodCall(itemService(), path, interface, method);
        call.setArguments(arguments);
        QDBusPendingCall pending = QDBusConnection::connectToBus(QString::fromStdString(bus.address()), asker)
                                       .asyncCall(call, static_cast<int>(patience / 1ms));
        if (!test::runQtUntil([&] { return pending.isFinished(); }, {}, limit)) {
            return std::nullopt;
        }
        return pending.reply();
    }
    // Whether the application answers a call that its interface thread serves within a moment.
    bool answersAtOnce() {
        const auto answer = ask(QStringLiteral("/StatusNotifierItem"),
                                QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                {QStringLiteral("org.kde.StatusNotifierItem"), QStringLiteral("Id")}, 3s);
        return answer && answer->type() == QDBusMessage::ReplyMessage;
    }
    // The most memory the application has held at once, in KiB.
    long peakMemory() const {
        QFile status(QStringLiteral("/proc/%1/status").arg(application->pid()));
        if (!status.open(QIODevice::ReadOnly)) {
            return -1;
        }
        const QRegularExpression peak(QStringLiteral("VmHWM:\\s*(\\d+) kB"));
        return peak.match(QString::fromLatin1(status.readAll())).captured(1).toLong();
    }
    bool docked() const { return dockedInTrayer(x->windowTree()); }
    // A host's click on the application's item, reported at `point`.
    void activateItemAt(QPoint point) const {
        const QDBusMessage activated =
            QDBusConnection::connectToBus(QString::fromStdString(bus.address()), asker)
                .call(QDBusMessage::createMethodCall(itemService(), QStringLiteral("/StatusNotifierItem"),
                                                     QStringLiteral("org.kde.StatusNotifierItem"),
                                                     QStringLiteral("Activate"))
                      << point.x() << point.y());
        EXPECT_NE(activated.type(), QDBusMessage::ErrorMessage) << activated.errorMessage().toStdString();
    }

    const QString asker = QStringLiteral("asker");
    test::PrivateSessionBus bus;
    const test::TemporaryDirectory home;
    std::optional<test::XvfbDisplay> x;
    std::optional<test::Trayer> trayer;
    std::unique_ptr<test::AgentProcess> application;
};

// Where no host draws items, alone or beside a watcher that has none (a desktop daemon's), the icon is
// Qt's in trayer, and the panel does not open as a window; a tray that restarts gets the icon again.
TEST_F(RealApplicationTest, TheIconShowsInTrayerWhereNoHostDrawsItems) {
    for (const bool watcherThere : {false, true}) {
        SCOPED_TRACE(watcherThere ? "beside a watcher with no host" : "trayer alone");
        test::PlayedWatcher watcher(bus.address(), {.host = false});
        if (watcherThere) {
            watcher.start();
        }
        startApplication();
        EXPECT_TRUE(test::runQtUntil([&] { return docked(); }, {}, patience))
            << x->windowTree().toStdString() << application->output();
        EXPECT_FALSE(panelWindowIn(x->windowTree()).has_value()) << x->windowTree().toStdString();
        EXPECT_EQ(watcher.asked(), watcherThere ? QStringList{itemService()} : QStringList{});

        trayer.reset();
        trayer.emplace(*x);
        EXPECT_TRUE(test::runQtUntil([&] { return docked(); }, {}, patience))
            << x->windowTree().toStdString() << application->output();
        end(*application);
        application.reset();
    }
}

// Where a host draws items, the icon is our item, listed by a watcher whose object answers only after a
// moment, and not in trayer; when the host goes the icon goes to trayer, and back to the host when it
// comes again. Only the connection that serves the menu tells of its changes.
TEST_F(RealApplicationTest, TheIconFollowsAHostThatComesAndGoes) {
    test::PlayedWatcher watcher(bus.address(), {.refusals = 2});
    watcher.start();
    test::SignalListener menuChanges(bus.address(), "com.canonical.dbusmenu");
    startApplication();
    ASSERT_TRUE(
        test::runQtUntil([&] { return watcher.listed() == QStringList{itemService()}; }, {}, patience))
        << application->output();
    const QString owner = QDBusConnection::connectToBus(QString::fromStdString(bus.address()), asker)
                              .interface()
                              ->serviceOwner(itemService());
    EXPECT_FALSE(docked());

    watcher.setHost(false);
    EXPECT_TRUE(test::runQtUntil([&] { return docked(); }, {}, patience))
        << x->windowTree().toStdString() << application->output();
    watcher.setHost(true);
    EXPECT_TRUE(test::runQtUntil([&] { return !docked(); }, {}, patience))
        << x->windowTree().toStdString() << application->output();
    EXPECT_FALSE(panelWindowIn(x->windowTree()).has_value());

    std::vector<std::string> senders;
    EXPECT_TRUE(test::runQtUntil([&] {
        while (const auto change = menuChanges.next(0ms)) {
            senders.push_back(change->sender);
        }
        return !senders.empty();
    }));
    EXPECT_EQ(senders, std::vector<std::string>(senders.size(), owner.toStdString()));
}

// On X11 the pointer is on the icon the user just clicked: the panel hangs there, below the top bar and
// ending at the click, where the host reports its panel's origin, or the click in its own logical pixels
// at 200 %.
TEST_F(RealApplicationTest, OnX11ThePanelOpensAtTheIconWhateverPointItsHostReports) {
    test::PlayedWatcher watcher(bus.address(), {});
    watcher.start();
    const QPoint click(1100, 10);
    struct Case {
        const char* what;
        int dotsPerInch;
        QPoint reported;
    };
    for (const Case& c : {Case{"a panel's origin", 96, {0, 25}},
                          Case{"a tray's own logical pixels at 200 %", 192, click / 2}}) {
        SCOPED_TRACE(c.what);
        x->prepareDesktop(c.dotsPerInch, click);
        startApplication();
        ASSERT_TRUE(test::runQtUntil([&] { return watcher.listed().contains(itemService()); }, {}, patience))
            << application->output();
        // The first-run guide opens by itself, and takes the focus.
        ASSERT_TRUE(test::runQtUntil(
            [&] { return x->windowTree().contains(QStringLiteral("\"Hướng dẫn Kestrava\"")); }, {}, patience))
            << x->windowTree().toStdString();

        activateItemAt(c.reported);
        std::optional<PanelWindow> panel;
        ASSERT_TRUE(test::runQtUntil([&] { return (panel = panelWindowIn(x->windowTree())).has_value(); }, {},
                                     patience))
            << x->windowTree().toStdString();
        const QRect& place = panel->place;
        EXPECT_NEAR(place.right(), click.x(), 2) << place.x() << " " << place.width();
        EXPECT_LT(place.top(), 64);
        EXPECT_GT(place.top(), click.y());
        end(*application);
        application.reset();
    }
}

// A watcher that holds its name and answers nothing, as a hung panel's, counts as absent: the icon shows
// in trayer within a few seconds, not the minutes the watcher's calls would take, and the application
// answers its own bus calls at once throughout, Qt's own tray icon included. Once the watcher answers
// again the icon is our item, which it lists, and no longer in trayer.
TEST_F(RealApplicationTest, ASilentWatcherNeitherHidesTheIconNorFreezesTheApplication) {
    test::PlayedWatcher watcher(bus.address(), {.answers = false});
    watcher.start();
    startApplication();
    ASSERT_TRUE(test::runQtUntil([&] { return answersAtOnce(); }, {}, patience)) << application->output();
    bool answered = true;
    EXPECT_TRUE(test::runQtUntil(
        [&] {
            answered = answersAtOnce() && answered;
            return docked();
        },
        {}, 30s))
        << x->windowTree().toStdString() << application->output();
    // Qt's own tray icon asks its questions meanwhile.
    test::runQtUntil(
        [&] {
            answered = answersAtOnce() && answered;
            return false;
        },
        {}, 5s);
    EXPECT_TRUE(answered);

    watcher.setManner({});
    EXPECT_TRUE(test::runQtUntil([&] { return watcher.listed() == QStringList{itemService()} && !docked(); },
                                 {}, patience))
        << x->windowTree().toStdString() << application->output();
    EXPECT_TRUE(answersAtOnce());
}

// Any program on the bus may call the menu: requests that name an entry a million times, or a million
// entries, are answered or refused within a moment, with no more memory than a few such requests take
// on the bus, and the application stays on the bus, its menu as it was.
TEST_F(RealApplicationTest, NoMenuRequestStallsSwellsOrDropsTheApplication) {
    app::registerBusMenuTypes();
    startApplication();
    ASSERT_TRUE(test::runQtUntil([&] { return answersAtOnce(); }, {}, patience)) << application->output();
    const QString menuPath = QStringLiteral("/MenuBar");
    const QString menuInterface = QStringLiteral("com.canonical.dbusmenu");
    const auto layout = [&] {
        const auto answer =
            ask(menuPath, menuInterface, QStringLiteral("GetLayout"), {0, -1, QStringList{}}, patience);
        return answer ? test::hostMenuEntryOf(answer->arguments().value(1).value<QDBusArgument>())
                      : test::HostMenuEntry{};
    };
    const test::HostMenuEntry before = layout();
    // A separator: a click on it does nothing, however often it comes.
    const auto separator =
        std::find_if(before.children.begin(), before.children.end(), [](const auto& entry) {
            return entry.properties.value(QStringLiteral("type")) == QStringLiteral("separator");
        });
    ASSERT_NE(separator, before.children.end());
    constexpr int many = 1'000'000;
    QList<int> every(many);
    std::iota(every.begin(), every.end(), 0);
    const QList<int> repeated(many, separator->id);
    const auto clicks = [](const QList<int>& ids) {
        QList<app::BusMenuEvent> events;
        for (const int id : ids) {
            events.push_back({id, QStringLiteral("clicked"), QDBusVariant(0), 0});
        }
        return QVariant::fromValue(events);
    };
    struct Request {
        const char* name;
        QString method;
        QVariantList arguments;
    };
    const std::vector<Request> requests{
        {"properties, one entry named a million times",
         "GetGroupProperties",
         {QVariant::fromValue(repeated), QStringList{}}},
        {"properties, a million entries", "GetGroupProperties", {QVariant::fromValue(every), QStringList{}}},
        {"showing, one entry named a million times", "AboutToShowGroup", {QVariant::fromValue(repeated)}},
        {"showing, a million entries", "AboutToShowGroup", {QVariant::fromValue(every)}},
        {"clicks, one entry a million times", "EventGroup", {clicks(repeated)}},
        {"clicks, a million entries", "EventGroup", {clicks(every)}},
    };
    const long peakBefore = peakMemory();
    for (const Request& request : requests) {
        SCOPED_TRACE(request.name);
        // The limit holds the request's own way over the bus on a busy machine.
        const auto answer = ask(menuPath, menuInterface, request.method, request.arguments, 3s);
        ASSERT_TRUE(answer.has_value());
        EXPECT_NE(answer->type(), QDBusMessage::InvalidMessage);
        EXPECT_TRUE(answersAtOnce());
    }
    if (KESTRAVA_APP_PEAK_MEANINGFUL) {
        EXPECT_LT(peakMemory() - peakBefore, 96 * 1024) << peakBefore;
    }
    const test::HostMenuEntry after = layout();
    ASSERT_EQ(after.children.size(), before.children.size());
    for (std::size_t n = 0; n < after.children.size(); ++n) {
        EXPECT_EQ(after.children[n].id, before.children[n].id) << n;
    }
}

// Under Xwayland the panel that drops from the icon closes when the window manager names another window
// active, as it does when the user clicks a Wayland window: the popup's grab sees no such click. A notice
// that names the same window again, or the panel itself, leaves it open.
TEST_F(RealApplicationTest, UnderXwaylandThePanelClosesWhenAnotherWindowBecomesActive) {
    startApplication("wayland-of-the-test");
    ASSERT_TRUE(test::runQtUntil([&] { return docked(); }, {}, patience)) << application->output();
    // The first-run guide opens by itself: a window that takes the focus, which would close the panel.
    const QRegularExpression guideLine(QStringLiteral("0x([0-9a-f]+) \"Hướng dẫn Kestrava\": \\("));
    QRegularExpressionMatch guide;
    ASSERT_TRUE(
        test::runQtUntil([&] { return (guide = guideLine.match(x->windowTree())).hasMatch(); }, {}, patience))
        << x->windowTree().toStdString();
    xcb_connection_t* manager = xcb_connect(x->name().toLocal8Bit().constData(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(manager)).data->root;
    const xcb_atom_t active = app::internAtom(manager, "_NET_ACTIVE_WINDOW");
    const auto nameActive = [&](xcb_window_t window) {
        xcb_change_property(manager, XCB_PROP_MODE_REPLACE, root, active, XCB_ATOM_WINDOW, 32, 1, &window);
        xcb_flush(manager);
    };
    nameActive(guide.captured(1).toUInt(nullptr, 16));
    // A second start opens the first one's panel.
    EXPECT_EQ(run("wayland-of-the-test")->waitForExit(patience), 0);
    std::optional<PanelWindow> panel;
    ASSERT_TRUE(
        test::runQtUntil([&] { return (panel = panelWindowIn(x->windowTree())).has_value(); }, {}, patience))
        << x->windowTree().toStdString() << application->output();

    for (const xcb_window_t same : {guide.captured(1).toUInt(nullptr, 16), panel->id}) {
        nameActive(same);
        test::runQtUntil([] { return false; }, {}, 1s);
        ASSERT_TRUE(panelWindowIn(x->windowTree()).has_value()) << same << x->windowTree().toStdString();
    }
    nameActive(XCB_WINDOW_NONE);
    EXPECT_TRUE(test::runQtUntil([&] { return !panelWindowIn(x->windowTree()).has_value(); }, {}, patience))
        << x->windowTree().toStdString();
    xcb_disconnect(manager);
}

// Under Xwayland a popup gets no keys while a window of another program has them: the panel a host's click
// opens is a window the window manager makes active, and Escape closes it.
TEST_F(RealApplicationTest, UnderXwaylandThePanelTakesTheKeys) {
    if (const auto missing =
            test::XvfbDisplay::whyMissing({QStringLiteral("openbox"), QStringLiteral("xdotool")})) {
        GTEST_SKIP() << *missing;
    }
    const auto manager = x->run(QStringLiteral("openbox"), {});
    test::PlayedWatcher watcher(bus.address(), {});
    watcher.start();
    startApplication("wayland-of-the-test");
    ASSERT_TRUE(test::runQtUntil([&] { return watcher.listed().contains(itemService()); }, {}, patience))
        << application->output();
    // The first-run guide opens by itself and takes the keys.
    ASSERT_TRUE(test::runQtUntil([&] { return activeWindowOn(x->name()) != XCB_WINDOW_NONE; }, {}, patience))
        << x->windowTree().toStdString() << manager->output();

    activateItemAt(QPoint(1100, 10));
    std::optional<PanelWindow> panel;
    ASSERT_TRUE(
        test::runQtUntil([&] { return (panel = panelWindowIn(x->windowTree())).has_value(); }, {}, patience))
        << x->windowTree().toStdString() << application->output();
    EXPECT_TRUE(test::runQtUntil([&] { return activeWindowOn(x->name()) == panel->id; }, {}, patience))
        << activeWindowOn(x->name()) << " " << panel->id;
    EXPECT_EQ(x->run(QStringLiteral("xdotool"), {"key", "Escape"})->waitForExit(patience), 0);
    EXPECT_TRUE(test::runQtUntil([&] { return !panelWindowIn(x->windowTree()).has_value(); }, {}, patience))
        << x->windowTree().toStdString();
    manager->signal(SIGTERM);
    manager->waitForExit(patience);
}

} // namespace
} // namespace kestrava
