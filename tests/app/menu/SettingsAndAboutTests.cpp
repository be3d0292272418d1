#include "app/menu/AboutView.hpp"
#include "app/menu/SettingsView.hpp"
#include "app/runtime/UiText.hpp"
#include "platform/json/Reader.hpp"
#include "tests/app-support/AppStateForViews.hpp"
#include "tests/app-support/ApplicationFont.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/ScriptedOnboarding.hpp"
#include "tests/support/EnvironmentOverride.hpp"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <utility>
#include <vector>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using app::uiText;

AgentStatus statusWith(ConnectionState connection) {
    AgentStatus status;
    status.connection = std::move(connection);
    status.agentVersion = "1.2.0 (7)";
    return status;
}

class SettingsTest : public testing::Test {
protected:
    // The settings window over the agent answering `status` with `phones` phones.
    void open(const std::optional<AgentStatus>& status, int phones) {
        std::vector<PhoneInfo> listed;
        for (int n = 1; n <= phones; ++n) {
            listed.push_back(test::samplePhone(n));
        }
        views.agentService->current = app::ServiceStatus::enabled;
        if (status) { // without, the state has heard nothing yet: as good as no agent, and quicker
            views.agentAnswers(status, listed, std::nullopt);
        }
        view = std::make_unique<app::SettingsView>(
            views.state, admin, [this](const QString& id) { opened.push_back(id); },
            [this](const PhoneInfo& asked, app::RelayLink link) {
                confirmed.emplace_back(asked.phoneId, link);
                return false;
            });
        view->show();
        settle();
    }

    void settle() {
        test::runQtUntil([] { return false; }, {}, 20ms);
    }

    template<class Widget>
    Widget* named(const char* name) const {
        return view->findChild<Widget*>(QString::fromLatin1(name));
    }

    void storeScope(const std::string& flag) {
        views.state->defaults().setBoolean("powerApplied", true);
        views.state->defaults().setText("powerAppliedFlags", flag);
    }

    test::AppStateForViews views;
    std::shared_ptr<test::ScriptedAdmin> admin = std::make_shared<test::ScriptedAdmin>();
    test::EnvironmentOverride desktop{"XDG_CURRENT_DESKTOP", "KDE"}; // no GNOME step in the undo
    std::unique_ptr<app::SettingsView> view;
    std::vector<QString> opened;
    std::vector<std::pair<std::string, app::RelayLink>> confirmed;
};

// What the window shows follows the agent: the pause switch only with a status, the phones' count and
// limit, how a removal would reach the relay, and the buttons that open the other windows.
TEST_F(SettingsTest, FollowsTheAgent) {
    struct Row {
        const char* name;
        std::optional<AgentStatus> status;
        int phones;
        bool pauseEnabled;
        QString limit;
        bool canAdd;
        app::RelayLink link;
    };
    const std::vector<Row> rows = {
        {"no agent", std::nullopt, 0, false, uiText("Tối đa 5 iPhone"), false, app::RelayLink::offline},
        {"connected, four", statusWith({ConnectionState::Connected{}}), 4, true, uiText("Tối đa 5 iPhone"),
         true, app::RelayLink::connected},
        {"connected, five", statusWith({ConnectionState::Connected{}}), 5, true,
         uiText("Đã đủ 5 iPhone — gỡ bớt để thêm"), false, app::RelayLink::connected},
        {"configuration lost", statusWith({ConnectionState::Error{"configLost"}}), 1, true,
         uiText("Tối đa 5 iPhone"), false, app::RelayLink::configLost},
        {"another error", statusWith({ConnectionState::Error{"TLS failed"}}), 1, true,
         uiText("Tối đa 5 iPhone"), false, app::RelayLink::offline},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        confirmed.clear();
        open(row.status, row.phones);
        EXPECT_EQ(named<QCheckBox>("pause")->isEnabled(), row.pauseEnabled);
        EXPECT_EQ(named<QGroupBox>("phones")->title(), uiText("iPhone đã ghép (%1)").arg(row.phones));
        EXPECT_EQ(named<QLabel>("limit")->text(), row.limit);
        EXPECT_EQ(named<QPushButton>("addPhone")->isEnabled(), row.canAdd);
        if (row.status) {
            EXPECT_EQ(named<QLabel>("agent")->text(), uiText("Đang chạy"));
        }
        if (row.phones > 0) {
            view->findChild<QAbstractButton*>(QStringLiteral("revoke"))->click();
            ASSERT_EQ(confirmed.size(), 1u);
            EXPECT_EQ(confirmed[0].second, row.link);
        }
    }
    named<QPushButton>("rerunGuide")->click();
    EXPECT_EQ(opened, std::vector<QString>{QStringLiteral("onboarding")});
}

// The undo of the power settings: the button only while a scope is stored, a spinner while the prompt is
// up, and the result as a line; a refused prompt shows nothing and keeps what is stored.
TEST_F(SettingsTest, UndoingThePowerSettings) {
    open(statusWith({ConnectionState::Connected{}}), 0);
    QPushButton* undo = named<QPushButton>("undo");
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_EQ(undo->toolTip(), uiText("Kestrava chưa đổi cài đặt nguồn"));
    undo->setEnabled(true); // as an older window would still offer it
    undo->click();
    EXPECT_TRUE(test::runQtUntil([&] { return named<QLabel>("undoMessage")->isVisible(); }));
    EXPECT_EQ(named<QLabel>("undoMessage")->text(), uiText("Không khôi phục được: ") + "nothing to undo");
    EXPECT_TRUE(admin->commands.empty());

    storeScope("-c");
    view->hide();
    view->show(); // read again each time the window is shown
    settle();
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_EQ(undo->toolTip(), uiText("Cần mật khẩu quản trị"));

    admin->answer = app::PowerSetupResult::cancelled();
    admin->held = true;
    undo->click();
    settle();
    EXPECT_TRUE(named<QWidget>("undoing")->isVisible());
    EXPECT_FALSE(undo->isVisible());
    admin->letGo();
    EXPECT_TRUE(test::runQtUntil([&] { return undo->isVisible(); }));
    EXPECT_FALSE(named<QLabel>("undoMessage")->isVisible());
    EXPECT_TRUE(undo->isEnabled());

    admin->answer = app::PowerSetupResult::applied();
    undo->click();
    EXPECT_TRUE(test::runQtUntil([&] { return named<QLabel>("undoMessage")->isVisible(); }));
    EXPECT_EQ(named<QLabel>("undoMessage")->text(), uiText("Đã khôi phục cài đặt nguồn"));
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_EQ(views.state->defaults().boolean("powerApplied"), std::nullopt);
    ASSERT_EQ(admin->commands.size(), 2u);
}

// The version line of the About window, and the agent's version once it answers.
TEST(About, Versions) {
    const auto info = [](const std::string& text) { return std::optional(*json::parse(text).asObject()); };
    EXPECT_EQ(app::appVersionText(info(R"({"CFBundleShortVersionString":"1.4","CFBundleVersion":"37"})")),
              QStringLiteral("1.4 (37)"));
    EXPECT_EQ(app::appVersionText(info(R"({"CFBundleShortVersionString":14,"CFBundleVersion":"37"})")),
              QStringLiteral("? (37)"));
    EXPECT_EQ(app::appVersionText(std::nullopt), QStringLiteral("? (?)"));

    test::AppStateForViews views;
    app::AboutView about(views.state); // nothing heard from the agent yet
    const auto agentVersion = [&] {
        return about.findChild<QLabel*>(QStringLiteral("agentVersion"))->text();
    };
    EXPECT_EQ(agentVersion(), QStringLiteral("—"));
    views.agentAnswers(statusWith({ConnectionState::Connected{}}), {}, std::nullopt);
    EXPECT_EQ(agentVersion(), QStringLiteral("1.2.0 (7)"));
}

// The About window grows with the desktop's font as its text does, so its lines wrap where they did.
TEST(About, GrowsWithTheFont) {
    test::ensureQtApplication();
    test::ApplicationFont font;
    for (const auto& [fontPx, width] : std::vector<std::pair<int, int>>{{12, 340}, {13, 340}, {18, 471}}) {
        SCOPED_TRACE(fontPx);
        font.setPixelSize(fontPx);
        test::AppStateForViews views;
        EXPECT_EQ(app::AboutView(views.state).width(), width);
    }
}

} // namespace
} // namespace kestrava
