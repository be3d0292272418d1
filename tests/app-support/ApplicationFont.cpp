#include "tests/app-support/ApplicationFont.hpp"

#include "tests/app-support/QtLoop.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>

namespace kestrava::test {
namespace {

class LookKeeper : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo&) override {
        font_ = QApplication::font();
        styleSheet_ = qApp->styleSheet();
        palette_ = QApplication::palette();
    }

    void OnTestEnd(const ::testing::TestInfo&) override {
        // Put back either way, so one failure does not become many.
        if (QApplication::font() != font_) {
            QApplication::setFont(font_);
            ADD_FAILURE() << "the test left the application's font changed";
        }
        if (qApp->styleSheet() != styleSheet_) {
            qApp->setStyleSheet(styleSheet_);
            ADD_FAILURE() << "the test left the application's style sheet changed";
        }
        if (QApplication::palette() != palette_) {
            QApplication::setPalette(palette_);
            ADD_FAILURE() << "the test left the application's palette changed";
        }
    }

private:
    QFont font_;
    QString styleSheet_;
    QPalette palette_;
};

} // namespace

// The font to put back is the one the program's QApplication starts with, so it is made first.
ApplicationFont::ApplicationFont() : saved_((ensureQtApplication(), QApplication::font())) {}

ApplicationFont::ApplicationFont(int pixelSize) : ApplicationFont() {
    setPixelSize(pixelSize);
}

ApplicationFont::ApplicationFont(const QFont& font) : ApplicationFont() {
    set(font);
}

ApplicationFont::~ApplicationFont() {
    QApplication::setFont(saved_);
}

void ApplicationFont::set(const QFont& font) {
    QApplication::setFont(font);
}

void ApplicationFont::setPixelSize(int pixelSize) {
    QFont font = saved_;
    font.setPixelSize(pixelSize);
    set(font);
}

void failTestsThatLeaveTheLookChanged() {
    // The QApplication is made inside a test, which the keeper must not blame for the font it starts with.
    auto* keeper = new LookKeeper;
    ::testing::UnitTest::GetInstance()->listeners().Append(keeper);
    const ::testing::TestInfo* current = ::testing::UnitTest::GetInstance()->current_test_info();
    if (current) {
        keeper->OnTestStart(*current);
    }
}

} // namespace kestrava::test
