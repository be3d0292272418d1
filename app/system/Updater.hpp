#pragma once

#include <QString>
#include <QStringList>
#include <memory>

namespace kestrava::app {

// Where updates come from. The application never replaces itself: the system's software centre does.
class UpdateBackend {
public:
    virtual ~UpdateBackend() = default;
    virtual bool canCheckForUpdates() const = 0;
    // Shows the updater's own interface.
    virtual void checkForUpdates() = 0;
};

// The software centre installed on this desktop, if any, opened on its updates page.
class SoftwareCentreUpdates final : public UpdateBackend {
public:
    SoftwareCentreUpdates();
    bool canCheckForUpdates() const override { return !program_.isEmpty(); }
    void checkForUpdates() override;

private:
    QString program_; // empty when none is installed
    QStringList arguments_;
};

// The application's updater, made first at launch and kept for the life of the process. Under a test
// harness it is made but not started, and offers no check. Whether a check can be offered does not change
// while the application runs: it is read once.
class Updater {
public:
    Updater(std::unique_ptr<UpdateBackend> backend, bool startingUpdater);

    bool canCheckForUpdates() const noexcept { return canCheckForUpdates_; }
    void checkForUpdates();

private:
    const std::unique_ptr<UpdateBackend> backend_;
    const bool canCheckForUpdates_;
};

} // namespace kestrava::app
