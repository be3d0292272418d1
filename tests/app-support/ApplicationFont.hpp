#pragma once

#include <QFont>

namespace kestrava::test {

// The application's font changed for a while, as a desktop's settings would change it; the font before it
// comes back when this ends, so no later test in the program lays out its windows with it.
class ApplicationFont {
public:
    // Keeps the font in use, to put back; it stays in use until `set` is called.
    ApplicationFont();
    // The font in use at `pixelSize`.
    explicit ApplicationFont(int pixelSize);
    explicit ApplicationFont(const QFont& font);
    ~ApplicationFont();
    ApplicationFont(const ApplicationFont&) = delete;
    ApplicationFont& operator=(const ApplicationFont&) = delete;

    // For the rest of this one's life.
    void set(const QFont& font);
    // The font this one put back to, at `pixelSize`, for the rest of this one's life.
    void setPixelSize(int pixelSize);

private:
    QFont saved_;
};

// Fails the test that leaves the application's font, style sheet or palette other than it found them: a test
// run after it in the same program would see its windows laid out or drawn otherwise than run alone. Called
// once, as the program's QApplication is made.
void failTestsThatLeaveTheLookChanged();

} // namespace kestrava::test
