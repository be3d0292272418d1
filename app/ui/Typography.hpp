#pragma once

#include <QFont>

namespace kestrava::app::ui {

// The text styles of the interface, from the body text down to captions and up to titles.
enum class TextStyle { body, callout, subheadline, caption, headline, title3, title2, title };

// Fonts in pixel sizes, scaled with the application font so that a larger desktop font enlarges every
// style alike (the body text takes the application font's size). Interface thread, after the application
// object exists.

// The style's font; a headline is never lighter than semibold.
QFont font(TextStyle style, QFont::Weight weight = QFont::Normal);
// A font of an explicit size, given as if the body text were 13 px.
QFont sized(double logicalPx, QFont::Weight weight = QFont::Normal);
// No text is drawn smaller than this, however small its style or the application font: below it the
// tone marks of Vietnamese run together.
constexpr int minimumTextPx = 10;
// A length given as if the body text were 13 px, in pixels at the application font: the size of a mark or
// control that stands beside text and grows with it.
int scaled(double logicalPx);
// `base` in the system's fixed-pitch family, at the same pixel size.
QFont monospaced(QFont base);

// Wrapped lines stand this far apart, in percent of the font's own line height: Vietnamese stacks a tone
// mark on a vowel's mark (ề, ệ, ỗ), which reaches above the font's ascent into the line before.
constexpr int wrappedLineHeightPercent = 130;
// The distance from one wrapped line of `font` to the next, in pixels.
int wrappedLineStep(const QFont& font);

} // namespace kestrava::app::ui
