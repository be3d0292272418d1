#include "app/state/FailureText.hpp"

namespace kestrava::app {

QString FailureText::text() const {
    return systemWords ? sentence + u'\n' + *systemWords : sentence;
}

FailureText FailureText::of(const QString& text) {
    const qsizetype lineBreak = text.indexOf(u'\n');
    if (lineBreak < 0) {
        return {text, std::nullopt};
    }
    return {text.left(lineBreak), text.mid(lineBreak + 1)};
}

} // namespace kestrava::app
