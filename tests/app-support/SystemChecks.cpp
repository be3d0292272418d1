#include "tests/app-support/SystemChecks.hpp"

#include "tests/support/TemporaryDirectory.hpp"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

namespace kestrava::test {
namespace {

std::optional<CheckerReport> run(const QString& program, const QStringList& arguments,
                                 const QProcessEnvironment& environment, bool errorsOnStdout) {
    if (QStandardPaths::findExecutable(program).isEmpty()) {
        return std::nullopt;
    }
    QProcess checker;
    checker.setProcessEnvironment(environment);
    checker.start(program, arguments);
    if (!checker.waitForFinished(60'000)) {
        return CheckerReport{-1, program.toStdString() + " did not finish"};
    }
    const QByteArray errors =
        errorsOnStdout ? checker.readAllStandardOutput() : checker.readAllStandardError();
    return CheckerReport{checker.exitCode(), errors.toStdString()};
}

} // namespace

std::optional<CheckerReport> verifyUnit(const std::filesystem::path& unit) {
    const TemporaryDirectory runtime;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.path().string()));
    return run("systemd-analyze", {"verify", "--user", QString::fromStdString(unit.string())}, environment,
               false);
}

std::optional<CheckerReport> validateDesktopEntry(const std::filesystem::path& entry) {
    return run("desktop-file-validate", {QString::fromStdString(entry.string())},
               QProcessEnvironment::systemEnvironment(), true);
}

} // namespace kestrava::test
