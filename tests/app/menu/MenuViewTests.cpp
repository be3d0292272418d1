#include "app/menu/MenuView.hpp"
#include "app/ui/ApplicationLook.hpp"
#include "app/ui/ElidingLabel.hpp"
#include "app/ui/SelectableLine.hpp"
#include "tests/app-support/AppStateForViews.hpp"
#include "tests/app-support/ApplicationFont.hpp"
#include "tests/app-support/QtLoop.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTest>
#include <QToolButton>
#include <map>

namespace kestrava {
namespace {

using app::RelayLink;
using app::ServiceStatus;

// Updates offered or not; each check counted in `checks` when given.
class Updates final : public app::UpdateBackend {
public:
    explicit Updates(bool offered, int* checks = nullptr) : offered_(offered), checks_(checks) {}
    bool canCheckForUpdates() const override { return offered_; }
    void checkForUpdates() override {
        if (checks_) {
            ++*checks_;
        }
    }

private:
    bool offered_;
    int* checks_;
};

AgentStatus statusOf(ConnectionState connection, bool monitoringPaused = false) {
    AgentStatus status;
    status.connection = std::move(connection);
    status.macName = "<b>Máy</b> của Lan";
    status.monitoringPaused = monitoringPaused;
    status.snapshot.sleepSafe = true;
    return status;
}

AgentStatus connected(bool monitoringPaused = false) {
    return statusOf({ConnectionState::Connected{}}, monitoringPaused);
}

// The sleep verdict's inputs: a laptop or not, on its charger or not, and the sleep timer (-1: unread).
AgentStatus sleeping(AgentStatus status, bool laptop, bool charging, std::int64_t sleepMinutes) {
    status.snapshot.sleepSafe = false;
    status.snapshot.isLaptop = laptop;
    status.snapshot.onACPower = charging;
    status.snapshot.pmsetSleep = sleepMinutes;
    return status;
}

std::vector<PhoneInfo> phones(int count) {
    std::vector<PhoneInfo> listed;
    for (int n = 1; n <= count; ++n) {
        listed.push_back({"phone-" + std::to_string(n), "iPhone", wallClockNow(), std::nullopt});
    }
    return listed;
}

void settle() {
    test::runQtUntil([] { return false; }, {}, std::chrono::milliseconds(20));
}

// The panel over an application state of its own, its texts as the catalogue gives them.
struct Panel {
    Panel(const std::optional<AgentStatus>& status, int phoneCount, ServiceStatus service,
          std::unique_ptr<app::UpdateBackend> updates = std::make_unique<Updates>(false),
          bool startingUpdater = false)
        : updater(std::move(updates), startingUpdater) {
        views.agentService->current = service;
        if (!status && phoneCount > 0) {
            // What was listed before the agent went out of reach stays listed.
            views.agentAnswers(connected(), phones(phoneCount), std::nullopt, false);
        }
        views.agentAnswers(status, phones(phoneCount), std::nullopt, false);
        menu = std::make_unique<app::MenuView>(
            views.state, updater, [this](const QString& id) { opened.push_back(id); },
            [this] { ++dismissed; },
            [this](const PhoneInfo&, RelayLink link) {
                confirmedWith.push_back(link);
                return false;
            });
        menu->show();
        settle();
    }

    template<class Widget>
    Widget* shown(const char* name) const {
        for (auto* found : menu->findChildren<Widget*>(name)) {
            if (found->isVisible()) {
                return found;
            }
        }
        return nullptr;
    }

    // The text of a shown label, button or notice (whose other label is its symbol); empty when not shown.
    std::string text(const char* name) const {
        QWidget* widget = shown<QWidget>(name);
        if (!widget) {
            return {};
        }
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            return label->text().toStdString();
        }
        if (auto* eliding = qobject_cast<app::ui::ElidingLabel*>(widget)) {
            return eliding->fullText().toStdString();
        }
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            return button->text().toStdString();
        }
        for (auto* label : widget->findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) {
                return label->text().toStdString();
            }
        }
        return {};
    }

    // The notices shown, top to bottom.
    std::vector<std::string> notices() const {
        std::vector<std::pair<int, std::string>> placed;
        for (const char* name : {"alert", "actionError", "serviceStatus", "sleep"}) {
            if (QWidget* notice = shown<QWidget>(name)) {
                placed.emplace_back(notice->mapTo(menu.get(), QPoint(0, 0)).y(), name);
            }
        }
        std::sort(placed.begin(), placed.end());
        std::vector<std::string> names;
        for (const auto& [y, name] : placed) {
            names.push_back(name);
        }
        return names;
    }

    test::AppStateForViews views;
    app::Updater updater;
    std::vector<QString> opened;
    int dismissed = 0;
    std::vector<RelayLink> confirmedWith;
    std::unique_ptr<app::MenuView> menu;
};

// The panel's rows in each state of the agent: the shield and header, the alert with its detail, its
// message and its repair, the service's own state only when no alert speaks, the sleep verdict, the limit
// text only above four phones, the phones listed with what a removal means for the relay, the switch, and
// a failed action below the alert. Empty texts stand for rows not shown.
TEST(MenuView, RowsOfEachAgentState) {
    const auto lost = [](int phones) {
        return "config.json mất/hỏng, còn " + std::to_string(phones) +
               " iPhone — khôi phục hoặc gỡ iPhone rồi đăng ký lại";
    };
    const struct Row {
        const char* name;
        std::optional<AgentStatus> status;
        int phones = 0;
        ServiceStatus service = ServiceStatus::enabled;
        std::string shield, header;
        std::string alertTitle = {}, alertDetail = {}, alertMessage = {}, alertAction = {};
        std::string serviceLine = {}, sleep = {}, limit = {};
        bool canAddPhone = false;
        bool paused = false;
        std::optional<RelayLink> link = {}; // what a removal is confirmed with; none while no phone is listed
        bool actionFails = false;
    } rows[] = {
        {.name = "no status, the service enabled",
         .status = std::nullopt,
         .phones = 2,
         .shield = "Kestrava: có lỗi",
         .header = "Không liên lạc được agent",
         .alertTitle = "Không liên lạc được agent",
         .alertMessage = "Không kết nối được agent",
         .alertAction = "Khởi động lại agent",
         .link = RelayLink::offline},
        {.name = "no status, the service not registered",
         .status = std::nullopt,
         .service = ServiceStatus::notRegistered,
         .shield = "Kestrava: có lỗi",
         .header = "Không liên lạc được agent",
         .alertTitle = "Không liên lạc được agent",
         .alertMessage = "Không kết nối được agent",
         .alertAction = "Bật agent"},
        {.name = "connected, the service not registered",
         .status = connected(),
         .phones = 1,
         .service = ServiceStatus::notRegistered,
         .shield = "Kestrava: đã kết nối",
         .header = "Đã kết nối",
         .serviceLine = "Agent chưa được bật",
         .sleep = "Chống ngủ: OK",
         .canAddPhone = true,
         .link = RelayLink::connected},
        {.name = "connected, four phones",
         .status = connected(),
         .phones = 4,
         .shield = "Kestrava: đã kết nối",
         .header = "Đã kết nối",
         .sleep = "Chống ngủ: OK",
         .canAddPhone = true,
         .link = RelayLink::connected},
        {.name = "connected, five phones, a removal refused",
         .status = connected(),
         .phones = 5,
         .shield = "Kestrava: đã kết nối",
         .header = "Đã kết nối",
         .sleep = "Chống ngủ: OK",
         .limit = "Đã đủ 5 iPhone — gỡ bớt để thêm",
         .link = RelayLink::connected,
         .actionFails = true},
        {.name = "paused",
         .status = statusOf({ConnectionState::Paused{}}, true),
         .phones = 1,
         .shield = "Kestrava: đã tạm dừng",
         .header = "Đã tạm dừng giám sát",
         .sleep = "Chống ngủ: OK",
         .paused = true,
         .link = RelayLink::offline},
        {.name = "connected while monitoring is paused",
         .status = connected(true),
         .phones = 1,
         .shield = "Kestrava: đã kết nối",
         .header = "Đã tạm dừng giám sát",
         .sleep = "Chống ngủ: OK",
         .paused = true,
         .link = RelayLink::connected},
        {.name = "reconnecting, a laptop on battery",
         .status = sleeping(statusOf({ConnectionState::Reconnecting{12}}), true, false, 30),
         .phones = 1,
         .shield = "Kestrava: đang kết nối lại",
         .header = "Đang kết nối lại… (12 giây)",
         .sleep = "Chạy pin – có thể ngủ",
         .link = RelayLink::offline},
        {.name = "the relay's error, a removal refused",
         .status = statusOf({ConnectionState::Error{"TLS handshake failed: certificate expired"}}),
         .phones = 1,
         .shield = "Kestrava: có lỗi",
         .header = "Lỗi kết nối",
         .alertTitle = "Không kết nối được relay",
         .alertMessage = "TLS handshake failed: certificate expired",
         .sleep = "Chống ngủ: OK",
         .link = RelayLink::offline,
         .actionFails = true},
        {.name = "configuration lost, no phone",
         .status = statusOf({ConnectionState::Error{"configLost"}}),
         .shield = "Kestrava: có lỗi",
         .header = "Mất cấu hình agent",
         .alertTitle = lost(0),
         .alertAction = "Đăng ký lại máy tính này",
         .sleep = "Chống ngủ: OK"},
        {.name = "configuration lost, three phones",
         .status = statusOf({ConnectionState::Error{"configLost"}}),
         .phones = 3,
         .shield = "Kestrava: có lỗi",
         .header = "Mất cấu hình agent",
         .alertTitle = lost(3),
         .alertDetail =
             "Khôi phục config.json rồi khởi động lại agent, hoặc gỡ hết iPhone bên dưới rồi đăng ký lại.",
         .sleep = "Chống ngủ: OK",
         .link = RelayLink::configLost},
        {.name = "removed by the relay, no phone",
         .status = statusOf({ConnectionState::RemovedByRelay{}}),
         .shield = "Kestrava: có lỗi",
         .header = "Relay đã gỡ máy tính này",
         .alertTitle = "Relay đã gỡ máy tính này",
         .alertAction = "Đăng ký lại máy tính này",
         .sleep = "Chống ngủ: OK"},
        {.name = "removed by the relay, one phone",
         .status = statusOf({ConnectionState::RemovedByRelay{}}),
         .phones = 1,
         .shield = "Kestrava: có lỗi",
         .header = "Relay đã gỡ máy tính này",
         .alertTitle = "Relay đã gỡ máy tính này",
         .alertDetail = "Gỡ hết iPhone rồi đăng ký lại",
         .sleep = "Chống ngủ: OK",
         .link = RelayLink::offline},
        {.name = "identity conflict, the sleep timer unread",
         .status = sleeping(statusOf({ConnectionState::IdentityConflict{}}), false, true, -1),
         .phones = 1,
         .shield = "Kestrava: có lỗi",
         .header = "Xung đột danh tính",
         .alertTitle = "Một máy tính khác đang dùng danh tính này",
         .alertDetail = "Tắt Kestrava trên máy tính kia hoặc gỡ máy tính đó khỏi iPhone, rồi khởi động lại "
                        "agent ở đây.",
         .alertAction = "Khởi động lại agent",
         .sleep = "Không rõ",
         .link = RelayLink::offline},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Panel panel(row.status, row.phones, row.service);
        EXPECT_EQ(panel.shown<QLabel>("shield")->accessibleName().toStdString(), row.shield);
        EXPECT_EQ(panel.text("macName"), row.status ? "<b>Máy</b> của Lan" : "Kestrava");
        EXPECT_EQ(panel.shown<QLabel>("macName")->textFormat(), Qt::PlainText);
        EXPECT_EQ(panel.text("headerTitle"), row.header);
        EXPECT_EQ(panel.text("alertTitle"), row.alertTitle);
        EXPECT_EQ(panel.text("alertDetail"), row.alertDetail);
        EXPECT_EQ(panel.text("alertMessage"), row.alertMessage);
        EXPECT_EQ(panel.text("alertAction"), row.alertAction);
        EXPECT_EQ(panel.text("serviceStatus"), row.serviceLine);
        EXPECT_EQ(panel.text("sleep"), row.sleep);
        EXPECT_EQ(panel.text("phoneLimit"), row.limit);

        auto* addPhone = panel.shown<QAbstractButton>("addPhone");
        EXPECT_EQ(addPhone->isEnabled(), row.canAddPhone);
        addPhone->click();
        EXPECT_EQ(panel.opened, row.canAddPhone ? std::vector<QString>{"pairing"} : std::vector<QString>{});
        auto* pause = panel.menu->findChild<QCheckBox*>("pause");
        EXPECT_EQ(pause->isChecked(), row.paused);
        EXPECT_EQ(pause->isEnabled(), row.status.has_value());
        EXPECT_FALSE(panel.shown<QAbstractButton>("checkForUpdates")->isEnabled());

        EXPECT_EQ(panel.menu->findChildren<QWidget*>("phoneRow").size(), static_cast<qsizetype>(row.phones));
        EXPECT_EQ(panel.shown<QLabel>("emptyText") != nullptr, row.phones == 0);
        if (auto* revoke = panel.shown<QAbstractButton>("revoke")) {
            revoke->click();
        }
        EXPECT_EQ(panel.confirmedWith, row.link ? std::vector{*row.link} : std::vector<RelayLink>{});

        std::vector<std::string> notices;
        for (const auto& [name, present] : {std::pair{"alert", !row.alertTitle.empty()},
                                            {"actionError", row.actionFails},
                                            {"serviceStatus", !row.serviceLine.empty()},
                                            {"sleep", !row.sleep.empty()}}) {
            if (present) {
                notices.emplace_back(name);
            }
        }
        if (row.actionFails) {
            panel.views.run(panel.views.state->revoke("phone-1")); // the agent says no
            settle();
            EXPECT_EQ(panel.text("actionError"), "Không gỡ được iPhone — thử lại");
        }
        EXPECT_EQ(panel.notices(), notices);
    }
}

// A repair that fails at once redraws the alert from inside its own button's click: the new alert says
// why, and under it the system's own words, which the user can select and copy whole.
TEST(MenuView, AStartOfTheAgentThatFailsAtOnceShowsWhy) {
    Panel panel(std::nullopt, 0, ServiceStatus::notRegistered);
    const QString words = "Process org.freedesktop.systemd1 exited with status 1 while the session was "
                          "starting, which is longer than the panel is wide";
    panel.views.agentService->registerFailures.push_back(
        app::PlatformError{words.toStdString(), app::PlatformError::Cause::noServiceManager});
    QTest::mouseClick(panel.shown<QPushButton>("alertAction"), Qt::LeftButton);
    settle();
    EXPECT_EQ(panel.views.agentService->calls, std::vector<std::string>{"register"});
    EXPECT_EQ(panel.text("alertMessage"),
              "Phiên đăng nhập này không có trình quản lý dịch vụ của người dùng (systemd --user)");
    auto* systemWords = panel.shown<app::ui::SelectableLine>("alertSystemWords");
    ASSERT_TRUE(systemWords);
    EXPECT_NE(systemWords->shownText(), words);
    systemWords->selectAll();
    systemWords->copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), words);
    EXPECT_EQ(panel.text("alertAction"), "Bật agent");
}

// A long message of the agent takes at most two lines of the alert, its whole text in the tooltip.
TEST(MenuView, TheAlertHoldsALongMessageToTwoLines) {
    const std::string message = "TLS handshake failed: certificate verify failed (unable to get local issuer "
                                "certificate) while connecting to relay.kestrava.example:443";
    Panel panel(statusOf({ConnectionState::Error{message}}), 1, ServiceStatus::enabled);
    QWidget* shown = panel.shown<QWidget>("alertMessage");
    ASSERT_TRUE(shown);
    EXPECT_LT(shown->height(), 3 * QFontMetrics(shown->font()).lineSpacing());
    EXPECT_EQ(shown->toolTip().toStdString(), message);
}

// Beside text that grows with the desktop's font, the marks and controls grow in proportion: the shield,
// the alert's and a notice's symbols, the switch's box and a phone's removal button.
TEST(MenuView, MarksAndControlsGrowWithTheFont) {
    test::ensureQtApplication();
    const auto sizesAt = [](int px) {
        const QString savedSheet = qApp->styleSheet();
        const test::ApplicationFont desktop(px);
        app::ui::applyApplicationLook(*qApp);
        std::map<std::string, QSize> sizes;
        {
            Panel panel(sleeping(statusOf({ConnectionState::Error{"TLS"}}), true, false, 10), 1,
                        ServiceStatus::enabled);
            const auto symbolIn = [&](const char* name) {
                QWidget* notice = panel.shown<QWidget>(name);
                for (QLabel* label : notice ? notice->findChildren<QLabel*>() : QList<QLabel*>{}) {
                    if (!label->pixmap().isNull()) {
                        return label->pixmap().deviceIndependentSize().toSize();
                    }
                }
                return QSize();
            };
            sizes["shield"] = panel.shown<QLabel>("shield")->pixmap().deviceIndependentSize().toSize();
            sizes["alert symbol"] = symbolIn("alert");
            sizes["sleep symbol"] = symbolIn("sleep");
            auto* box = panel.shown<QCheckBox>("pause");
            QStyleOptionButton option;
            option.initFrom(box);
            sizes["switch"] = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).size();
            auto* removal = panel.menu->findChild<QToolButton*>("revoke");
            sizes["removal"] = removal->sizeHint().expandedTo(removal->minimumSize());
        }
        qApp->setStyleSheet(savedSheet);
        return sizes;
    };
    const auto small = sizesAt(12);
    const auto large = sizesAt(18);
    for (const auto& [name, size] : small) {
        SCOPED_TRACE(name);
        ASSERT_FALSE(size.isEmpty());
        const QSize grown = large.at(name);
        EXPECT_NEAR(grown.width() / double(size.width()), 1.5, 0.1) << size.width() << " " << grown.width();
        EXPECT_NEAR(grown.height() / double(size.height()), 1.5, 0.1)
            << size.height() << " " << grown.height();
    }
}

// The update row is offered only while the updater can check; a check closes the panel first.
TEST(MenuView, TheUpdateRowFollowsTheUpdater) {
    int checks = 0;
    Panel panel(connected(), 0, ServiceStatus::enabled, std::make_unique<Updates>(true, &checks), true);
    auto* update = panel.shown<QAbstractButton>("checkForUpdates");
    ASSERT_TRUE(update->isEnabled());
    update->click();
    EXPECT_EQ(panel.dismissed, 1);
    EXPECT_EQ(checks, 1);
}

// The panel grows with the desktop's font as its text does: a phone's name shown whole at the font the
// panel is laid out for stays whole with a larger one.
TEST(MenuView, APhonesNameKeepsItsRoomAsTheFontGrows) {
    test::ApplicationFont font;
    for (const int fontPx : {13, 15, 18}) {
        SCOPED_TRACE(fontPx);
        font.setPixelSize(fontPx);
        Panel panel(connected(), 0, ServiceStatus::enabled);
        panel.views.agentAnswers(connected(),
                                 {{"phone-1", "iPhone 15 Pro của Nguyễn Lan", wallClockNow(), {}}},
                                 std::nullopt, false);
        settle();
        const auto* name = panel.shown<app::ui::ElidingLabel>("phoneName");
        EXPECT_TRUE(name && name->shownText() == name->fullText())
            << (name ? name->shownText().toStdString() : "no name shown");
    }
}

} // namespace
} // namespace kestrava
