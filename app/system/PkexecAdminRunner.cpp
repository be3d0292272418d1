#include "app/system/PkexecAdminRunner.hpp"

#include <QProcess>

namespace kestrava::app {
namespace {

constexpr int dismissedStatus = 126;

PowerSetupResult resultOfExit(int status, const QString& output) {
    if (status == 0) {
        return PowerSetupResult::applied();
    }
    if (status == dismissedStatus) {
        return PowerSetupResult::cancelled();
    }
    return PowerSetupResult::failed(output.isEmpty() ? "exit " + std::to_string(status)
                                                     : output.toStdString());
}

} // namespace

PowerSetupResult PkexecAdminRunner::run(const std::string& command) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QStringLiteral("pkexec"),
                  {QStringLiteral("/bin/sh"), QStringLiteral("-c"), QString::fromStdString(command)});
    // No time limit: the user may take as long as they like over the password.
    if (!process.waitForFinished(-1) || process.exitStatus() == QProcess::CrashExit) {
        return PowerSetupResult::failed("pkexec: " + process.errorString().toStdString());
    }
    return resultOfExit(process.exitCode(), QString::fromLocal8Bit(process.readAll()).trimmed());
}

} // namespace kestrava::app
