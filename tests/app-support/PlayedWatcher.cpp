#include "tests/app-support/PlayedWatcher.hpp"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <stdexcept>

namespace kestrava::test {
namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");

} // namespace

PlayedWatcher::PlayedWatcher(std::string busAddress, Manner manner)
    : busAddress_(std::move(busAddress)), manner_(manner) {}

PlayedWatcher::~PlayedWatcher() {
    stop();
}

void PlayedWatcher::start() {
    stop();
    connectionName_ = QStringLiteral("played-watcher-%1").arg(++starts_);
    QDBusConnection connection =
        QDBusConnection::connectToBus(QString::fromStdString(busAddress_), connectionName_);
    // The name comes once the watcher before lets it go, as the bus notices.
    if (!connection.registerVirtualObject(watcherPath, this) ||
        !connection.interface()
             ->registerService(watcherService, QDBusConnectionInterface::QueueService)
             .isValid()) {
        throw std::runtime_error("the played watcher cannot ask for its name");
    }
}

void PlayedWatcher::stop() {
    if (!connectionName_.isEmpty()) {
        // Calls Qt has handed to this thread hold on to their connection's insides: they go while it lives,
        // and once the object is off the bus no more come.
        QDBusConnection(connectionName_).unregisterObject(watcherPath);
        QCoreApplication::removePostedEvents(this);
        QDBusConnection::disconnectFromBus(std::exchange(connectionName_, {}));
    }
    listed_.clear();
    held_.clear();
}

void PlayedWatcher::setHost(bool host) {
    manner_.host = host;
    announce(host ? QStringLiteral("StatusNotifierHostRegistered")
                  : QStringLiteral("StatusNotifierHostUnregistered"));
}

void PlayedWatcher::setManner(Manner manner) {
    const bool hostChanged = manner.host != manner_.host;
    manner_ = manner;
    refused_ = 0;
    if (hostChanged) {
        setHost(manner.host);
    }
    if (manner_.answers && !connectionName_.isEmpty()) {
        for (const QDBusMessage& call : std::exchange(held_, {})) {
            handleMessage(call, QDBusConnection(connectionName_));
        }
    }
}

void PlayedWatcher::drop() {
    for (const QString& entry : std::exchange(listed_, {})) {
        announce(QStringLiteral("StatusNotifierItemUnregistered"), {entry});
    }
}

bool PlayedWatcher::handleMessage(const QDBusMessage& call, const QDBusConnection& connection) {
    if (!manner_.answers) {
        held_.push_back(call);
        return true;
    }
    const QString method = call.member();
    const bool registration = method == QLatin1String("RegisterStatusNotifierItem");
    if (registration) {
        asked_.push_back(call.arguments().value(0).toString());
    }
    // Until then its object is not there, whatever the call.
    if (refused_ < manner_.refusals) {
        refused_ += registration ? 1 : 0;
        connection.send(call.createErrorReply(QDBusError::UnknownObject, call.path()));
        return true;
    }
    if (registration) {
        const QString given = asked_.back();
        connection.send(call.createReply());
        const bool byUniqueName =
            manner_.spelling == Spelling::uniqueName || manner_.spelling == Spelling::uniqueNameWithPath;
        const bool withPath =
            manner_.spelling == Spelling::asGivenWithPath || manner_.spelling == Spelling::uniqueNameWithPath;
        const QString entry = (byUniqueName ? call.service() : given) +
                              (withPath ? QStringLiteral("/StatusNotifierItem") : QString());
        if (manner_.lists && !listed_.contains(entry)) {
            listed_.push_back(entry);
            announce(QStringLiteral("StatusNotifierItemRegistered"), {entry});
        }
    } else if (method == QLatin1String("Introspect")) {
        connection.send(
            call.createReply(QStringLiteral("<node>") + introspect(call.path()) + QStringLiteral("</node>")));
    } else if (method == QLatin1String("GetAll")) {
        connection.send(call.createReply(properties()));
    } else if (method == QLatin1String("Get") &&
               properties().contains(call.arguments().value(1).toString())) {
        connection.send(call.createReply(
            QVariant::fromValue(QDBusVariant(properties().value(call.arguments().value(1).toString())))));
    } else {
        connection.send(call.createErrorReply(QDBusError::UnknownMethod, method));
    }
    return true;
}

QString PlayedWatcher::introspect(const QString&) const {
    return QStringLiteral(R"(<interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
  <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
  <signal name="StatusNotifierHostRegistered"/>
  <signal name="StatusNotifierHostUnregistered"/>
</interface>
)");
}

QVariantMap PlayedWatcher::properties() const {
    return {{QStringLiteral("IsStatusNotifierHostRegistered"), manner_.host},
            {QStringLiteral("RegisteredStatusNotifierItems"), listed_},
            {QStringLiteral("ProtocolVersion"), 0}};
}

void PlayedWatcher::announce(const QString& member, const QVariantList& arguments) const {
    if (connectionName_.isEmpty()) {
        return;
    }
    auto signal = QDBusMessage::createSignal(watcherPath, watcherService, member);
    signal.setArguments(arguments);
    QDBusConnection(connectionName_).send(signal);
}

} // namespace kestrava::test
