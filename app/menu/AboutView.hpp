#pragma once

#include "app/state/AppState.hpp"
#include "platform/json/Value.hpp"

#include <QString>
#include <QWidget>
#include <memory>
#include <optional>

class QLabel;

namespace kestrava::app {

// "short version (build)" from the application's Info.json; "?" for a part that is missing or not a text.
QString appVersionText();
QString appVersionText(const std::optional<json::Object>& info);

// The About window's content: the application's icon, name and purpose, its version and the running
// agent's (both selectable, for a support request), and the links to the privacy and support pages.
// Interface thread.
class AboutView final : public QWidget {
    Q_OBJECT

public:
    explicit AboutView(std::shared_ptr<AppState> state, QWidget* parent = nullptr);

private:
    void render();

    const std::shared_ptr<AppState> state_;
    QLabel* agentVersion_;
};

} // namespace kestrava::app
