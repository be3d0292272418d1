#include "app/menu/MenuView.hpp"
#include "app/runtime/UiText.hpp"
#include "tests/app-support/AppStateForViews.hpp"
#include "tests/app-support/QtLoop.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

namespace kestrava {
namespace {

using app::uiText;

class NoUpdates final : public app::UpdateBackend {
public:
    bool canCheckForUpdates() const override { return false; }
    void checkForUpdates() override {}
};

AgentStatus connected() {
    AgentStatus status;
    status.connection.value = ConnectionState::Connected{};
    status.macName = "<b>Máy</b> của Lan";
    status.snapshot.sleepSafe = true;
    return status;
}

std::vector<PhoneInfo> phones(int count) {
    std::vector<PhoneInfo> listed;
    for (int n = 1; n <= count; ++n) {
        listed.push_back({"phone-" + std::to_string(n), "iPhone", wallClockNow(), std::nullopt});
    }
    return listed;
}

class MenuViewTest : public testing::Test {
protected:
    // The panel, as the agent answers.
    app::MenuView& show(const std::optional<AgentStatus>& status, int phoneCount) {
        views.agentAnswers(status, phones(phoneCount), std::nullopt, false);
        menu = std::make_unique<app::MenuView>(
            views.state, updater, [this](const QString& id) { opened.push_back(id); }, [] {},
            [](const PhoneInfo&, app::RelayLink) { return false; });
        menu->show();
        test::runQtUntil([] { return false; }, {}, std::chrono::milliseconds(20));
        return *menu;
    }

    template<class Widget>
    Widget* shown(const char* name) {
        auto* found = menu->findChild<Widget*>(name);
        return found && found->isVisible() ? found : nullptr;
    }

    test::AppStateForViews views;
    app::Updater updater{std::make_unique<NoUpdates>(), false};
    std::unique_ptr<app::MenuView> menu;
    std::vector<QString> opened;
};

// Without the agent: the product's name, the alert with its repair (restart while the service is enabled,
// else enable), no sleep verdict, nothing to add or pause.
TEST_F(MenuViewTest, WithoutTheAgent) {
    for (const auto service : {app::ServiceStatus::enabled, app::ServiceStatus::notRegistered}) {
        views.agentService->current = service;
        show(std::nullopt, 0);
        EXPECT_EQ(shown<QLabel>("macName")->text(), QStringLiteral("Kestrava"));
        EXPECT_EQ(shown<QLabel>("headerTitle")->text(), uiText("Không liên lạc được agent"));
        ASSERT_NE(shown<QPushButton>("alertAction"), nullptr);
        EXPECT_EQ(shown<QPushButton>("alertAction")->text(), service == app::ServiceStatus::enabled
                                                                 ? uiText("Khởi động lại agent")
                                                                 : uiText("Bật agent"));
        EXPECT_EQ(shown<QWidget>("sleep"), nullptr);
        EXPECT_EQ(shown<QWidget>("serviceStatus"), nullptr); // the alert stands alone
        EXPECT_FALSE(shown<QAbstractButton>("addPhone")->isEnabled());
        EXPECT_FALSE(menu->findChild<QCheckBox*>("pause")->isEnabled());
    }
}

// Connected: the computer's name as written, the sleep verdict, and a phone may be added until five are
// paired; a failed action shows below.
TEST_F(MenuViewTest, ConnectedWithPhones) {
    views.agentService->current = app::ServiceStatus::enabled;
    show(connected(), 4);
    EXPECT_EQ(shown<QLabel>("macName")->text(), QStringLiteral("<b>Máy</b> của Lan"));
    EXPECT_EQ(shown<QLabel>("macName")->textFormat(), Qt::PlainText);
    EXPECT_NE(shown<QWidget>("sleep"), nullptr);
    EXPECT_TRUE(shown<QAbstractButton>("addPhone")->isEnabled());
    shown<QAbstractButton>("addPhone")->click();
    EXPECT_EQ(opened, std::vector<QString>{"pairing"});
    EXPECT_TRUE(menu->findChild<QCheckBox*>("pause")->isEnabled());

    show(connected(), 5);
    EXPECT_FALSE(shown<QAbstractButton>("addPhone")->isEnabled());
    views.run(views.state->revoke("phone-1")); // the agent says no
    test::runQtUntil([] { return false; }, {}, std::chrono::milliseconds(20));
    ASSERT_NE(shown<QWidget>("actionError"), nullptr);
}

} // namespace
} // namespace kestrava
