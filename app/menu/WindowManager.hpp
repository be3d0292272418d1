#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <map>

namespace kestrava::app {

// The application's four windows by their names: "settings", "about", "pairing", "onboarding". Each is
// made when it is first opened, shown again rather than made twice while it is open, and gone when closed.
class WindowManager {
public:
    using Maker = std::function<QWidget*()>;

    WindowManager() = default;
    // The windows still open go with it: what made them may be gone too.
    ~WindowManager();
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

    void define(const QString& id, Maker make);
    // Shows the window, raised and active; false for a name nobody defined.
    bool open(const QString& id);
    // The open window of that name, or none.
    QWidget* window(const QString& id) const;

private:
    std::map<QString, Maker> makers_;
    std::map<QString, QPointer<QWidget>> open_;
};

} // namespace kestrava::app
