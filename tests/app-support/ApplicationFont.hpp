#pragma once

#include <QApplication>
#include <QFont>

namespace kestrava::test {

// The application font for one test, restored after it.
class ApplicationFont {
public:
    explicit ApplicationFont(const QFont& font) : saved_(QApplication::font()) {
        QApplication::setFont(font);
    }
    ~ApplicationFont() { QApplication::setFont(saved_); }
    ApplicationFont(const ApplicationFont&) = delete;
    ApplicationFont& operator=(const ApplicationFont&) = delete;

private:
    QFont saved_;
};

} // namespace kestrava::test
