#include "app/ui/BusyIndicator.hpp"
#include "app/ui/Discard.hpp"
#include "app/ui/ElidingLabel.hpp"
#include "app/ui/Palette.hpp"
#include "app/ui/SelectableLine.hpp"
#include "app/ui/Symbols.hpp"
#include "app/ui/Typography.hpp"
#include "tests/app-support/ApplicationFont.hpp"
#include "tests/app-support/QtLoop.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPointer>
#include <QTest>
#include <chrono>
#include <cmath>
#include <set>
#include <tuple>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

// Solid shapes that carry a white mark.
const QStringList solidSymbols{
    "checkmark.circle.fill",    "xmark.octagon.fill",
    "questionmark.circle.fill", "exclamationmark.triangle.fill",
    "checkmark.shield.fill",    "exclamationmark.shield.fill",
    "shield.slash.fill",        "exclamationmark.octagon.fill",
};
// Shapes in the one colour only.
const QStringList outlineSymbols{
    "clock.badge.exclamationmark",
    "iphone.slash",
    "iphone.gen3.radiowaves.left.and.right",
    "timer",
    "doc.on.doc",
    "checkmark",
    "shield.lefthalf.filled",
    "moon.zzz.fill",
    "plus.circle",
    "minus.circle",
    "iphone",
    "power",
    "arrow.down.circle",
    "gearshape",
    "list.number",
    "info.circle",
    "exclamationmark.circle",
    "xmark.octagon",
    "bolt.shield",
    "lock.shield",
    "moon.zzz",
    "iphone.gen3",
    "checkmark.seal",
};

// Whether the middle half of `image` holds an opaque pixel of exactly `colour`.
bool middleHolds(const QImage& image, const QColor& colour) {
    const QRect middle(image.width() / 4, image.height() / 4, image.width() / 2, image.height() / 2);
    for (int y = middle.top(); y <= middle.bottom(); ++y) {
        for (int x = middle.left(); x <= middle.right(); ++x) {
            if (image.pixel(x, y) == colour.rgba()) {
                return true;
            }
        }
    }
    return false;
}

// Each symbol fills its square in the colour asked for, at every device pixel ratio; the solid ones carry
// a white mark; no two look alike; an unknown name is a blank square of the same size.
TEST(WidgetKit, EverySymbolIsItsOwnShapeInTheColourAskedFor) {
    test::ensureQtApplication();
    const QColor colour = app::ui::orange();
    std::set<QByteArray> seen;
    for (const qreal ratio : {1.0, 2.0}) {
        for (const QString& name : solidSymbols + outlineSymbols) {
            SCOPED_TRACE(name.toStdString() + " at " + std::to_string(ratio));
            const QPixmap pixmap = app::ui::icon(name, colour, 48, ratio);
            ASSERT_FALSE(pixmap.isNull());
            EXPECT_EQ(pixmap.deviceIndependentSize(), QSizeF(48, 48));
            EXPECT_EQ(pixmap.size(), QSize(48, 48) * ratio);
            const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
            EXPECT_TRUE(middleHolds(image, colour));
            if (solidSymbols.contains(name)) {
                EXPECT_TRUE(middleHolds(image, Qt::white));
            }
            EXPECT_EQ(image.pixel(0, 0), qRgba(0, 0, 0, 0));
            seen.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
        }
    }
    EXPECT_EQ(seen.size(), 2 * (solidSymbols.size() + outlineSymbols.size()));

    const QPixmap unknown = app::ui::icon("no.such.symbol", colour, 15, 2.0);
    ASSERT_FALSE(unknown.isNull());
    EXPECT_EQ(unknown.deviceIndependentSize(), QSizeF(15, 15));
    const QImage blank = unknown.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < blank.height(); ++y) {
        for (int x = 0; x < blank.width(); ++x) {
            ASSERT_EQ(qAlpha(blank.pixel(x, y)), 0);
        }
    }
}

// Markup in a name is shown as written; a text too long for its place is cut to the width, at the end or
// in the middle, or wrapped on two lines with the ellipsis on the last, and comes back whole when there is
// room again.
TEST(WidgetKit, ElidingLabelShowsPlainTextCutToItsWidth) {
    test::ensureQtApplication();
    const QString markup = "<b>X</b><br><img src=x>";
    app::ui::ElidingLabel label(markup);
    const QFontMetrics metrics(label.font());
    EXPECT_EQ(label.sizeHint().width(), qCeil(QFontMetricsF(label.font()).horizontalAdvance(markup)));
    label.resize(label.sizeHint());
    EXPECT_EQ(label.shownText(), markup);

    QString longText = "Đầu";
    for (int word = 0; word < 40; ++word) {
        longText += " giữa";
    }
    longText += " cuối";
    label.setText(longText);
    label.setFullTextToolTip(true);
    label.resize(160, label.height());
    EXPECT_EQ(label.fullText(), longText);
    EXPECT_EQ(label.toolTip(), longText);
    EXPECT_TRUE(label.shownText().startsWith("Đầu"));
    EXPECT_TRUE(label.shownText().endsWith("…"));
    EXPECT_LE(metrics.horizontalAdvance(label.shownText()), 160);

    label.setElideMode(Qt::ElideMiddle);
    EXPECT_TRUE(label.shownText().startsWith("Đầu"));
    EXPECT_TRUE(label.shownText().contains("…"));
    EXPECT_TRUE(label.shownText().endsWith("cuối"));
    EXPECT_LE(metrics.horizontalAdvance(label.shownText()), 160);

    label.setMaximumLines(2);
    const QStringList lines = label.shownText().split('\n');
    SCOPED_TRACE(label.shownText().toStdString());
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("Đầu"));
    EXPECT_FALSE(lines[0].contains("…"));
    EXPECT_TRUE(lines[1].endsWith("…"));
    for (const QString& line : lines) {
        EXPECT_LE(metrics.horizontalAdvance(line), 160);
    }
    EXPECT_EQ(label.heightForWidth(160), metrics.height() + app::ui::wrappedLineStep(label.font()));
    EXPECT_EQ(label.heightForWidth(label.sizeHint().width()), metrics.height());

    label.resize(label.sizeHint().width(), label.height());
    EXPECT_EQ(label.shownText(), longText);
}

// A line too long for its place shows cut in the middle; a selection by mouse or keyboard that takes in
// the ellipsis takes the part it hides, so the whole text, or any piece of it, is what gets copied; a key
// that would edit changes nothing.
TEST(WidgetKit, SelectableLineGivesPiecesOfTheWholeText) {
    test::ensureQtApplication();
    const QString text = "kestrava://pair?v=1&d=" + QString(80, u'd') + "&n=END";
    app::ui::SelectableLine line;
    line.setText(text);
    line.resize(200, line.sizeHint().height());
    line.show();
    const QString shown = line.shownText();
    SCOPED_TRACE(shown.toStdString());
    const qsizetype head = shown.indexOf(u'…');
    ASSERT_GT(head, 3);
    const qsizetype tail = shown.size() - head - 1;
    ASSERT_GT(tail, 3);
    EXPECT_TRUE(text.startsWith(shown.left(head)));
    EXPECT_TRUE(text.endsWith(shown.right(tail)));
    const QFontMetrics metrics(line.font());
    EXPECT_LE(metrics.horizontalAdvance(shown), 200);

    // With the mouse: from the line's start to past its end, then from inside the head to inside the tail.
    const int middle = line.height() / 2;
    const auto drag = [&](int from, int to) {
        QTest::mousePress(&line, Qt::LeftButton, {}, QPoint(from, middle));
        QTest::mouseMove(&line, QPoint(to, middle));
        QTest::mouseRelease(&line, Qt::LeftButton, {}, QPoint(to, middle));
    };
    drag(0, 199);
    EXPECT_EQ(line.selectedText(), text);
    drag(metrics.horizontalAdvance(shown.left(3)), metrics.horizontalAdvance(shown.left(shown.size() - 3)));
    EXPECT_EQ(line.selectedText(), text.mid(3, text.size() - 6));
    QTest::keyClick(&line, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), text.mid(3, text.size() - 6));

    // With the keys: one step back from the tail crosses the hidden part.
    QTest::keyClick(&line, Qt::Key_End);
    EXPECT_EQ(line.selectedText(), QString());
    for (qsizetype step = 0; step < tail; ++step) {
        QTest::keyClick(&line, Qt::Key_Left, Qt::ShiftModifier);
    }
    EXPECT_EQ(line.selectedText(), shown.right(tail));
    QTest::keyClick(&line, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(line.selectedText(), text.mid(head));
    QTest::keyClick(&line, Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(line.selectedText(), text);
    QTest::keyClick(&line, Qt::Key_Right);
    QTest::keyClick(&line, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(line.selectedText(), text.mid(1, 1));
    QTest::keyClick(&line, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(line.selectedText(), text);

    for (const auto& [key, modifiers] :
         std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>>{{Qt::Key_X, Qt::NoModifier},
                                                                {Qt::Key_Backspace, Qt::NoModifier},
                                                                {Qt::Key_Delete, Qt::NoModifier},
                                                                {Qt::Key_X, Qt::ControlModifier},
                                                                {Qt::Key_V, Qt::ControlModifier}}) {
        QTest::keyClick(&line, key, modifiers);
    }
    EXPECT_EQ(line.fullText(), text);

    line.resize(line.sizeHint().width(), line.height());
    EXPECT_EQ(line.shownText(), text);
}

// The text styles keep their proportions to the application font, given in pixels or in points.
TEST(WidgetKit, TypographyScalesWithTheApplicationFont) {
    test::ensureQtApplication();
    using app::ui::TextStyle;
    {
        const test::ApplicationFont scoped(26);
        EXPECT_EQ(app::ui::font(TextStyle::body).pixelSize(), 26);
        EXPECT_EQ(app::ui::font(TextStyle::caption).pixelSize(), 20);
        EXPECT_EQ(app::ui::font(TextStyle::title).pixelSize(), 44);
        EXPECT_EQ(app::ui::sized(40).pixelSize(), 80);
        EXPECT_EQ(app::ui::font(TextStyle::headline).weight(), QFont::DemiBold);
        EXPECT_EQ(app::ui::font(TextStyle::headline, QFont::Bold).weight(), QFont::Bold);
        EXPECT_EQ(app::ui::font(TextStyle::body).weight(), QFont::Normal);

        // The desktop's fixed family, whose glyphs all advance alike (some such fonts, Noto Sans Mono
        // among them, do not say they are fixed-pitch).
        const QFont code = app::ui::monospaced(app::ui::font(TextStyle::callout));
        EXPECT_EQ(code.pixelSize(), 24);
        EXPECT_EQ(QFontInfo(code).family(),
                  QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family());
        const auto distinctAdvances = [](const QFont& font) {
            std::set<qreal> widths;
            for (const QChar glyph : QStringLiteral("iW0.m")) {
                widths.insert(QFontMetricsF(font).horizontalAdvance(glyph));
            }
            return widths.size();
        };
        EXPECT_EQ(distinctAdvances(code), 1u);
        EXPECT_GT(distinctAdvances(app::ui::font(TextStyle::callout)), 1u);
    }
    {
        QFont points = QApplication::font();
        points.setPointSizeF(19.5);
        const test::ApplicationFont scoped(points);
        const int body = QFontInfo(points).pixelSize();
        ASSERT_GT(body, 13);
        EXPECT_EQ(app::ui::font(TextStyle::body).pixelSize(), body);
        EXPECT_EQ(app::ui::sized(26).pixelSize(), 2 * body);
    }
}

// At the smallest desktop font the windows are checked at, no text style comes out smaller than 10 px.
TEST(WidgetKit, EveryTextStyleIsReadableAtTheSmallestDesktopFont) {
    test::ensureQtApplication();
    using app::ui::TextStyle;
    const test::ApplicationFont scoped(12);
    for (const TextStyle style :
         {TextStyle::body, TextStyle::callout, TextStyle::subheadline, TextStyle::caption,
          TextStyle::headline, TextStyle::title3, TextStyle::title2, TextStyle::title}) {
        EXPECT_GE(app::ui::font(style).pixelSize(), 10) << static_cast<int>(style);
    }
}

// The relative luminance of an opaque colour, as the accessibility guidelines define it.
double luminance(const QColor& colour) {
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

// How far `text`, drawn over the opaque `background` with its own alpha, stands out from it.
double contrast(const QColor& text, const QColor& background) {
    const double alpha = text.alphaF();
    const QColor drawn =
        QColor::fromRgbF(static_cast<float>(alpha * text.redF() + (1 - alpha) * background.redF()),
                         static_cast<float>(alpha * text.greenF() + (1 - alpha) * background.greenF()),
                         static_cast<float>(alpha * text.blueF() + (1 - alpha) * background.blueF()));
    const double one = luminance(drawn);
    const double other = luminance(background);
    return (std::max(one, other) + 0.05) / (std::min(one, other) + 0.05);
}

// Every coloured text of the kit stands out at least 4.5 to 1 from what it is drawn on, on a light desktop
// and on a dark one.
TEST(WidgetKit, ColouredTextStandsOutFromItsBackground) {
    test::ensureQtApplication();
    const QPalette saved = QApplication::palette();
    for (const auto& [desktop, window, windowText] :
         {std::tuple{"light", QColor(0xEF, 0xEF, 0xEF), QColor(Qt::black)},
          std::tuple{"dark", QColor(0x31, 0x36, 0x3B), QColor(0xEF, 0xF0, 0xF1)}}) {
        QPalette palette = saved;
        palette.setColor(QPalette::Window, window);
        palette.setColor(QPalette::WindowText, windowText);
        QApplication::setPalette(palette);
        const struct {
            const char* role;
            QColor text, background;
        } rows[] = {
            {"secondary", app::ui::secondary(), window},
            {"warning", app::ui::warningText(), window},
            {"error", app::ui::errorText(), window},
            {"a destructive button's label", Qt::white, app::ui::destructive()},
        };
        for (const auto& row : rows) {
            EXPECT_GE(contrast(row.text, row.background), 4.5) << desktop << ": " << row.role;
        }
    }
    QApplication::setPalette(saved);
}

// A style sheet colour written by css() comes back from Qt with the same alpha, down to the faintest.
TEST(WidgetKit, StyleSheetColoursKeepTheirAlpha) {
    test::ensureQtApplication();
    for (const int alpha : {1, 140, 255}) {
        SCOPED_TRACE(alpha);
        QWidget swatch;
        swatch.setAttribute(Qt::WA_StyledBackground);
        swatch.setStyleSheet("background-color: " + app::ui::css(QColor(255, 0, 0, alpha)));
        swatch.resize(8, 8);
        QImage image(swatch.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        swatch.render(&image, {}, {}, QWidget::DrawChildren);
        EXPECT_EQ(qAlpha(image.pixel(4, 4)), alpha);
    }
}

// The spinner grows with the application font, and turns while it is shown and rests while it is hidden.
TEST(WidgetKit, BusyIndicatorTurnsOnlyWhileShown) {
    test::ensureQtApplication();
    for (const int px : {13, 26}) {
        const test::ApplicationFont scoped(px);
        const int side = px * 16 / 13;
        EXPECT_EQ(app::ui::BusyIndicator(app::ui::BusyIndicator::Size::small).sizeHint(), QSize(side, side));
    }
    app::ui::BusyIndicator spinner(app::ui::BusyIndicator::Size::small);
    const auto changesWithin = [&spinner](std::chrono::milliseconds wait) {
        const QImage before = spinner.grab().toImage();
        test::runQtUntil([] { return false; }, {}, wait);
        return spinner.grab().toImage() != before;
    };
    spinner.show();
    EXPECT_TRUE(changesWithin(300ms));
    spinner.hide();
    EXPECT_FALSE(changesWithin(300ms));
}

// A discarded widget leaves its window at once and is deleted by the event loop, or with the window when
// that goes first: it never outlives the window, nor keeps alive what it shares with it.
TEST(WidgetKit, ADiscardedWidgetGoesNoLaterThanItsWindow) {
    test::ensureQtApplication();
    for (const bool windowGoesFirst : {false, true}) {
        SCOPED_TRACE(windowGoesFirst);
        auto window = std::make_unique<QWidget>();
        auto* holder = new QWidget(window.get());
        const QPointer<QWidget> discarded = new QWidget(holder);
        window->show();
        app::ui::discardLater(discarded);
        EXPECT_FALSE(window->isAncestorOf(discarded));
        EXPECT_FALSE(discarded->isVisible());
        if (windowGoesFirst) {
            window.reset();
        } else {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        EXPECT_TRUE(discarded.isNull());
    }
}

} // namespace
} // namespace kestrava
