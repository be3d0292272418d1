#include "app/system/GnomeAcSleepType.hpp"

#include <QCoro/QCoroProcess>
#include <QProcess>
#include <chrono>

namespace kestrava::app {
namespace {

using namespace std::chrono_literals;

const QString schema = QStringLiteral("org.gnome.settings-daemon.plugins.power");
const QString key = QStringLiteral("sleep-inactive-ac-type");

// What gsettings printed, or none when it could not start, failed or hung.
QCoro::Task<std::optional<QString>> runGsettings(QStringList arguments) {
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    auto starting = qCoro(process).start(QStringLiteral("gsettings"), arguments);
    if (!co_await starting) {
        co_return std::nullopt;
    }
    auto finishing = qCoro(process).waitForFinished(2s);
    if (!co_await finishing) {
        process.kill();
        process.waitForFinished();
        co_return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        co_return std::nullopt;
    }
    co_return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

} // namespace

bool inGnomeSession() {
    return qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QLatin1String("GNOME"));
}

QCoro::Task<std::optional<std::string>> gnomeAcSleepType() {
    auto reading = runGsettings({QStringLiteral("get"), schema, key});
    const auto printed = co_await reading;
    if (!printed || printed->isEmpty()) {
        co_return std::nullopt;
    }
    co_return printed->toStdString();
}

QCoro::Task<bool> setGnomeAcSleepType(std::string value) {
    auto setting = runGsettings({QStringLiteral("set"), schema, key, QString::fromStdString(value)});
    co_return (co_await setting).has_value();
}

QCoro::Task<bool> resetGnomeAcSleepType() {
    auto resetting = runGsettings({QStringLiteral("reset"), schema, key});
    co_return (co_await resetting).has_value();
}

} // namespace kestrava::app
