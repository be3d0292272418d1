#pragma once

#include <filesystem>

namespace kestrava::test {

// This build installed by its own install rules into a prefix of the tests' own, as the package installs
// it under /usr: the unit names the agent under that prefix, and the programs name each other from their
// own folders.
class InstalledTree {
public:
    // Installs into `prefix`; throws when the install fails.
    static InstalledTree installInto(const std::filesystem::path& prefix);
    // One tree per test program, made on first use and removed at its end.
    static const InstalledTree& once();

    std::filesystem::path prefix;
    std::filesystem::path application;
    std::filesystem::path applicationInfo; // the application's Info.json, in its data folder
    std::filesystem::path agent;
    std::filesystem::path unitFolder; // the service manager's folder for units of the system's packages
    std::filesystem::path desktopEntry;
    std::filesystem::path iconTheme; // the hicolor theme's folder
};

// A file of the build tree ("app/kestrava", "agent/kestrava-agent.service").
std::filesystem::path inBuildTree(const std::filesystem::path& file);

} // namespace kestrava::test
