#include "app/runtime/Translations.hpp"

#include <QTranslator>

// The catalogue is compiled into a static library, whose automatic registration a linker may drop.
static void registerCatalogue() {
    Q_INIT_RESOURCE(translations);
}

namespace kestrava::app {

bool installTranslations(QCoreApplication& application) {
    registerCatalogue();
    auto* catalogue = new QTranslator(&application);
    if (!catalogue->load(QStringLiteral(":/i18n/kestrava_vi.qm"))) {
        delete catalogue;
        return false;
    }
    // Installed even while it overrides nothing (Qt then answers false).
    QCoreApplication::installTranslator(catalogue);
    return true;
}

} // namespace kestrava::app
