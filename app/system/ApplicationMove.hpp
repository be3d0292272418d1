#pragma once

#include <QCoro/QCoroTask>
#include <QString>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

namespace kestrava::app {

// Running from removable media or from the temporary mount of a packed application: such a copy must not
// register the agent, whose service would point into a folder that goes away.
bool isRelocatedPath(std::string_view applicationFolder);

// Copies the application's folder `source` to `destination` and starts the copy with `launch`. The copy
// is made beside the destination first; only once it is complete does an earlier installation go to the
// Trash and the copy take its name, so a failed copy leaves the earlier one as it was. None once the copy
// started; else the text that tells the user what to do.
std::optional<QString> moveApplication(const std::filesystem::path& source,
                                       const std::filesystem::path& destination,
                                       const std::function<bool(const std::filesystem::path&)>& launch);

// The running application moved with its agent to its installed place ("Applications/Kestrava" in the home
// folder); once the copy has started, this one quits. Blocks the interface thread while it copies.
QCoro::Task<std::optional<QString>> moveToApplications();

} // namespace kestrava::app
