#include "app/tray/StatusNotifierItem.hpp"

#include "app/runtime/AppLog.hpp"
#include "app/tray/BusStructure.hpp"
#include "app/tray/HostClick.hpp"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QMenu>
#include <QtEndian>
#include <array>
#include <utility>

namespace kestrava::app {

// One picture of the icon: width, height and its pixels as 32-bit ARGB in network byte order: (iiay).
struct BusIconPixmap {
    int width = 0;
    int height = 0;
    QByteArray argb;
};

// Icon name, pictures, title and description: (sa(iiay)ss).
struct BusToolTip {
    QString iconName;
    QList<BusIconPixmap> pixmaps;
    QString title;
    QString description;
};

} // namespace kestrava::app

Q_DECLARE_METATYPE(kestrava::app::BusIconPixmap)
Q_DECLARE_METATYPE(kestrava::app::BusToolTip)

namespace kestrava::app {

QDBusArgument& operator<<(QDBusArgument& out, const BusIconPixmap& pixmap) {
    return writeBusStructure(out, pixmap.width, pixmap.height, pixmap.argb);
}

const QDBusArgument& operator>>(const QDBusArgument& in, BusIconPixmap& pixmap) {
    return readBusStructure(in, pixmap.width, pixmap.height, pixmap.argb);
}

QDBusArgument& operator<<(QDBusArgument& out, const BusToolTip& toolTip) {
    return writeBusStructure(out, toolTip.iconName, toolTip.pixmaps, toolTip.title, toolTip.description);
}

const QDBusArgument& operator>>(const QDBusArgument& in, BusToolTip& toolTip) {
    return readBusStructure(in, toolTip.iconName, toolTip.pixmaps, toolTip.title, toolTip.description);
}

namespace {

const QString itemPath = QStringLiteral("/StatusNotifierItem");

// The sides panels draw an item at; a bigger one would cost its bytes at every change of state.
constexpr std::array<int, 5> pixmapSides{16, 22, 24, 32, 48};

BusIconPixmap busPixmap(const QImage& image) {
    QByteArray argb(image.width() * image.height() * 4, Qt::Uninitialized);
    auto* out = reinterpret_cast<uchar*>(argb.data());
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x, out += 4) {
            qToBigEndian<quint32>(line[x], out);
        }
    }
    return {image.width(), image.height(), argb};
}

} // namespace

class StatusNotifierItemAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(QList<kestrava::app::BusIconPixmap> IconPixmap READ iconPixmap)
    Q_PROPERTY(QString IconThemePath READ noName)
    Q_PROPERTY(QString OverlayIconName READ noName)
    Q_PROPERTY(QList<kestrava::app::BusIconPixmap> OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ noName)
    Q_PROPERTY(QList<kestrava::app::BusIconPixmap> AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ noName)
    Q_PROPERTY(kestrava::app::BusToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)

public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem& item) : QDBusAbstractAdaptor(&item), item_(item) {
        setAutoRelaySignals(false);
    }

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    // Panels remember what the user chose for an item by its id: the desktop entry's name stays.
    QString id() const { return QStringLiteral("com.veltmoran.kestrava"); }
    QString title() const { return QStringLiteral("Kestrava"); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    // The pictures are drawn here: no theme has the shield.
    QString iconName() const { return {}; }
    QList<BusIconPixmap> iconPixmap() const {
        QList<BusIconPixmap> pixmaps;
        for (const QImage& image : item_.images_) {
            pixmaps.push_back(busPixmap(image));
        }
        return pixmaps;
    }
    // Hosts read every property one by one: what the item has not is there, empty. The shield's colour
    // is its state; there is no overlay or attention picture.
    QString noName() const { return {}; }
    QList<BusIconPixmap> noPixmaps() const { return {}; }
    BusToolTip toolTip() const { return {{}, {}, item_.toolTip_, {}}; }
    // A click opens the panel; the menu is for the other button.
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return QDBusObjectPath(item_.menu_.path()); }

public slots:
    void Activate(int x, int y) { emit item_.activated({x, y}); }
    void SecondaryActivate(int x, int y) { emit item_.activated({x, y}); }
    // Only hosts that do not draw the menu themselves ask for it.
    void ContextMenu(int x, int y) { item_.commands_.popup(hostClickNow({x, y})); }
    // Nothing of the application changes by steps.
    void Scroll(int, const QString&) {}

signals:
    void NewTitle();
    void NewIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    StatusNotifierItem& item_;
};

StatusNotifierItem::StatusNotifierItem(QMenu& menu, QDBusConnection bus)
    : bus_(std::move(bus)), commands_(menu),
      service_(QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid())),
      menu_(menu, bus_, QStringLiteral("/MenuBar")), adaptor_(new StatusNotifierItemAdaptor(*this)) {
    qDBusRegisterMetaType<BusIconPixmap>();
    qDBusRegisterMetaType<QList<BusIconPixmap>>();
    qDBusRegisterMetaType<BusToolTip>();
    if (!bus_.registerObject(itemPath, this) || !bus_.registerService(service_)) {
        appLog(AppLogLevel::warning, "Tray",
               "the tray icon cannot be put on the bus: " + bus_.lastError().message().toStdString());
    }
}

StatusNotifierItem::~StatusNotifierItem() {
    bus_.unregisterService(service_);
    bus_.unregisterObject(itemPath);
}

void StatusNotifierItem::setIcon(const QIcon& icon) {
    QList<QImage> images;
    for (const int side : pixmapSides) {
        images.push_back(
            icon.pixmap(QSize(side, side), 1.0).toImage().convertToFormat(QImage::Format_ARGB32));
    }
    if (images != std::exchange(images_, images)) {
        emit adaptor_->NewIcon();
    }
}

void StatusNotifierItem::setToolTip(const QString& title) {
    if (title != std::exchange(toolTip_, title)) {
        emit adaptor_->NewToolTip();
    }
}

} // namespace kestrava::app

#include "StatusNotifierItem.moc"
