#include "app/ui/WindowSize.hpp"
#include "tests/app-support/ApplicationFont.hpp"
#include "tests/app-support/QtLoop.hpp"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace kestrava {
namespace {

// A frame grows with the desktop's font as its text does, and keeps its size where the text is smaller.
TEST(WindowSize, AFrameGrowsWithTheFontButNeverShrinks) {
    test::ensureQtApplication();
    test::ApplicationFont font;
    for (const auto& [fontPx, grown] : std::vector<std::pair<int, QSize>>{
             {10, {620, 660}}, {13, {620, 660}}, {15, {715, 762}}, {26, {1240, 1320}}}) {
        SCOPED_TRACE(fontPx);
        font.setPixelSize(fontPx);
        EXPECT_EQ(app::ui::grownWithFont(QSize(620, 660)), grown);
    }
}

// A window takes the size it wants where its screen has room for it and its frame, and no more.
TEST(WindowSize, AWindowFitsItsScreen) {
    const QRect screen(1366, 0, 1366, 768);
    const QMargins frame(1, 37, 1, 1);
    EXPECT_EQ(app::ui::fittedSize({715, 700}, screen, frame), QSize(715, 700));
    EXPECT_EQ(app::ui::fittedSize({858, 914}, screen, frame), QSize(858, 730));
    EXPECT_EQ(app::ui::fittedSize({1400, 400}, screen, frame), QSize(1364, 400));
}

} // namespace
} // namespace kestrava
