#pragma once

#include <QCoro/QCoroTask>
#include <QString>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

namespace kestrava::app {

// Given to the copy that a move starts: it waits for the instance that started it to go, rather than
// handing over to it.
inline constexpr char afterMoveArgument[] = "--after-move";

// Running from removable media or from the temporary mount of a packed application: such a copy must not
// register the agent, whose service would point into a folder that goes away.
bool isRelocatedPath(std::string_view applicationFolder);

// What a move does to the file system and the processes, one step at a time.
struct MoveSteps {
    using Folder = std::filesystem::path;
    // A complete copy of the first folder at the second, or false with nothing left there.
    std::function<bool(const Folder&, const Folder&)> copy;
    // Where the folder went in the user's Trash; none when it did not go.
    std::function<std::optional<Folder>(const Folder&)> trash;
    // The folder in the Trash back at the given place; false when it stays in the Trash.
    std::function<bool(const Folder&, const Folder&)> putBack;
    // The first folder under the second's name, never over something already there.
    std::function<bool(const Folder&, const Folder&)> rename;
    // Starts the program in the folder; false when it could not start.
    std::function<bool(const Folder&)> launch;
};

// The steps on the real file system, starting the copy with `launch`.
MoveSteps fileSystemSteps(std::function<bool(const std::filesystem::path&)> launch);

// Copies the application's folder `source` to `destination` and starts the copy. The copy is made beside
// the destination first; only once it is complete does an earlier installation go to the Trash and the
// copy take its name. Whatever fails, one complete installation is left: the earlier one where it was
// (put back from the Trash if need be) or, when even that cannot be, the copy under its hidden name,
// which the log then names. A source that holds far more than the two programs is refused before anything
// is copied. None once the copy started; else the text that tells the user what to do.
std::optional<QString> moveApplication(const std::filesystem::path& source,
                                       const std::filesystem::path& destination, const MoveSteps& steps);

// The running application moved with its agent to its installed place ("Applications/Kestrava" in the home
// folder); once the copy has started, this one quits. Blocks the interface thread while it copies.
QCoro::Task<std::optional<QString>> moveToApplications();

} // namespace kestrava::app
