#include "app/runtime/Translations.hpp"
#include "app/runtime/UiText.hpp"
#include "tests/app-support/QtLoop.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

// The catalogue built into the program replaces the texts that name another platform's things and
// leaves the others as written.
TEST(Translations, TheBuiltInCatalogueOverridesOnlyWhatNamesAnotherPlatform) {
    test::ensureQtApplication();
    ASSERT_TRUE(app::installTranslations(*QCoreApplication::instance()));
    EXPECT_EQ(
        app::uiText("Cần duyệt trong Login Items"),
        QStringLiteral("Dịch vụ agent đang bị chặn: chạy “systemctl --user unmask kestrava-agent.service”"));
    EXPECT_EQ(app::uiText("Không kết nối được agent"), QStringLiteral("Không kết nối được agent"));
}

} // namespace
} // namespace kestrava
