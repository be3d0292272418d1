#include "app/menu/MenuViewModel.hpp"
#include "app/menu/StatusImage.hpp"
#include "app/runtime/UiText.hpp"
#include "app/ui/ApplicationIcon.hpp"
#include "app/ui/Palette.hpp"
#include "app/ui/Symbols.hpp"
#include "tests/app-support/QtLoop.hpp"

#include <gtest/gtest.h>

#include <QImage>

namespace kestrava {
namespace {

using app::MenuAction;
using app::MenuViewModel;
using app::StatusIconState;
using Header = MenuViewModel::Header;
using Alert = MenuViewModel::Alert;
using SleepRow = MenuViewModel::SleepRow;

const std::string macName = "máy-lan";

AgentStatus statusWith(ConnectionState connection, bool paused = false) {
    AgentStatus status;
    status.connection = std::move(connection);
    status.macName = macName;
    status.monitoringPaused = paused;
    return status;
}

std::vector<PhoneInfo> phones(int count) {
    std::vector<PhoneInfo> paired;
    for (int index = 0; index < count; ++index) {
        paired.push_back({"phone-" + std::to_string(index), "Lan", timestampFromSeconds(1'700'000'000), {}});
    }
    return paired;
}

MenuViewModel modelOf(ConnectionState connection, int phoneCount, bool paused = false) {
    return MenuViewModel::make(statusWith(std::move(connection), paused), phones(phoneCount),
                               QString("bỏ qua"), app::ServiceStatus::notFound);
}

// Without a status the agent is out of reach: a red shield, no sleep row, the switch off, no phone to add,
// and a repair that starts the agent's service only while it is enabled, else enables it.
TEST(MenuViewModel, WithoutStatusTheAgentIsUnreachable) {
    test::ensureQtApplication();
    const struct {
        app::ServiceStatus service;
        MenuAction action;
    } rows[] = {
        {app::ServiceStatus::enabled, MenuAction::restartAgent},
        {app::ServiceStatus::notRegistered, MenuAction::enableAgent},
        {app::ServiceStatus::requiresApproval, MenuAction::enableAgent},
        {app::ServiceStatus::notFound, MenuAction::enableAgent},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.service));
        const QString lastError = "Không kết nối được agent";
        const MenuViewModel model = MenuViewModel::make(std::nullopt, phones(2), lastError, row.service);
        const MenuViewModel expected{
            .icon = StatusIconState::red,
            .header = {Header::Unreachable{}},
            .sleep = std::nullopt,
            .alert = Alert{Alert::Unreachable{lastError, row.service == app::ServiceStatus::enabled}},
            .isPaused = false,
            .canAddPhone = false,
            .macName = std::nullopt,
            .phoneCount = 2,
        };
        EXPECT_EQ(model, expected);
        EXPECT_EQ(model.alert->action(), row.action);
    }
}

// Each connection gives its shield, header and alert; only "configLost" written exactly so is the agent's
// lost configuration; re-registering needs no phone paired; a phone may be added only while connected.
TEST(MenuViewModel, EachConnectionGivesItsShieldHeaderAndAlert) {
    test::ensureQtApplication();
    using Connection = ConnectionState;
    using Icon = StatusIconState;
    const struct {
        Connection connection;
        int phones;
        Icon icon;
        Header header;
        std::optional<Alert> alert;
    } rows[] = {
        {{Connection::Connected{}}, 2, Icon::green, {Header::Connected{}}, {}},
        {{Connection::Reconnecting{12}}, 2, Icon::yellow, {Header::Reconnecting{12}}, {}},
        {{Connection::Error{"down"}}, 2, Icon::red, {Header::Error{"down"}}, {{Alert::Error{"down"}}}},
        {{Connection::Error{"configLost"}}, 0, Icon::red, {Header::ConfigLost{}}, {{Alert::ConfigLost{0}}}},
        {{Connection::Error{"configLost"}}, 3, Icon::red, {Header::ConfigLost{}}, {{Alert::ConfigLost{3}}}},
        {{Connection::Error{"ConfigLost"}},
         2,
         Icon::red,
         {Header::Error{"ConfigLost"}},
         {{Alert::Error{"ConfigLost"}}}},
        {{Connection::RemovedByRelay{}},
         0,
         Icon::red,
         {Header::RemovedByRelay{}},
         {{Alert::RemovedByRelay{true}}}},
        {{Connection::RemovedByRelay{}},
         1,
         Icon::red,
         {Header::RemovedByRelay{}},
         {{Alert::RemovedByRelay{false}}}},
        {{Connection::IdentityConflict{}},
         2,
         Icon::red,
         {Header::IdentityConflict{}},
         {{Alert::IdentityConflict{}}}},
        {{Connection::Paused{}}, 2, Icon::paused, {Header::Paused{}}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.header.value.index() << " with " << row.phones << " phones");
        const MenuViewModel expected{
            .icon = row.icon,
            .header = row.header,
            .sleep = SleepRow::unknown,
            .alert = row.alert,
            .isPaused = false,
            .canAddPhone = std::holds_alternative<Header::Connected>(row.header.value),
            .macName = macName,
            .phoneCount = row.phones,
        };
        EXPECT_EQ(modelOf(row.connection, row.phones), expected);
    }
}

// The header's line, and the alert's title, detail and repair, for each case.
TEST(MenuViewModel, HeaderAndAlertTexts) {
    test::ensureQtApplication();
    const struct {
        Header header;
        QString title;
    } headers[] = {
        {{Header::Reconnecting{12}}, "Đang kết nối lại… (12 giây)"},
        {{Header::Reconnecting{1}}, "Đang kết nối lại… (1 giây)"},
        {{Header::Reconnecting{0}}, "Đang kết nối lại…"},
        {{Header::Error{"từ chối"}}, "Lỗi kết nối"},
        {{Header::Connected{}}, "Đã kết nối"},
        {{Header::RemovedByRelay{}}, app::uiText("Relay đã gỡ Mac này")},
        {{Header::IdentityConflict{}}, "Xung đột danh tính"},
        {{Header::Paused{}}, "Đã tạm dừng giám sát"},
        {{Header::ConfigLost{}}, "Mất cấu hình agent"},
        {{Header::Unreachable{}}, "Không liên lạc được agent"},
    };
    for (const auto& row : headers) {
        EXPECT_EQ(row.header.title(), row.title);
    }

    const QString configLost =
        "config.json mất/hỏng, còn %1 iPhone — khôi phục hoặc gỡ iPhone rồi đăng ký lại";
    const struct {
        Alert alert;
        QString title;
        std::optional<QString> detail;
        std::optional<MenuAction> action;
    } alerts[] = {
        {{Alert::RemovedByRelay{true}}, app::uiText("Relay đã gỡ Mac này"), {}, MenuAction::reregister},
        {{Alert::RemovedByRelay{false}},
         app::uiText("Relay đã gỡ Mac này"),
         "Gỡ hết iPhone rồi đăng ký lại",
         {}},
        {{Alert::Error{"từ chối"}}, "Không kết nối được relay", {}, {}},
        {{Alert::ConfigLost{0}}, configLost.arg(0), {}, MenuAction::reregister},
        {{Alert::ConfigLost{3}},
         configLost.arg(3),
         "Khôi phục config.json rồi khởi động lại agent, hoặc gỡ hết iPhone bên dưới rồi đăng ký lại.",
         {}},
        {{Alert::Unreachable{"hỏng", true}}, "Không liên lạc được agent", {}, MenuAction::restartAgent},
        {{Alert::Unreachable{{}, false}}, "Không liên lạc được agent", {}, MenuAction::enableAgent},
        {{Alert::IdentityConflict{}},
         app::uiText("Một Mac khác đang dùng danh tính này"),
         app::uiText("Tắt Kestrava trên Mac kia hoặc gỡ Mac đó khỏi iPhone, rồi khởi động lại agent ở đây."),
         MenuAction::restartAgent},
    };
    for (const auto& row : alerts) {
        SCOPED_TRACE(row.title.toStdString());
        EXPECT_EQ(row.alert.title(), row.title);
        EXPECT_EQ(row.alert.detail(), row.detail);
        EXPECT_EQ(row.alert.action(), row.action);
    }
}

// The agent's pause turns the switch on and the header to paused, without an alert or another shield;
// a phone may be added while connected, not paused, with fewer than five paired.
TEST(MenuViewModel, PauseAndPhoneLimitDecideTheSwitchAndAddingPhones) {
    test::ensureQtApplication();
    const struct {
        ConnectionState connection;
        bool paused;
        int phones;
        StatusIconState icon;
        Header header;
        bool canAddPhone;
    } rows[] = {
        {{ConnectionState::Connected{}}, true, 2, StatusIconState::green, {Header::Paused{}}, false},
        {{ConnectionState::Reconnecting{12}}, true, 2, StatusIconState::yellow, {Header::Paused{}}, false},
        {{ConnectionState::Connected{}}, false, 4, StatusIconState::green, {Header::Connected{}}, true},
        {{ConnectionState::Connected{}}, false, 5, StatusIconState::green, {Header::Connected{}}, false},
        {{ConnectionState::Reconnecting{3}},
         false,
         0,
         StatusIconState::yellow,
         {Header::Reconnecting{3}},
         false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "paused " << row.paused << ", phones " << row.phones);
        const MenuViewModel model = modelOf(row.connection, row.phones, row.paused);
        EXPECT_EQ(model.icon, row.icon);
        EXPECT_EQ(model.header, row.header);
        EXPECT_EQ(model.alert, std::nullopt);
        EXPECT_EQ(model.isPaused, row.paused);
        EXPECT_EQ(model.canAddPhone, row.canAddPhone);
    }
    EXPECT_EQ(MenuViewModel::pauseLabel(), "Tạm dừng giám sát (máy vẫn thức)");
    EXPECT_EQ(&MenuViewModel::pauseLabel(), &MenuViewModel::pauseLabel());
}

// A safe setting wins; a laptop on battery may sleep whatever the setting; otherwise the sleep setting
// decides, unknown when the agent could not read it. A desktop is never on battery.
TEST(MenuViewModel, SleepVerdictAndItsRow) {
    test::ensureQtApplication();
    const struct {
        bool sleepSafe;
        bool isLaptop;
        bool onACPower;
        std::int64_t pmsetSleep;
        SleepRow verdict;
    } rows[] = {
        {true, true, false, 10, SleepRow::ok},         {false, true, false, 0, SleepRow::onBattery},
        {false, true, false, -1, SleepRow::onBattery}, {false, true, true, 10, SleepRow::warning},
        {false, true, true, -1, SleepRow::unknown},    {false, false, false, 0, SleepRow::warning},
        {false, false, false, -1, SleepRow::unknown},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.sleepSafe << row.isLaptop << row.onACPower << row.pmsetSleep);
        AgentStatus status = statusWith({ConnectionState::Connected{}});
        status.snapshot.sleepSafe = row.sleepSafe;
        status.snapshot.isLaptop = row.isLaptop;
        status.snapshot.onACPower = row.onACPower;
        status.snapshot.pmsetSleep = row.pmsetSleep;
        EXPECT_EQ(MenuViewModel::make(status, {}, std::nullopt, app::ServiceStatus::enabled).sleep,
                  row.verdict);
    }

    const struct {
        SleepRow row;
        QString text;
        QString symbol;
        QColor colour;
    } looks[] = {
        {SleepRow::ok, "Chống ngủ: OK", "moon.zzz.fill", app::ui::green()},
        {SleepRow::onBattery, "Chạy pin – có thể ngủ", "exclamationmark.triangle.fill", app::ui::orange()},
        {SleepRow::unknown, "Không rõ", "exclamationmark.triangle.fill", app::ui::orange()},
        {SleepRow::warning, "Cảnh báo: máy có thể ngủ", "exclamationmark.triangle.fill", app::ui::orange()},
    };
    for (const auto& look : looks) {
        SCOPED_TRACE(look.text.toStdString());
        EXPECT_EQ(app::sleepRowText(look.row), look.text);
        EXPECT_EQ(app::sleepRowSymbol(look.row), look.symbol);
        EXPECT_EQ(app::sleepRowColour(look.row), look.colour);
    }
}

// Whether `image` holds an opaque pixel of exactly `colour`.
bool holds(const QImage& image, const QColor& colour) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == colour.rgba()) {
                return true;
            }
        }
    }
    return false;
}

// Each state has its own shield in its colour at the tray's size, for screens of 1× and 2×, and its
// spoken text.
TEST(StatusImage, EachStateHasItsShieldColourAndSpokenText) {
    test::ensureQtApplication();
    const struct {
        StatusIconState state;
        QString symbol;
        QColor colour;
        QString spoken;
    } rows[] = {
        {StatusIconState::green, "checkmark.shield.fill", app::ui::green(), "Kestrava: đã kết nối"},
        {StatusIconState::yellow, "shield.lefthalf.filled", app::ui::yellow(), "Kestrava: đang kết nối lại"},
        {StatusIconState::red, "exclamationmark.shield.fill", app::ui::red(), "Kestrava: có lỗi"},
        {StatusIconState::paused, "shield.slash.fill", app::ui::gray(), "Kestrava: đã tạm dừng"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.symbol.toStdString());
        EXPECT_EQ(app::statusSymbol(row.state), row.symbol);
        EXPECT_EQ(app::statusColour(row.state), row.colour);
        EXPECT_EQ(app::spokenText(row.state), row.spoken);
        const QIcon image = app::statusImage(row.state);
        ASSERT_FALSE(image.isNull());
        for (const qreal ratio : {1.0, 2.0}) {
            const QPixmap pixmap = image.pixmap(QSize(15, 15), ratio);
            ASSERT_FALSE(pixmap.isNull());
            EXPECT_EQ(pixmap.size(), QSize(15, 15) * ratio);
            EXPECT_TRUE(holds(pixmap.toImage().convertToFormat(QImage::Format_ARGB32), row.colour));
        }
        // Each usual slot, a panel's 22 px among them, gets the shield drawn at its size, not a scaled one.
        for (const int side : app::ui::iconSides) {
            EXPECT_EQ(image.pixmap(QSize(side, side), 1.0).toImage(),
                      app::ui::icon(row.symbol, row.colour, side).toImage())
                << side;
        }
    }
}

// The texts that name the computer read "máy tính" once the catalogue is installed.
TEST(MenuViewModel, TextsNamingTheComputerAreOverridden) {
    test::ensureQtApplication();
    EXPECT_EQ(app::uiText("Relay đã gỡ Mac này"), QStringLiteral("Relay đã gỡ máy tính này"));
    EXPECT_EQ(modelOf({ConnectionState::RemovedByRelay{}}, 0).header.title(),
              QStringLiteral("Relay đã gỡ máy tính này"));
}

} // namespace
} // namespace kestrava
