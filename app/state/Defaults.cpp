#include "app/state/Defaults.hpp"

#include "platform/files/UserFolders.hpp"

namespace kestrava::app {
namespace {

QString keyOf(const std::string& key) {
    return QString::fromStdString(key);
}

} // namespace

Defaults::Defaults(const std::filesystem::path& file)
    : settings_(QString::fromStdString(file.string()), QSettings::IniFormat) {}

std::filesystem::path Defaults::standardFile() {
    return files::configHome() / "kestrava" / "Kestrava.conf";
}

std::optional<bool> Defaults::boolean(const std::string& key) const {
    const QVariant value = settings_.value(keyOf(key));
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool();
    }
    const QString written = value.toString();
    if (written == QLatin1String("true")) {
        return true;
    }
    if (written == QLatin1String("false")) {
        return false;
    }
    return std::nullopt;
}

void Defaults::setBoolean(const std::string& key, bool value) {
    settings_.setValue(keyOf(key), value);
    settings_.sync();
}

std::optional<std::string> Defaults::text(const std::string& key) const {
    const QVariant value = settings_.value(keyOf(key));
    if (!value.isValid() || value.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return value.toString().toStdString();
}

void Defaults::setText(const std::string& key, const std::string& value) {
    settings_.setValue(keyOf(key), QString::fromStdString(value));
    settings_.sync();
}

void Defaults::remove(const std::string& key) {
    settings_.remove(keyOf(key));
    settings_.sync();
}

} // namespace kestrava::app
