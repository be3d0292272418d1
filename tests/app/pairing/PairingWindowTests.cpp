#include "app/pairing/ApproveSheet.hpp"
#include "app/pairing/PairingWindow.hpp"
#include "app/runtime/UiText.hpp"
#include "app/ui/ElidingLabel.hpp"
#include "tests/app-support/AppStateForViews.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/ScriptedPairingService.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using app::uiText;

PhoneInfo phone(int n) {
    return PhoneInfo{"phone-" + std::to_string(n), "Phone " + std::to_string(n), wallClockNow(),
                     std::nullopt};
}

PendingPairingInfo waiting(std::string name) {
    return PendingPairingInfo{"req-1", std::move(name), "123456",
                              millisecondsSince1970(wallClockNow() + 300s)};
}

class PairingWindowTest : public testing::Test {
protected:
    PairingWindowTest() {
        // The window is opened on the state's live connection, as the agent client's would be.
        views.agentHolds({}, std::nullopt);
        service->window = app::AgentClient::PairingWindow{
            "kestrava://pair?v=1&d=dev-1", wallClockNow() + 300s, views.client->liveConnection()};
        window = std::make_unique<app::PairingWindow>(views.state, service);
    }

    // What the window shows: the screen's name, its title or heading, the restart button's text (empty when
    // none), the footer button's text (empty when none).
    struct Shown {
        QString screen;
        QString title;
        QString again;
        QString footer;
        bool operator==(const Shown&) const = default;
        friend std::ostream& operator<<(std::ostream& out, const Shown& shown) {
            return out << shown.screen.toStdString() << " | " << shown.title.toStdString() << " | "
                       << shown.again.toStdString() << " | " << shown.footer.toStdString();
        }
    };

    // The visible one of that name: screens that were replaced wait hidden for their deletion.
    template<class Widget>
    Widget* visible(const char* name) {
        for (Widget* found : window->findChildren<Widget*>(name)) {
            if (found->isVisible()) {
                return found;
            }
        }
        return nullptr;
    }

    Shown shown() {
        test::runQtUntil([] { return false; }, {}, 20ms);
        Shown now;
        for (const char* name : {"qrPanel", "approveSheet", "outcomeScreen", "openingScreen"}) {
            if (visible<QWidget>(name)) {
                now.screen = name;
            }
        }
        if (auto* title = visible<QLabel>("outcomeTitle")) {
            now.title = title->text();
        }
        if (auto* again = visible<QPushButton>("again")) {
            now.again = again->text();
        }
        if (auto* footer = visible<QPushButton>("footerButton")) {
            now.footer = footer->text();
        }
        return now;
    }

    void click(const char* button) {
        auto* found = visible<QPushButton>(button);
        ASSERT_NE(found, nullptr) << button;
        found->click();
    }

    test::AppStateForViews views;
    std::shared_ptr<test::ScriptedPairingService> service = std::make_shared<test::ScriptedPairingService>();
    std::unique_ptr<app::PairingWindow> window;
};

// The screens of one pairing, from the QR code to each way it ends, with the buttons each offers.
TEST_F(PairingWindowTest, EachPhaseHasItsScreenAndButtons) {
    window->show();
    EXPECT_EQ(shown(), (Shown{"qrPanel", {}, {}, uiText("Hủy")}));
    EXPECT_TRUE(visible<QLabel>("countdown")->text().startsWith(uiText("Mã hết hạn sau %1").arg("")));

    // A phone asks: the card, without a footer; its name is plain text.
    const QString hostile = QStringLiteral("<b>X</b><br><img src=x>");
    views.agentHolds({}, waiting(hostile.toStdString()));
    EXPECT_EQ(shown(), (Shown{"approveSheet", {}, {}, {}}));
    EXPECT_EQ(visible<app::ui::ElidingLabel>("requestLine")->fullText(),
              uiText("“%1” muốn theo dõi và điều khiển Mac này.").arg(hostile));
    EXPECT_EQ(visible<QLabel>("code")->text(), QStringLiteral("123 456"));

    click("allow");
    EXPECT_EQ(shown(), (Shown{"outcomeScreen", uiText("Đã ghép %1").arg(hostile), uiText("Ghép iPhone khác"),
                              uiText("Xong")}));
    EXPECT_EQ(visible<QLabel>("outcomeTitle")->textFormat(), Qt::PlainText);

    // Five phones now: no way to pair another from here.
    views.agentHolds({phone(1), phone(2), phone(3), phone(4), phone(5)}, std::nullopt);
    EXPECT_EQ(shown().again, QString());
    click("footerButton");
    EXPECT_FALSE(window->isVisible());

    views.agentHolds({}, std::nullopt);
    window = std::make_unique<app::PairingWindow>(views.state, service);
    service->window = app::AgentClientError::unavailable();
    window->show();
    EXPECT_EQ(shown(), (Shown{"outcomeScreen", uiText("Không mở được phiên ghép"), uiText("Thử lại"),
                              uiText("Xong")}));

    service->window = app::AgentClient::PairingWindow{"kestrava://pair?v=1", wallClockNow() - 1s,
                                                      views.client->liveConnection()};
    click("again");
    test::runQtUntil([] { return false; }, {}, 1200ms); // one tick
    EXPECT_EQ(shown(),
              (Shown{"outcomeScreen", uiText("Mã QR đã hết hạn"), uiText("Tạo mã mới"), uiText("Xong")}));

    views.agentHolds({phone(1), phone(2), phone(3), phone(4), phone(5)}, std::nullopt);
    click("again");
    EXPECT_EQ(shown(), (Shown{"outcomeScreen", uiText("Đã đủ 5 iPhone"), {}, uiText("Xong")}));
}

// Closing the window while the QR code is up withdraws the agent's window once; closing it on a result
// asks nothing of the agent.
TEST_F(PairingWindowTest, ClosingCancelsOnlyWhileBusy) {
    window->show();
    shown();
    window->close();
    shown();
    EXPECT_EQ(std::count(service->calls.begin(), service->calls.end(), "cancel"), 1);

    window = std::make_unique<app::PairingWindow>(views.state, service);
    window->show();
    views.agentHolds({}, waiting("Lan"));
    service->outcome = PairingOutcome{PairingOutcome::Denied{PairingDenial::userDenied}};
    click("deny");
    EXPECT_EQ(shown().title, uiText("Đã từ chối"));
    window->close();
    shown();
    EXPECT_EQ(std::count(service->calls.begin(), service->calls.end(), "cancel"), 1);
}

// In the first-run guide the QR code has no heading and no screen has a footer.
TEST_F(PairingWindowTest, TheGuidesPairingStepHasNoHeadingAndNoFooter) {
    app::PairingView view(
        views.state, app::PairingView::Context::onboarding, [] {}, {}, service);
    view.show();
    test::runQtUntil([&] { return view.findChild<QWidget*>("qrPanel") != nullptr; });
    EXPECT_EQ(view.findChild<QLabel*>("qrTitle"), nullptr);
    EXPECT_FALSE(view.findChild<QPushButton*>("footerButton")->isVisible());
}

// The card's countdown turns orange for the last 20 s; an answer in flight turns both buttons off;
// Escape denies, Return does not allow.
TEST(ApproveSheet, CountdownColourAndAnswers) {
    test::ensureQtApplication();
    app::ApproveSheet sheet;
    sheet.show();
    const Timestamp now = wallClockNow();
    const app::ApproveViewModel card("req-1", "Lan", "123 456", now + 110s);
    const std::vector<std::pair<std::chrono::milliseconds, bool>> table{
        {21s, false}, {20300ms, false}, {20s, true}, {200ms, true}, {-5s, true}};
    for (const auto& [left, orange] : table) {
        sheet.render(card, card.deadline - left, std::nullopt);
        EXPECT_EQ(sheet.findChild<QLabel*>("secondsLeft")->property("runningOut").toBool(), orange)
            << left.count();
    }
    sheet.render(card, card.deadline - 200ms, std::nullopt);
    EXPECT_EQ(sheet.findChild<QLabel*>("secondsLeft")->text(), uiText("Còn %1 giây để xác nhận").arg(1));
    sheet.render(card, card.deadline + 5s, std::nullopt);
    EXPECT_EQ(sheet.findChild<QProgressBar*>("countdownBar")->value(), 0);

    QApplication::setActiveWindow(&sheet); // shortcuts work in the active window
    std::vector<bool> answers;
    QObject::connect(&sheet, &app::ApproveSheet::decided, [&](bool approve) { answers.push_back(approve); });
    sheet.render(card, now, std::nullopt);
    QTest::keyClick(&sheet, Qt::Key_Return);
    QTest::keyClick(&sheet, Qt::Key_Escape);
    EXPECT_EQ(answers, std::vector<bool>{false});
    sheet.render(card, now, true);
    EXPECT_FALSE(sheet.findChild<QPushButton*>("allow")->isEnabled());
    EXPECT_FALSE(sheet.findChild<QPushButton*>("deny")->isEnabled());
    QTest::keyClick(&sheet, Qt::Key_Escape);
    EXPECT_EQ(answers, std::vector<bool>{false});
}

} // namespace
} // namespace kestrava
