#include "tests/app-support/InstalledTree.hpp"

#include "tests/support/TemporaryDirectory.hpp"

#include <QProcess>
#include <stdexcept>

namespace kestrava::test {

InstalledTree InstalledTree::installInto(const std::filesystem::path& prefix) {
    QProcess cmake;
    cmake.setProcessChannelMode(QProcess::MergedChannels);
    cmake.start(KESTRAVA_CMAKE, {"--install", KESTRAVA_BUILD_DIR, "--strip", "--prefix",
                                 QString::fromStdString(prefix.string())});
    if (!cmake.waitForFinished(120'000) || cmake.exitStatus() != QProcess::NormalExit ||
        cmake.exitCode() != 0) {
        throw std::runtime_error("cmake --install failed: " + cmake.readAll().toStdString());
    }
    return {.prefix = prefix,
            .application = prefix / KESTRAVA_INSTALL_BINDIR / "kestrava",
            .applicationInfo = prefix / KESTRAVA_INSTALL_DATADIR / "kestrava" / "Info.json",
            .agent = prefix / KESTRAVA_INSTALL_LIBEXECDIR / "kestrava" / "kestrava-agent",
            .unitFolder = prefix / "lib" / "systemd" / "user",
            .desktopEntry =
                prefix / KESTRAVA_INSTALL_DATADIR / "applications" / "com.veltmoran.kestrava.desktop",
            .iconTheme = prefix / KESTRAVA_INSTALL_DATADIR / "icons" / "hicolor"};
}

const InstalledTree& InstalledTree::once() {
    static const TemporaryDirectory folder;
    static const InstalledTree tree = installInto(folder.path());
    return tree;
}

std::filesystem::path inBuildTree(const std::filesystem::path& file) {
    return std::filesystem::path(KESTRAVA_BUILD_DIR) / file;
}

} // namespace kestrava::test
