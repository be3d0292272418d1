#include "app/system/ApplicationMove.hpp"

#include "app/runtime/AppLog.hpp"
#include "app/runtime/UiText.hpp"
#include "app/system/AgentExecutable.hpp"
#include "app/system/ApplicationFolder.hpp"
#include "platform/files/FileError.hpp"
#include "platform/files/Files.hpp"
#include "platform/files/UserFolders.hpp"
#include "platform/process/Process.hpp"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <array>
#include <cstdint>
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

// Far more than the application and its agent with all they bring: a source that holds more is not the
// application's own folder (a whole medium, say), and copying it would hold the interface for minutes.
constexpr std::uintmax_t largestApplication = std::uintmax_t{256} << 20;

// Whether the regular files in `folder`, links not followed, come to more than `limit` bytes; the walk
// stops as soon as they do. What cannot be read is left to the copy to report.
bool holdsMoreThan(const fs::path& folder, std::uintmax_t limit) {
    std::uintmax_t total = 0;
    std::error_code error;
    fs::recursive_directory_iterator entry(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        std::error_code unreadable;
        const bool regular = entry->symlink_status(unreadable).type() == fs::file_type::regular;
        const std::uintmax_t size = regular ? entry->file_size(unreadable) : 0;
        if (!unreadable) {
            total += size;
        }
        if (total > limit) {
            return true;
        }
    }
    return false;
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

std::optional<fs::path> moveToTrash(const fs::path& folder) {
    QString trashed;
    if (!QFile::moveToTrash(QString::fromStdString(folder.string()), &trashed)) {
        return std::nullopt;
    }
    return trashed.toStdString();
}

bool renameNoReplace(const fs::path& from, const fs::path& to) {
    try {
        files::moveNoReplace(from, to);
        return true;
    } catch (const files::FileError&) {
        return false;
    }
}

// Back from the Trash's "files" folder, with its entry in "info" gone, as a file manager restores it.
bool putBackFromTrash(const fs::path& trashed, const fs::path& place) {
    if (!renameNoReplace(trashed, place)) {
        return false;
    }
    std::error_code ignored;
    fs::remove(trashed.parent_path().parent_path() / "info" / (trashed.filename().string() + ".trashinfo"),
               ignored);
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

MoveSteps fileSystemSteps(std::function<bool(const fs::path&)> launch) {
    return {copyWhole, moveToTrash, putBackFromTrash, renameNoReplace, std::move(launch)};
}

std::optional<QString> moveApplication(const fs::path& source, const fs::path& destination,
                                       const MoveSteps& steps) {
    if (holdsMoreThan(source, largestApplication)) {
        appLog(AppLogLevel::error, "App",
               "not copying " + source.string() + ": it holds more than " +
                   std::to_string(largestApplication >> 20) +
                   " MiB, far more than the application and its agent, so it is not their own folder");
        return copyFailureText();
    }
    std::error_code error;
    fs::create_directories(destination.parent_path(), error);
    const fs::path copy = destination.parent_path() /
                          ("." + destination.filename().string() + ".copy-" + std::to_string(::getpid()));
    if (error || !steps.copy(source, copy)) {
        return copyFailureText();
    }
    std::optional<fs::path> earlier; // where the earlier installation went in the Trash
    if (fs::symlink_status(destination, error).type() != fs::file_type::not_found) {
        earlier = steps.trash(destination);
        if (!earlier) {
            fs::remove_all(copy, error);
            return copyFailureText();
        }
    }
    if (!steps.rename(copy, destination)) {
        if (!earlier || steps.putBack(*earlier, destination)) {
            fs::remove_all(copy, error);
        } else {
            // The earlier installation is only in the Trash now: the copy is the one left whole.
            appLog(AppLogLevel::error, "App",
                   "the new copy stays at " + copy.string() +
                       ": neither it nor the earlier installation (in " + earlier->string() +
                       ") could take the name " + destination.string());
        }
        return copyFailureText();
    }
    if (!steps.launch(destination)) {
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
    const auto failure = moveApplication(
        source, installedApplicationFolder(), fileSystemSteps([&](const fs::path& copy) {
            return QProcess::startDetached(QString::fromStdString((copy / programInCopy).string()),
                                           {QString::fromLatin1(afterMoveArgument)});
        }));
    if (!failure) {
        QCoreApplication::quit();
    }
    co_return failure;
}

} // namespace kestrava::app
