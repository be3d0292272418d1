#include "app/pairing/QRCodeView.hpp"
#include "app/pairing/QRImage.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

#include <QPixmap>
#include <QProcess>
#include <QStandardPaths>
#include <string>
#include <tuple>

namespace kestrava {
namespace {

// The longest text a QR code holds at level M in 8-bit mode: version 40, 177 modules a side.
constexpr std::size_t longestText = 2331;

std::string pairingLink(const std::string& name) {
    return "kestrava://pair?v=1&u=https%3A%2F%2Frelay.example.com&d=3F2A8C1E-5B7D-4E09-9A61-C2D4F0B7E913"
           "&s=K7gNU3sdo-OL0wNhqoVWhr3g6s1xYv72ol_pe_Unols"
           "&k=BIM1-lbUh1Yt4kj0e-_HJ0MzQFHd_8wsCSdfZlRUmQMXWUdF7hfAj3mM19zguoFV3NoU9jmMHRVFEWUgoTMBfAk&n=" +
           name;
}

const std::string longestLink = pairingLink(std::string(longestText - pairingLink("").size(), 'L'));

// What zbarimg, an independent reader, prints for the image: each code it finds, then a newline.
std::string readByZbar(const QImage& image) {
    const test::TemporaryDirectory folder;
    const QString file = QString::fromStdString((folder / "code.png").string());
    EXPECT_TRUE(image.save(file));
    QProcess zbarimg;
    zbarimg.start("zbarimg", {"--raw", "-q", file});
    EXPECT_TRUE(zbarimg.waitForFinished());
    return zbarimg.readAllStandardOutput().toStdString();
}

class QRRoundTrip : public testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable("zbarimg").isEmpty()) {
            GTEST_SKIP() << "zbarimg is not installed (Debian package zbar-tools)";
        }
        test::ensureQtApplication();
    }
};

TEST(QRLayout, WholePixelModulesCentredWithAQuietZoneWhileThereIsRoom) {
    // modules, pixels -> scale, side, offset
    for (const auto& [modules, pixels, expected] :
         {std::tuple(41, 640, std::tuple(13, 533, 53)), std::tuple(177, 640, std::tuple(3, 531, 54)),
          std::tuple(25, 100, std::tuple(3, 75, 12)), std::tuple(21, 29, std::tuple(1, 21, 4)),
          std::tuple(21, 28, std::tuple(1, 21, 3)), std::tuple(41, 30, std::tuple(1, 41, -5))}) {
        const app::QRLayout layout = app::qrLayout(modules, pixels);
        EXPECT_EQ(std::tuple(layout.scale, layout.side, layout.offset), expected)
            << modules << " in " << pixels;
    }
}

// Black and white whole pixels, the same each time, and the finder patterns (dark corners at top left,
// top right and bottom left) exactly where the layout puts the code, cropped or not.
TEST(QRImage, IsTheSameSharpBitmapEachTimeWhereTheLayoutPutsIt) {
    for (const int pixels : {640, 185, 100}) {
        const auto image = app::qrImage(longestLink, pixels);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->format(), QImage::Format_Grayscale8);
        EXPECT_EQ(app::qrImage(longestLink, pixels), image);
        QRect dark;
        for (int y = 0; y < image->height(); ++y) {
            for (int x = 0; x < image->width(); ++x) {
                const int value = qGray(image->pixel(x, y));
                ASSERT_TRUE(value == 0 || value == 255) << x << "," << y << " in " << pixels;
                dark |= value == 0 ? QRect(x, y, 1, 1) : QRect();
            }
        }
        const auto [scale, side, offset] = app::qrLayout(177, pixels);
        EXPECT_EQ(dark, QRect(offset, offset, side, side).intersected(QRect(0, 0, pixels, pixels))) << pixels;
    }
}

TEST(QRImage, NoneForAnEmptySquareOrALinkLongerThanAnyCode) {
    EXPECT_EQ(app::qrImage(pairingLink("Lan"), 0), std::nullopt);
    EXPECT_EQ(app::qrImage(pairingLink("Lan"), -1), std::nullopt);
    EXPECT_EQ(app::qrImage(longestLink + "L", 640), std::nullopt);
}

TEST_F(QRRoundTrip, AnIndependentReaderReadsBackTheLink) {
    for (const std::string& link :
         {pairingLink("Lan"), pairingLink("M%C3%A1y%20t%C3%ADnh%20c%E1%BB%A7a%20Lan"), longestLink}) {
        const auto image = app::qrImage(link, 640);
        ASSERT_TRUE(image) << link.size() << " bytes";
        EXPECT_EQ(readByZbar(*image), link + "\n") << link.size() << " bytes";
    }
}

TEST_F(QRRoundTrip, TheViewShowsTheCodeOfItsLatestText) {
    app::QRCodeView view(320);
    EXPECT_EQ(view.size(), QSize(320, 320));
    for (const std::string& link : {pairingLink("Lan"), pairingLink("B%C3%ACnh")}) {
        view.setText(link);
        EXPECT_EQ(readByZbar(view.grab().toImage()), link + "\n");
    }
}

} // namespace
} // namespace kestrava
