#include "app/ui/Symbols.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <map>
#include <utility>

namespace kestrava::app::ui {
namespace {

// Every symbol is drawn on a 24-unit square and scaled to the pixmap, so that line weights stay in
// proportion at every size.
constexpr qreal grid = 24.0;
constexpr qreal outlineWeight = 1.8;
// The white marks on solid shapes are a little heavier: they sit on colour, not on the background.
constexpr qreal markWeight = 2.2;
constexpr QPointF centre{12.0, 12.0};

QPen roundPen(const QColor& colour, qreal width) {
    return {colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin};
}

void stroke(QPainter& painter, const QPainterPath& path, const QColor& colour, qreal width = outlineWeight) {
    painter.strokePath(path, roundPen(colour, width));
}

// Filled, with corners softened by a thin stroke of the same colour.
void solid(QPainter& painter, const QPainterPath& path, const QColor& colour, qreal rounding = 1.0) {
    painter.fillPath(path, colour);
    stroke(painter, path, colour, rounding);
}

// Clears `path` and a margin around it, so that what is drawn there next stands apart from what it covers.
void cut(QPainter& painter, const QPainterPath& path, qreal margin) {
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.fillPath(path, Qt::black);
    painter.strokePath(path, roundPen(Qt::black, 2 * margin));
    painter.restore();
}

QPainterPath circle(QPointF at, qreal radius) {
    QPainterPath path;
    path.addEllipse(at, radius, radius);
    return path;
}

QPainterPath polyline(std::initializer_list<QPointF> points) {
    QPainterPath path;
    path.moveTo(*points.begin());
    for (auto point = points.begin() + 1; point != points.end(); ++point) {
        path.lineTo(*point);
    }
    return path;
}

QPainterPath roundedRect(const QRectF& rect, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// An exclamation mark: a bar from `top` to `bottom` and a dot below it.
void exclamation(QPainter& painter, QPointF top, qreal bottom, qreal dot, const QColor& colour, qreal width) {
    stroke(painter, polyline({top, {top.x(), bottom}}), colour, width);
    painter.fillPath(circle({top.x(), dot}, width * 0.58), colour);
}

void cross(QPainter& painter, QPointF at, qreal half, const QColor& colour, qreal width) {
    stroke(painter, polyline({at + QPointF(-half, -half), at + QPointF(half, half)}), colour, width);
    stroke(painter, polyline({at + QPointF(half, -half), at + QPointF(-half, half)}), colour, width);
}

// A plus or, without its upright, a minus.
void bars(QPainter& painter, QPointF at, qreal half, bool upright, const QColor& colour) {
    stroke(painter, polyline({at - QPointF(half, 0.0), at + QPointF(half, 0.0)}), colour);
    if (upright) {
        stroke(painter, polyline({at - QPointF(0.0, half), at + QPointF(0.0, half)}), colour);
    }
}

// A phone standing upright in `body`, its earpiece near the top.
void phone(QPainter& painter, const QRectF& body, const QColor& colour) {
    stroke(painter, roundedRect(body, body.width() * 0.24), colour);
    const qreal earpiece = body.width() * 0.14;
    const qreal y = body.top() + body.height() * 0.14;
    stroke(painter, polyline({{body.center().x() - earpiece, y}, {body.center().x() + earpiece, y}}), colour);
}

QPainterPath shield() {
    QPainterPath path;
    path.moveTo(12.0, 1.8);
    path.cubicTo(14.6, 3.6, 17.4, 4.4, 20.4, 4.6);
    path.lineTo(20.4, 11.0);
    path.cubicTo(20.4, 16.4, 17.0, 20.0, 12.0, 22.2);
    path.cubicTo(7.0, 20.0, 3.6, 16.4, 3.6, 11.0);
    path.lineTo(3.6, 4.6);
    path.cubicTo(6.6, 4.4, 9.4, 3.6, 12.0, 1.8);
    path.closeSubpath();
    return path;
}

void checkmarkCircleFill(QPainter& painter, const QColor& colour) {
    solid(painter, circle(centre, 10.5), colour);
    stroke(painter, polyline({{7.4, 12.4}, {10.6, 15.6}, {16.6, 8.8}}), Qt::white, markWeight);
}

// Flat top and sides: corners at 22.5° off the axes.
QPainterPath octagon() {
    const qreal radius = 10.2 / qCos(qDegreesToRadians(22.5));
    QPolygonF corners;
    for (int corner = 0; corner < 8; ++corner) {
        const qreal angle = qDegreesToRadians(22.5 + 45.0 * corner);
        corners << centre + QPointF(radius * qCos(angle), radius * qSin(angle));
    }
    QPainterPath path;
    path.addPolygon(corners);
    path.closeSubpath();
    return path;
}

void xmarkOctagonFill(QPainter& painter, const QColor& colour) {
    solid(painter, octagon(), colour, 1.4);
    cross(painter, centre, 3.6, Qt::white, markWeight);
}

void xmarkOctagon(QPainter& painter, const QColor& colour) {
    stroke(painter, octagon(), colour);
    cross(painter, centre, 3.4, colour, outlineWeight);
}

void exclamationmarkOctagonFill(QPainter& painter, const QColor& colour) {
    solid(painter, octagon(), colour, 1.4);
    exclamation(painter, {12.0, 6.8}, 13.2, 17.0, Qt::white, markWeight);
}

// The outline of a circle as large as the square allows, for the marks drawn inside it.
void ring(QPainter& painter, const QColor& colour) {
    stroke(painter, circle(centre, 9.8), colour);
}

void plusCircle(QPainter& painter, const QColor& colour) {
    ring(painter, colour);
    bars(painter, centre, 4.6, true, colour);
}

void minusCircle(QPainter& painter, const QColor& colour) {
    ring(painter, colour);
    bars(painter, centre, 4.6, false, colour);
}

void exclamationmarkCircle(QPainter& painter, const QColor& colour) {
    ring(painter, colour);
    exclamation(painter, {12.0, 6.9}, 13.0, 16.6, colour, outlineWeight);
}

void infoCircle(QPainter& painter, const QColor& colour) {
    ring(painter, colour);
    stroke(painter, polyline({{10.4, 10.6}, {12.0, 10.6}, {12.0, 16.8}}), colour);
    stroke(painter, polyline({{10.2, 16.8}, {13.8, 16.8}}), colour);
    painter.fillPath(circle({12.0, 7.4}, 1.2), colour);
}

void arrowDownCircle(QPainter& painter, const QColor& colour) {
    ring(painter, colour);
    stroke(painter, polyline({{12.0, 6.6}, {12.0, 17.0}}), colour);
    stroke(painter, polyline({{7.8, 12.8}, {12.0, 17.0}, {16.2, 12.8}}), colour);
}

void power(QPainter& painter, const QColor& colour) {
    const qreal radius = 8.4;
    const QRectF bounds{centre.x() - radius, 13.0 - radius, 2 * radius, 2 * radius};
    // Open at the top, where the bar stands.
    QPainterPath arc;
    arc.arcMoveTo(bounds, 90.0 - 38.0);
    arc.arcTo(bounds, 90.0 - 38.0, -(360.0 - 2 * 38.0));
    stroke(painter, arc, colour, markWeight);
    stroke(painter, polyline({{12.0, 2.4}, {12.0, 11.6}}), colour, markWeight);
}

void gearshape(QPainter& painter, const QColor& colour) {
    constexpr int teeth = 8;
    constexpr qreal inner = 7.0;
    constexpr qreal outer = 9.9;
    // Each tooth spans a little less than half its share of the circle, its flanks slightly slanted.
    constexpr qreal share = 360.0 / teeth;
    const auto at = [](qreal radius, qreal degrees) {
        return centre +
               QPointF(radius * qCos(qDegreesToRadians(degrees)), radius * qSin(qDegreesToRadians(degrees)));
    };
    QPainterPath outline;
    outline.moveTo(at(inner, -share * 0.3));
    for (int tooth = 0; tooth < teeth; ++tooth) {
        const qreal middle = tooth * share;
        outline.lineTo(at(inner, middle - share * 0.3));
        outline.lineTo(at(outer, middle - share * 0.2));
        outline.lineTo(at(outer, middle + share * 0.2));
        outline.lineTo(at(inner, middle + share * 0.3));
        const QRectF bounds{centre.x() - inner, centre.y() - inner, 2 * inner, 2 * inner};
        outline.arcTo(bounds, -(middle + share * 0.3), -share * 0.4);
    }
    outline.closeSubpath();
    stroke(painter, outline, colour, 1.6);
    stroke(painter, circle(centre, 3.0), colour, 1.6);
}

// Three lines, each after its number.
void listNumber(QPainter& painter, const QColor& colour) {
    constexpr qreal width = 1.5;
    for (const qreal y : {5.6, 12.0, 18.4}) {
        stroke(painter, polyline({{10.0, y}, {21.0, y}}), colour);
    }
    stroke(painter, polyline({{3.6, 4.6}, {5.0, 3.6}, {5.0, 7.6}}), colour, width);
    QPainterPath two;
    two.moveTo(3.4, 10.6);
    two.cubicTo(3.6, 9.4, 6.6, 9.4, 6.6, 10.8);
    two.cubicTo(6.6, 11.8, 3.6, 12.8, 3.4, 14.2);
    two.lineTo(6.8, 14.2);
    stroke(painter, two, colour, width);
    QPainterPath three;
    three.moveTo(3.4, 16.6);
    three.cubicTo(3.8, 15.6, 6.6, 15.6, 6.6, 16.9);
    three.cubicTo(6.6, 17.8, 5.6, 18.1, 4.8, 18.1);
    three.cubicTo(5.6, 18.1, 6.8, 18.4, 6.8, 19.5);
    three.cubicTo(6.8, 20.9, 3.8, 21.0, 3.4, 19.8);
    stroke(painter, three, colour, width);
}

void iphone(QPainter& painter, const QColor& colour) {
    phone(painter, {6.5, 2.5, 11.0, 19.0}, colour);
}

// A crescent, its horns to the upper right.
QPainterPath crescent() {
    return circle({10.0, 14.0}, 8.0).subtracted(circle({15.2, 9.8}, 6.6));
}

// Two small sleeping marks beside the crescent.
void sleepingMarks(QPainter& painter, const QColor& colour) {
    for (const auto& [corner, size] :
         {std::pair{QPointF(15.4, 3.0), 3.4}, std::pair{QPointF(19.4, 9.4), 2.6}}) {
        const QPointF right = corner + QPointF(size, 0.0);
        stroke(painter, polyline({corner, right, corner + QPointF(0.0, size), right + QPointF(0.0, size)}),
               colour, 1.4);
    }
}

void moonZzzFill(QPainter& painter, const QColor& colour) {
    solid(painter, crescent(), colour);
    sleepingMarks(painter, colour);
}

void moonZzz(QPainter& painter, const QColor& colour) {
    stroke(painter, crescent(), colour);
    sleepingMarks(painter, colour);
}

void questionmarkCircleFill(QPainter& painter, const QColor& colour) {
    solid(painter, circle(centre, 10.5), colour);
    QPainterPath hook;
    hook.moveTo(9.0, 9.4);
    hook.cubicTo(9.0, 7.6, 10.4, 6.4, 12.0, 6.4);
    hook.cubicTo(13.7, 6.4, 15.0, 7.6, 15.0, 9.2);
    hook.cubicTo(15.0, 10.7, 13.9, 11.3, 13.0, 11.9);
    hook.cubicTo(12.3, 12.4, 12.0, 13.0, 12.0, 14.0);
    stroke(painter, hook, Qt::white, markWeight);
    painter.fillPath(circle({12.0, 17.4}, 1.3), Qt::white);
}

void exclamationmarkTriangleFill(QPainter& painter, const QColor& colour) {
    QPainterPath triangle = polyline({{12.0, 3.4}, {21.2, 19.6}, {2.8, 19.6}});
    triangle.closeSubpath();
    solid(painter, triangle, colour, 2.6);
    exclamation(painter, {12.0, 8.8}, 13.4, 16.6, Qt::white, markWeight);
}

void clockBadgeExclamationmark(QPainter& painter, const QColor& colour) {
    const QPointF face{10.6, 13.2};
    stroke(painter, circle(face, 8.4), colour);
    stroke(painter, polyline({{face.x(), 8.6}, face, {13.8, 15.0}}), colour);
    const QPointF badge{18.3, 5.8};
    const QPainterPath disc = circle(badge, 4.4);
    cut(painter, disc, 1.3);
    painter.fillPath(disc, colour);
    exclamation(painter, {badge.x(), 3.7}, 6.5, 8.2, Qt::white, 1.5);
}

void iphoneSlash(QPainter& painter, const QColor& colour) {
    phone(painter, {7.0, 2.5, 10.0, 19.0}, colour);
    const QPainterPath slash = polyline({{4.0, 3.6}, {20.0, 20.4}});
    cut(painter, slash, outlineWeight * 1.5);
    stroke(painter, slash, colour);
}

void iphoneRadiowaves(QPainter& painter, const QColor& colour) {
    phone(painter, {8.5, 5.0, 7.0, 14.0}, colour);
    for (const qreal radius : {6.6, 9.9}) {
        const QRectF bounds{centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius};
        for (const qreal facing : {0.0, 180.0}) {
            QPainterPath wave;
            wave.arcMoveTo(bounds, facing - 38.0);
            wave.arcTo(bounds, facing - 38.0, 76.0);
            stroke(painter, wave, colour);
        }
    }
}

void timer(QPainter& painter, const QColor& colour) {
    const QPointF face{12.0, 13.3};
    const qreal radius = 8.4;
    stroke(painter, circle(face, radius), colour);
    stroke(painter, polyline({{12.0, face.y() - radius}, {12.0, 2.6}}), colour);
    stroke(painter, polyline({{9.8, 2.6}, {14.2, 2.6}}), colour);
    const QPointF side{qCos(qDegreesToRadians(45.0)), -qSin(qDegreesToRadians(45.0))};
    stroke(painter, polyline({face + side * (radius + 0.9), face + side * (radius + 2.4)}), colour);
    stroke(painter, polyline({face, {12.0, 8.6}}), colour);
}

void docOnDoc(QPainter& painter, const QColor& colour) {
    const QPainterPath back = roundedRect({8.5, 2.5, 11.0, 14.5}, 2.4);
    const QPainterPath front = roundedRect({4.5, 7.0, 11.0, 14.5}, 2.4);
    stroke(painter, back, colour);
    cut(painter, front, 1.7);
    stroke(painter, front, colour);
}

void checkmark(QPainter& painter, const QColor& colour) {
    stroke(painter, polyline({{4.8, 12.6}, {9.6, 17.4}, {19.2, 6.8}}), colour, markWeight);
}

// The disclosure marks of a group that opens: pointing at its closed content, or down into it open.
void chevronRight(QPainter& painter, const QColor& colour) {
    stroke(painter, polyline({{9.0, 5.5}, {15.5, 12.0}, {9.0, 18.5}}), colour, markWeight);
}

void chevronDown(QPainter& painter, const QColor& colour) {
    stroke(painter, polyline({{5.5, 9.0}, {12.0, 15.5}, {18.5, 9.0}}), colour, markWeight);
}

void checkmarkShieldFill(QPainter& painter, const QColor& colour) {
    solid(painter, shield(), colour);
    stroke(painter, polyline({{8.3, 11.6}, {10.9, 14.2}, {15.9, 8.6}}), Qt::white, markWeight);
}

void exclamationmarkShieldFill(QPainter& painter, const QColor& colour) {
    solid(painter, shield(), colour);
    exclamation(painter, {12.0, 6.8}, 12.2, 15.6, Qt::white, markWeight);
}

void shieldLefthalfFilled(QPainter& painter, const QColor& colour) {
    QPainterPath leftHalf;
    leftHalf.addRect(0.0, 0.0, centre.x(), grid);
    painter.fillPath(shield().intersected(leftHalf), colour);
    stroke(painter, shield(), colour);
}

void shieldSlashFill(QPainter& painter, const QColor& colour) {
    solid(painter, shield(), colour);
    stroke(painter, polyline({{7.4, 6.6}, {16.6, 16.6}}), Qt::white, markWeight);
}

void boltShield(QPainter& painter, const QColor& colour) {
    stroke(painter, shield(), colour);
    QPainterPath bolt =
        polyline({{13.0, 5.8}, {8.6, 12.8}, {11.8, 12.8}, {10.8, 18.2}, {15.4, 10.8}, {12.2, 10.8}});
    bolt.closeSubpath();
    solid(painter, bolt, colour, 0.8);
}

void lockShield(QPainter& painter, const QColor& colour) {
    stroke(painter, shield(), colour);
    painter.fillPath(roundedRect({8.6, 10.6, 6.8, 5.6}, 1.2), colour);
    QPainterPath shackle;
    shackle.moveTo(10.0, 10.8);
    shackle.lineTo(10.0, 9.2);
    shackle.cubicTo(10.0, 6.6, 14.0, 6.6, 14.0, 9.2);
    shackle.lineTo(14.0, 10.8);
    stroke(painter, shackle, colour, 1.5);
}

// A phone with a round button under its screen.
void iphoneGen3(QPainter& painter, const QColor& colour) {
    const QRectF body{6.5, 2.5, 11.0, 19.0};
    phone(painter, body, colour);
    stroke(painter, circle({body.center().x(), body.bottom() - 2.6}, 1.1), colour, 1.2);
}

// A seal with a scalloped rim and a check mark.
void checkmarkSeal(QPainter& painter, const QColor& colour) {
    constexpr int scallops = 12;
    QPainterPath rim;
    for (int point = 0; point <= 2 * scallops; ++point) {
        const qreal angle = qDegreesToRadians(180.0 * point / scallops - 90.0);
        const qreal radius = point % 2 == 0 ? 10.2 : 8.8;
        const QPointF at = centre + QPointF(radius * qCos(angle), radius * qSin(angle));
        if (point == 0) {
            rim.moveTo(at);
        } else {
            rim.lineTo(at);
        }
    }
    rim.closeSubpath();
    stroke(painter, rim, colour, 1.5);
    stroke(painter, polyline({{8.0, 12.2}, {10.8, 15.0}, {16.0, 9.2}}), colour);
}

using Draw = void (*)(QPainter&, const QColor&);

const std::map<QString, Draw>& catalogue() {
    static const std::map<QString, Draw> symbols{
        {QStringLiteral("checkmark.circle.fill"), checkmarkCircleFill},
        {QStringLiteral("xmark.octagon.fill"), xmarkOctagonFill},
        {QStringLiteral("questionmark.circle.fill"), questionmarkCircleFill},
        {QStringLiteral("exclamationmark.triangle.fill"), exclamationmarkTriangleFill},
        {QStringLiteral("clock.badge.exclamationmark"), clockBadgeExclamationmark},
        {QStringLiteral("iphone.slash"), iphoneSlash},
        {QStringLiteral("iphone.gen3.radiowaves.left.and.right"), iphoneRadiowaves},
        {QStringLiteral("timer"), timer},
        {QStringLiteral("doc.on.doc"), docOnDoc},
        {QStringLiteral("checkmark"), checkmark},
        {QStringLiteral("chevron.right"), chevronRight},
        {QStringLiteral("chevron.down"), chevronDown},
        {QStringLiteral("checkmark.shield.fill"), checkmarkShieldFill},
        {QStringLiteral("exclamationmark.shield.fill"), exclamationmarkShieldFill},
        {QStringLiteral("shield.lefthalf.filled"), shieldLefthalfFilled},
        {QStringLiteral("shield.slash.fill"), shieldSlashFill},
        {QStringLiteral("moon.zzz.fill"), moonZzzFill},
        {QStringLiteral("plus.circle"), plusCircle},
        {QStringLiteral("minus.circle"), minusCircle},
        {QStringLiteral("iphone"), iphone},
        {QStringLiteral("power"), power},
        {QStringLiteral("arrow.down.circle"), arrowDownCircle},
        {QStringLiteral("gearshape"), gearshape},
        {QStringLiteral("list.number"), listNumber},
        {QStringLiteral("info.circle"), infoCircle},
        {QStringLiteral("exclamationmark.circle"), exclamationmarkCircle},
        {QStringLiteral("exclamationmark.octagon.fill"), exclamationmarkOctagonFill},
        {QStringLiteral("xmark.octagon"), xmarkOctagon},
        {QStringLiteral("bolt.shield"), boltShield},
        {QStringLiteral("lock.shield"), lockShield},
        {QStringLiteral("moon.zzz"), moonZzz},
        {QStringLiteral("iphone.gen3"), iphoneGen3},
        {QStringLiteral("checkmark.seal"), checkmarkSeal},
    };
    return symbols;
}

} // namespace

QPixmap icon(const QString& name, const QColor& colour, int logicalPx, qreal devicePixelRatio) {
    QPixmap pixmap(QSize(logicalPx, logicalPx) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    const auto symbol = catalogue().find(name);
    if (symbol != catalogue().end()) {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(logicalPx / grid, logicalPx / grid);
        // Drawn opaque and made translucent as a whole, so that overlapping strokes do not show darker.
        symbol->second(painter, QColor(colour.rgb()));
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.fillRect(QRectF(0, 0, grid, grid), QColor(0, 0, 0, colour.alpha()));
    }
    return pixmap;
}

} // namespace kestrava::app::ui
