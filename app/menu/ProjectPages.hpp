#pragma once

#include <QUrl>

namespace kestrava::app {

// The project's web pages the About window links to.
inline const QUrl& privacyURL() {
    static const QUrl url(QStringLiteral("https://kestrava.veltmoran.com/privacy.html"));
    return url;
}

inline const QUrl& supportURL() {
    static const QUrl url(QStringLiteral("https://kestrava.veltmoran.com/support.html"));
    return url;
}

} // namespace kestrava::app
