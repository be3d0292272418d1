#pragma once

#include <QString>
#include <optional>

namespace kestrava::app {

// A failure as the user reads it: our sentence for it and, where the system reported it, the system's own
// words, kept whole for the user to copy into a search. It travels as one text, the words on the line after
// the sentence, so that a view that shows the text as it is shows both.
struct FailureText {
    QString sentence;
    std::optional<QString> systemWords;

    QString text() const;
    // The parts of a text made by `text()`; a text of one line is all sentence.
    static FailureText of(const QString& text);

    bool operator==(const FailureText&) const = default;
};

} // namespace kestrava::app
