// A hand-made menu on a private bus as a host of com.canonical.dbusmenu reads it, clicks it and asks it
// about entries it does not have.
#include "app/tray/BusStructure.hpp"
#include "app/tray/DBusMenuExporter.hpp"
#include "tests/app-support/HostMenuEntry.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/support/PrivateSessionBus.hpp"

#include <gtest/gtest.h>

#include <QAction>
#include <QActionGroup>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QMenu>
#include <algorithm>
#include <memory>
#include <optional>

namespace kestrava {
namespace {

const QString menuPath = QStringLiteral("/MenuBar");
const QString menuInterface = QStringLiteral("com.canonical.dbusmenu");

// What happened to an entry, as a host sends it to EventGroup: (isvu).
struct HostEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};

} // namespace
} // namespace kestrava

Q_DECLARE_METATYPE(kestrava::HostEvent)

namespace kestrava {
namespace {

QDBusArgument& operator<<(QDBusArgument& out, const HostEvent& event) {
    return app::writeBusStructure(out, event.id, event.eventId, event.data, event.timestamp);
}

const QDBusArgument& operator>>(const QDBusArgument& in, HostEvent& event) {
    return app::readBusStructure(in, event.id, event.eventId, event.data, event.timestamp);
}

// Each property as "name=type:value", in order of names, so that a value of the wrong D-Bus type shows.
std::string described(const QVariantMap& properties) {
    QStringList shown;
    for (auto property = properties.cbegin(); property != properties.cend(); ++property) {
        shown.push_back(
            QStringLiteral("%1=%2:%3")
                .arg(property.key(), QString::fromLatin1(property->metaType().name()), property->toString()));
    }
    return shown.join(' ').toStdString();
}

class MenuExporterTest : public testing::Test {
protected:
    MenuExporterTest() {
        test::ensureQtApplication();
        qDBusRegisterMetaType<HostEvent>();
        qDBusRegisterMetaType<QList<HostEvent>>();
        menu = std::make_unique<QMenu>();
        open = menu->addAction(QStringLiteral("&Mở tệp"));
        menu->addAction(QStringLiteral("Lưu && thoát"));
        menu->addAction(QStringLiteral("tên_tệp"));
        menu->addSeparator();
        pause = menu->addAction(QStringLiteral("Tạm dừng"));
        pause->setCheckable(true);
        QAction* atLogin = menu->addAction(QStringLiteral("Khởi động cùng máy"));
        atLogin->setCheckable(true);
        atLogin->setChecked(true);
        auto* group = new QActionGroup(menu.get());
        for (const QString& text : {QStringLiteral("Một"), QStringLiteral("Hai")}) {
            QAction* choice = group->addAction(text);
            choice->setCheckable(true);
            menu->addAction(choice);
        }
        group->actions().front()->setChecked(true);
        disabled = menu->addAction(QStringLiteral("Không dùng được"));
        disabled->setEnabled(false);
        menu->addAction(QStringLiteral("Ẩn"))->setVisible(false);
        QMenu* more = menu->addMenu(QStringLiteral("&Thêm"));
        more->addAction(QStringLiteral("Con"));
        more->addSeparator();
        for (QAction* action : menu->actions() + more->actions()) {
            QObject::connect(action, &QAction::triggered, [this, action] { triggered.push_back(action); });
        }
        exporter.emplace(*menu, connect(appSide), menuPath);
        connect(hostSide);
    }
    ~MenuExporterTest() override {
        exporter.reset();
        for (const QString& name : {appSide, hostSide}) {
            QDBusConnection::disconnectFromBus(name);
        }
    }

    QDBusConnection connect(const QString& name) {
        return QDBusConnection::connectToBus(QString::fromStdString(bus.address()), name);
    }
    // A call as a host makes it, and its answer.
    QDBusMessage ask(const QString& method, const QVariantList& arguments) {
        auto call = QDBusMessage::createMethodCall(QDBusConnection(appSide).baseService(), menuPath,
                                                   menuInterface, method);
        call.setArguments(arguments);
        QDBusPendingCall pending = QDBusConnection(hostSide).asyncCall(call);
        EXPECT_TRUE(test::runQtUntil([&] { return pending.isFinished(); }));
        return pending.reply();
    }
    test::HostMenuEntry layout() {
        const QDBusMessage answer = ask(QStringLiteral("GetLayout"), {0, -1, QStringList{}});
        EXPECT_EQ(answer.type(), QDBusMessage::ReplyMessage) << answer.errorMessage().toStdString();
        return test::hostMenuEntryOf(answer.arguments().value(1).value<QDBusArgument>());
    }
    static QVariant clicked(int id) {
        return QVariant::fromValue(QList<HostEvent>{{id, QStringLiteral("clicked"), QDBusVariant(0), 0}});
    }

    const QString appSide = QStringLiteral("menu-app");
    const QString hostSide = QStringLiteral("menu-host");
    test::PrivateSessionBus bus;
    // Made once the test has its QApplication.
    std::unique_ptr<QMenu> menu;
    QAction* open = nullptr;
    QAction* pause = nullptr;
    QAction* disabled = nullptr;
    std::vector<QAction*> triggered;
    std::optional<app::DBusMenuExporter> exporter;
};

// Every kind of entry with the properties a host draws it by, of the types the protocol gives them:
// mnemonics marked with "_" (a sign of its own doubled), toggles with their state, the separator, a
// disabled and an invisible entry, and a submenu with its own entries below it.
TEST_F(MenuExporterTest, EachEntryHasThePropertiesAHostDrawsItBy) {
    const test::HostMenuEntry root = layout();
    EXPECT_EQ(described(root.properties), "children-display=QString:submenu");
    // An entry that is enabled and visible, with its other properties between those two names.
    const auto entry = [](const std::string& properties) {
        return "enabled=bool:true " + properties + " visible=bool:true";
    };
    const std::vector<std::string> expected{
        entry("label=QString:_Mở tệp"),
        entry("label=QString:Lưu & thoát"),
        entry("label=QString:tên__tệp"),
        entry("type=QString:separator"),
        entry("label=QString:Tạm dừng toggle-state=int:0 toggle-type=QString:checkmark"),
        entry("label=QString:Khởi động cùng máy toggle-state=int:1 toggle-type=QString:checkmark"),
        entry("label=QString:Một toggle-state=int:1 toggle-type=QString:radio"),
        entry("label=QString:Hai toggle-state=int:0 toggle-type=QString:radio"),
        "enabled=bool:false label=QString:Không dùng được visible=bool:true",
        // Qt disables what it hides.
        "enabled=bool:false label=QString:Ẩn visible=bool:false",
        "children-display=QString:submenu " + entry("label=QString:_Thêm"),
    };
    ASSERT_EQ(root.children.size(), expected.size());
    for (std::size_t n = 0; n < expected.size(); ++n) {
        EXPECT_EQ(described(root.children[n].properties), expected[n]) << n;
        EXPECT_NE(root.children[n].id, 0) << n;
    }
    const test::HostMenuEntry& more = root.children.back();
    ASSERT_EQ(more.children.size(), 2U);
    EXPECT_EQ(described(more.children[0].properties), entry("label=QString:Con"));
    EXPECT_EQ(described(more.children[1].properties), entry("type=QString:separator"));

    // A layout of the submenu alone, one level deep, with only the labels asked for.
    const QDBusMessage sub = ask(QStringLiteral("GetLayout"), {more.id, 1, QStringList{"label"}});
    const test::HostMenuEntry shallow =
        test::hostMenuEntryOf(sub.arguments().value(1).value<QDBusArgument>());
    EXPECT_EQ(shallow.id, more.id);
    EXPECT_EQ(described(shallow.properties), "label=QString:_Thêm");
    ASSERT_EQ(shallow.children.size(), 2U);
    EXPECT_EQ(described(shallow.children[0].properties), "label=QString:Con");
    EXPECT_TRUE(shallow.children[1].properties.isEmpty());
}

// A click on an entry triggers its action, a toggle's included; a disabled entry's click does nothing; an
// entry whose action is gone is as unknown to the host as one that never was.
TEST_F(MenuExporterTest, AClickTriggersItsEntryOnly) {
    const test::HostMenuEntry root = layout();
    const int openId = root.children[0].id;
    const int pauseId = root.children[4].id;
    const int disabledId = root.children[8].id;
    // The last click is heard after those before it: a disabled entry's would have come by then.
    const int lastId = root.children[1].id;
    for (const int id : {openId, pauseId, disabledId, lastId}) {
        const QDBusMessage answer = ask(QStringLiteral("Event"), {id, QStringLiteral("clicked"),
                                                                  QVariant::fromValue(QDBusVariant(0)), 0U});
        EXPECT_EQ(answer.type(), QDBusMessage::ReplyMessage) << id;
    }
    EXPECT_TRUE(test::runQtUntil([&] { return triggered.size() >= 3; }));
    EXPECT_EQ(triggered, (std::vector<QAction*>{open, pause, menu->actions()[1]}));
    EXPECT_TRUE(pause->isChecked());
    EXPECT_EQ(described(layout().children[4].properties),
              "enabled=bool:true label=QString:Tạm dừng toggle-state=int:1 toggle-type=QString:checkmark "
              "visible=bool:true");

    delete open;
    const test::HostMenuEntry after = layout();
    EXPECT_NE(after.children.front().id, openId);
    const QDBusMessage gone = ask(QStringLiteral("Event"), {openId, QStringLiteral("clicked"),
                                                            QVariant::fromValue(QDBusVariant(0)), 0U});
    EXPECT_EQ(gone.type(), QDBusMessage::ErrorMessage);
}

// Each call that names entries answers an error for an id the menu does not have; the calls for groups
// name the unknown ones among known ones and answer an error when they know none.
TEST_F(MenuExporterTest, UnknownEntriesAreErrors) {
    const test::HostMenuEntry root = layout();
    const int known = root.children[1].id;
    const int submenu = root.children.back().id;
    constexpr int unknown = 9999;
    // Every entry below the root, in the order the host first saw them.
    std::vector<int> seen;
    for (const test::HostMenuEntry& entry : root.children) {
        seen.push_back(entry.id);
        for (const test::HostMenuEntry& child : entry.children) {
            seen.push_back(child.id);
        }
    }
    std::sort(seen.begin(), seen.end());
    QStringList everyId;
    for (const int id : seen) {
        everyId.push_back(QString::number(id));
    }
    const QVariant noData = QVariant::fromValue(QDBusVariant(0));
    struct Call {
        const char* name;
        QString method;
        QVariantList arguments;
        bool error;
        QString reply; // the reply's arguments as the host reads them, where it is no error
    };
    const std::vector<Call> calls{
        {"layout of an unknown entry", "GetLayout", {unknown, -1, QStringList{}}, true, {}},
        {"property of an unknown entry", "GetProperty", {unknown, QStringLiteral("label")}, true, {}},
        {"property an entry has not", "GetProperty", {known, QStringLiteral("icon-name")}, true, {}},
        {"property an entry has", "GetProperty", {known, QStringLiteral("label")}, false, "Lưu & thoát"},
        {"click on an unknown entry", "Event", {unknown, QStringLiteral("clicked"), noData, 0U}, true, {}},
        {"clicks on unknown entries only", "EventGroup", {clicked(unknown)}, true, {}},
        {"showing an unknown entry", "AboutToShow", {unknown}, true, {}},
        {"showing a known entry", "AboutToShow", {submenu}, false, "false"},
        {"showing unknown entries only",
         "AboutToShowGroup",
         {QVariant::fromValue(QList<int>{unknown})},
         true,
         {}},
        {"showing known and unknown entries",
         "AboutToShowGroup",
         {QVariant::fromValue(QList<int>{submenu, unknown})},
         false,
         "[] [9999]"},
        {"properties of unknown entries only",
         "GetGroupProperties",
         {QVariant::fromValue(QList<int>{unknown}), QStringList{}},
         true,
         {}},
        {"properties of known and unknown entries",
         "GetGroupProperties",
         {QVariant::fromValue(QList<int>{known, unknown}), QStringList{}},
         false,
         QStringLiteral("[%1]").arg(known)},
        {"properties of every entry, for no ids",
         "GetGroupProperties",
         {QVariant::fromValue(QList<int>{}), QStringList{QStringLiteral("label")}},
         false,
         "[" + everyId.join(',') + "]"},
    };
    const auto read = [](const QDBusMessage& answer) {
        QStringList shown;
        for (const QVariant& argument : answer.arguments()) {
            if (argument.metaType() == QMetaType::fromType<QDBusArgument>()) {
                const auto list = argument.value<QDBusArgument>();
                QStringList items;
                list.beginArray();
                while (!list.atEnd()) {
                    int id = 0;
                    if (list.currentType() == QDBusArgument::BasicType) {
                        list >> id;
                    } else {
                        QVariantMap properties;
                        list.beginStructure();
                        list >> id >> properties;
                        list.endStructure();
                    }
                    items.push_back(QString::number(id));
                }
                list.endArray();
                shown.push_back("[" + items.join(',') + "]");
            } else if (argument.metaType() == QMetaType::fromType<QDBusVariant>()) {
                shown.push_back(argument.value<QDBusVariant>().variant().toString());
            } else {
                shown.push_back(argument.toString());
            }
        }
        return shown.join(' ');
    };
    for (const Call& call : calls) {
        const QDBusMessage answer = ask(call.method, call.arguments);
        EXPECT_EQ(answer.type() == QDBusMessage::ErrorMessage, call.error)
            << call.name << ": " << answer.errorMessage().toStdString();
        if (!call.error) {
            EXPECT_EQ(read(answer), call.reply) << call.name;
        }
    }
    // A group of clicks with one unknown names it and still clicks the known one.
    const QDBusMessage mixed = ask(
        QStringLiteral("EventGroup"),
        {QVariant::fromValue(QList<HostEvent>{{known, QStringLiteral("clicked"), QDBusVariant(0), 0},
                                              {unknown, QStringLiteral("clicked"), QDBusVariant(0), 0}})});
    EXPECT_EQ(read(mixed), QStringLiteral("[9999]"));
    EXPECT_TRUE(test::runQtUntil([&] { return triggered.size() == 1; }));
}

} // namespace
} // namespace kestrava
