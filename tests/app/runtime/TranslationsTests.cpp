#include "app/runtime/Translations.hpp"
#include "tests/app-support/QtLoop.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

// The catalogue built into the program loads; a text it does not override shows as written.
TEST(Translations, TheBuiltInCatalogueLoads) {
    test::ensureQtApplication();
    ASSERT_TRUE(app::installTranslations(*QCoreApplication::instance()));
    EXPECT_EQ(QCoreApplication::translate("kestrava", "Không kết nối được agent"),
              QStringLiteral("Không kết nối được agent"));
}

} // namespace
} // namespace kestrava
