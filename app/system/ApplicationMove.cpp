#include "app/system/ApplicationMove.hpp"

#include "app/runtime/UiText.hpp"
#include "app/system/AgentExecutable.hpp"
#include "app/system/ApplicationFolder.hpp"
#include "platform/files/UserFolders.hpp"
#include "platform/process/Process.hpp"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <array>
#include <system_error>
#include <unistd.h>

namespace kestrava::app {
namespace {

namespace fs = std::filesystem;

QString copyFailureText() {
    return uiText(
        "Không chép được vào Applications — hãy kéo Kestrava vào Applications bằng Finder rồi mở lại.");
}

QString openFailureText() {
    return uiText("Đã chép Kestrava vào Applications — hãy mở nó từ Applications.");
}

// A complete copy of `source` at `target`, or nothing there at all.
bool copyWhole(const fs::path& source, const fs::path& target) {
    std::error_code error;
    fs::remove_all(target, error);
    fs::copy(source, target, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
    if (error) {
        fs::remove_all(target, error);
        return false;
    }
    return true;
}

// Where the application installs itself for the user.
fs::path installedApplicationFolder() {
    return files::homeDirectory() / "Applications" / "Kestrava";
}

} // namespace

bool isRelocatedPath(std::string_view applicationFolder) {
    constexpr std::array<std::string_view, 3> removableMedia = {"/media/", "/run/media/", "/mnt/"};
    for (const std::string_view prefix : removableMedia) {
        if (applicationFolder.starts_with(prefix)) {
            return true;
        }
    }
    return applicationFolder.find("/.mount_") != std::string_view::npos;
}

std::optional<QString> moveApplication(const fs::path& source, const fs::path& destination,
                                       const std::function<bool(const fs::path&)>& launch) {
    std::error_code error;
    fs::create_directories(destination.parent_path(), error);
    const fs::path copy = destination.parent_path() /
                          ("." + destination.filename().string() + ".copy-" + std::to_string(::getpid()));
    if (error || !copyWhole(source, copy)) {
        return copyFailureText();
    }
    if (fs::symlink_status(destination, error).type() != fs::file_type::not_found &&
        !QFile::moveToTrash(QString::fromStdString(destination.string()))) {
        fs::remove_all(copy, error);
        return copyFailureText();
    }
    fs::rename(copy, destination, error);
    if (error) {
        fs::remove_all(copy, error);
        return copyFailureText();
    }
    if (!launch(destination)) {
        return openFailureText();
    }
    return std::nullopt;
}

QCoro::Task<std::optional<QString>> moveToApplications() {
    const std::optional<fs::path> program = process::executablePath();
    if (!program) {
        co_return copyFailureText();
    }
    // The agent goes with the application, so that the copy registers the agent beside it.
    const fs::path source = applicationFolder(program->parent_path(), agentExecutable());
    const fs::path programInCopy = program->lexically_relative(source);
    const auto failure = moveApplication(source, installedApplicationFolder(), [&](const fs::path& copy) {
        return QProcess::startDetached(QString::fromStdString((copy / programInCopy).string()), {});
    });
    if (!failure) {
        QCoreApplication::quit();
    }
    co_return failure;
}

} // namespace kestrava::app
