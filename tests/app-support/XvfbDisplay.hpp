#pragma once

#include "tests/support/AgentProcess.hpp"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrava::test {

// An X server of the test's own (Xvfb, one screen of 1280 by 800 unless another size is given, keeping its
// resources when its last client leaves) on a display number it finds free, and the programs a test runs on
// it, all in a home folder of the test's. Made once the server answers (std::runtime_error when it does not
// in time).
class XvfbDisplay {
public:
    // Which of Xvfb and `programs` cannot be found, for a test to skip; nothing when all can.
    static std::optional<std::string> whyMissing(const std::vector<QString>& programs = {});

    explicit XvfbDisplay(std::filesystem::path home, QSize screen = {1280, 800});
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    // ":N".
    const QString& name() const noexcept { return name_; }

    // `program`, found on the path, with `arguments`, on this display, and these variables over the test's.
    std::unique_ptr<AgentProcess>
    run(const QString& program, const std::vector<std::string>& arguments,
        std::vector<std::pair<std::string, std::string>> environment = {}) const;
    // Sets the server's resources as a desktop does that scales by `dotsPerInch` / 96, and puts the pointer
    // at `pointer`, in the screen's pixels.
    void prepareDesktop(int dotsPerInch, QPoint pointer) const;
    // What xwininfo says of the window tree, from the root; empty when it could not run.
    QString windowTree() const;
    // The free area a window manager publishes for the desktop, from xprop; null when none is published.
    QRect freeArea() const;

private:
    // What `program` printed on standard output on this display; empty when it could not run.
    QString outputOf(const QString& program, const QStringList& arguments) const;

    const std::filesystem::path home_;
    std::unique_ptr<AgentProcess> server_;
    QString name_;
};

} // namespace kestrava::test
