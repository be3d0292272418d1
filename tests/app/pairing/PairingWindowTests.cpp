#include "app/pairing/ApproveSheet.hpp"
#include "app/pairing/PairingWindow.hpp"
#include "app/pairing/QRPanel.hpp"
#include "app/runtime/UiText.hpp"
#include "app/ui/ElidingLabel.hpp"
#include "app/ui/SelectableLine.hpp"
#include "tests/app-support/AppStateForViews.hpp"
#include "tests/app-support/ApplicationFont.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/ScriptedPairingService.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <set>

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
        views.agentHolds({}, std::nullopt);
        newWindow();
    }

    // A window not yet shown, over a new service that `prepare` may set. The agent's window is opened on
    // the state's live connection, as the agent client's would be.
    void newWindow(const std::function<void(test::ScriptedPairingService&)>& prepare = {}) {
        service = std::make_shared<test::ScriptedPairingService>();
        service->window = app::AgentClient::PairingWindow{
            "kestrava://pair?v=1&d=dev-1", wallClockNow() + 300s, views.client->liveConnection()};
        if (prepare) {
            prepare(*service);
        }
        window = std::make_unique<app::PairingWindow>(views.state, service);
    }

    // What the window shows: the screen's name, its title (the text of the opening screen), the restart
    // button's text (empty when none), the footer button's text (empty when none).
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
        if (auto* opening = visible<QWidget>("openingScreen")) {
            now.title = opening->findChild<QLabel*>()->text();
        }
        if (auto* again = visible<QPushButton>("again")) {
            now.again = again->text();
        }
        if (auto* footer = visible<QPushButton>("footerButton")) {
            now.footer = footer->text();
        }
        return now;
    }

    // The shown labels given less height than their text or picture needs, each by its name and text.
    std::vector<std::string> squeezed() {
        std::vector<std::string> found;
        for (QLabel* label : window->findChildren<QLabel*>()) {
            const int needs = label->hasHeightForWidth() ? label->heightForWidth(label->width())
                                                         : label->minimumSizeHint().height();
            if (label->isVisible() && label->height() < needs) {
                found.push_back(label->objectName().toStdString() + " " + label->text().toStdString());
            }
        }
        return found;
    }

    void click(const char* button) {
        auto* found = visible<QPushButton>(button);
        ASSERT_NE(found, nullptr) << button;
        found->click();
    }

    test::AppStateForViews views;
    std::shared_ptr<test::ScriptedPairingService> service;
    std::unique_ptr<app::PairingWindow> window;
};

std::vector<PhoneInfo> phones(int count) {
    std::vector<PhoneInfo> all;
    for (int n = 1; n <= count; ++n) {
        all.push_back(phone(n));
    }
    return all;
}

// The screens of one pairing, from the QR code to each way it ends, with the buttons each offers.
TEST_F(PairingWindowTest, EachPhaseHasItsScreenAndButtons) {
    window->show();
    EXPECT_EQ(shown(), (Shown{"qrPanel", {}, {}, uiText("Hủy")}));
    EXPECT_TRUE(visible<QLabel>("countdown")->text().startsWith(uiText("Mã hết hạn sau %1").arg("")));

    // A phone asks: the card, without a footer.
    views.agentHolds({}, waiting("Lan"));
    EXPECT_EQ(shown(), (Shown{"approveSheet", {}, {}, {}}));
    EXPECT_EQ(visible<QLabel>("code")->text(), QStringLiteral("123 456"));

    click("allow");
    EXPECT_EQ(shown(), (Shown{"outcomeScreen", uiText("Đã ghép %1").arg("Lan"), uiText("Ghép iPhone khác"),
                              uiText("Xong")}));

    // Five phones now: no way to pair another from here.
    views.agentHolds(phones(5), std::nullopt);
    EXPECT_EQ(shown().again, QString());
    click("footerButton");
    EXPECT_FALSE(window->isVisible());

    views.agentHolds({}, std::nullopt);
    newWindow(
        [](test::ScriptedPairingService& service) { service.window = app::AgentClientError::unavailable(); });
    window->show();
    EXPECT_EQ(shown(), (Shown{"outcomeScreen", uiText("Không mở được phiên ghép"), uiText("Thử lại"),
                              uiText("Xong")}));

    service->window = app::AgentClient::PairingWindow{"kestrava://pair?v=1", wallClockNow() - 1s,
                                                      views.client->liveConnection()};
    click("again");
    test::runQtUntil([] { return false; }, {}, 1200ms); // one tick
    EXPECT_EQ(shown(),
              (Shown{"outcomeScreen", uiText("Mã QR đã hết hạn"), uiText("Tạo mã mới"), uiText("Xong")}));

    views.agentHolds(phones(5), std::nullopt);
    click("again");
    EXPECT_EQ(shown(), (Shown{"outcomeScreen", uiText("Đã đủ 5 iPhone"), {}, uiText("Xong")}));
}

// The screens of an opening, of an answer in flight and of a decision lost, the last with "Thử lại" only
// while fewer than 5 phones are paired; the QR code's among them. The window keeps one height from screen
// to screen, and every screen has the room its texts and symbols need.
TEST_F(PairingWindowTest, TheOpeningTheAnswerInFlightAndALostDecision) {
    const auto holdOpening = [](test::ScriptedPairingService& service) { service.holdOpening = true; };
    const auto holdDecision = [](test::ScriptedPairingService& service) { service.holdDecision = true; };
    const auto loseDecision = [](test::ScriptedPairingService& service) {
        service.outcome = app::AgentClientError::timeout();
    };
    const QString lost = uiText("Không rõ kết quả — kiểm tra danh sách iPhone");
    struct Row {
        std::string what;
        std::function<void(test::ScriptedPairingService&)> prepare;
        bool answers;   // a phone asks and the user allows it
        int phonesThen; // paired once the screen shows
        Shown expected;
    };
    const std::vector<Row> table{
        {"the QR code", {}, false, 0, {"qrPanel", {}, {}, uiText("Hủy")}},
        {"opening",
         holdOpening,
         false,
         0,
         {"openingScreen", uiText("Đang mở phiên ghép…"), {}, uiText("Hủy")}},
        {"answer in flight", holdDecision, true, 0, {"approveSheet", {}, {}, {}}},
        {"lost, 4 phones", loseDecision, true, 4, {"outcomeScreen", lost, uiText("Thử lại"), uiText("Xong")}},
        {"lost, 5 phones", loseDecision, true, 5, {"outcomeScreen", lost, {}, uiText("Xong")}},
    };
    std::set<int> heights;
    for (const Row& row : table) {
        SCOPED_TRACE(row.what);
        views.agentHolds({}, std::nullopt);
        newWindow(row.prepare);
        window->show();
        shown();
        if (row.answers) {
            views.agentHolds({}, waiting("Lan"));
            click("allow");
            shown();
        }
        views.agentHolds(phones(row.phonesThen), std::nullopt);
        EXPECT_EQ(shown(), row.expected);
        EXPECT_EQ(squeezed(), std::vector<std::string>{});
        heights.insert(window->height());
        if (row.expected.screen == "approveSheet") {
            EXPECT_FALSE(visible<QPushButton>("allow")->isEnabled());
            EXPECT_FALSE(visible<QPushButton>("deny")->isEnabled());
        } else if (row.expected.title == lost) {
            EXPECT_EQ(
                visible<QLabel>("outcomeDetail")->text(),
                uiText("Agent không trả lời kịp. Nếu iPhone đã có trong danh sách thì việc ghép đã xong."));
        }
    }
    EXPECT_EQ(heights.size(), 1u);
}

// The agent closes its pairing window when monitoring pauses, by the status's flag or its link's state,
// and when the connection that opened it ends: the QR code then shows as run out. Other changes keep it.
TEST_F(PairingWindowTest, AQRCodeWhoseWindowTheAgentClosedRunsOut) {
    const Shown runOut{"outcomeScreen", uiText("Mã QR đã hết hạn"), uiText("Tạo mã mới"), uiText("Xong")};
    const auto statusWith = [](ConnectionState connection, bool paused) {
        AgentStatus status;
        status.connection = std::move(connection);
        status.monitoringPaused = paused;
        return status;
    };
    struct Row {
        std::string what;
        std::function<void()> change;
        Shown expected;
    };
    const std::vector<Row> table{
        {"another phone listed",
         [&] { views.agentHolds(phones(1), std::nullopt); },
         {"qrPanel", {}, {}, uiText("Hủy")}},
        {"monitoring paused",
         [&] { views.agentAnswers(statusWith({ConnectionState::Connected{}}, true), {}, std::nullopt); },
         runOut},
        {"link paused",
         [&] { views.agentAnswers(statusWith({ConnectionState::Paused{}}, false), {}, std::nullopt); },
         runOut},
        {"connection ended",
         [&] {
             views.transport->made.back()->onInvalidation();
             views.agentHolds({}, std::nullopt);
         },
         runOut},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.what);
        views.agentHolds({}, std::nullopt);
        newWindow();
        window->show();
        ASSERT_EQ(shown().screen, "qrPanel");
        row.change();
        EXPECT_EQ(shown(), row.expected);
    }
}

// The copy button puts the whole link on the clipboard and says so, without moving the field, until another
// link is shown; the field shows a long link cut in the middle and gives a selection of all of it the whole
// link.
TEST_F(PairingWindowTest, TheLinkIsCopiedWhole) {
    const std::string longLink =
        "kestrava://pair?v=1&u=https%3A%2F%2Frelay.example.com&d=" + std::string(60, 'd') +
        "&s=" + std::string(43, 's') + "&n=M%C3%A1y";
    newWindow([&](test::ScriptedPairingService& service) {
        service.window =
            app::AgentClient::PairingWindow{longLink, wallClockNow() + 300s, views.client->liveConnection()};
    });
    window->show();
    shown();
    auto* link = visible<app::ui::SelectableLine>("link");
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->fullText().toStdString(), longLink);
    EXPECT_TRUE(link->shownText().contains(QStringLiteral("…")));
    link->selectAll();
    link->copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), longLink);

    QGuiApplication::clipboard()->clear();
    EXPECT_EQ(visible<QPushButton>("copy")->text(), uiText("Sao chép liên kết"));
    const int fieldWidth = link->width();
    click("copy");
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), longLink);
    test::runQtUntil([] { return false; }, {}, 1200ms); // one tick: the countdown moves, the button stays
    EXPECT_EQ(visible<QPushButton>("copy")->text(), uiText("Đã sao chép"));
    EXPECT_EQ(link->width(), fieldWidth);

    auto* panel = visible<app::QRPanel>("qrPanel");
    panel->render(longLink, QStringLiteral("4:00"));
    EXPECT_EQ(visible<QPushButton>("copy")->text(), uiText("Đã sao chép"));
    panel->render("kestrava://pair?v=1&d=dev-2", QStringLiteral("4:59"));
    EXPECT_EQ(visible<QPushButton>("copy")->text(), uiText("Sao chép liên kết"));
    EXPECT_EQ(link->fullText(), QStringLiteral("kestrava://pair?v=1&d=dev-2"));
}

// A phone's name shows as written, never as markup, on the card and in the result's title; the texts that
// would name a Mac say "máy tính" instead.
TEST_F(PairingWindowTest, NamesShowAsWrittenAndTheTextsSpeakOfTheComputer) {
    for (const QString& name : {QStringLiteral("<b>X</b><br><img src=x>"), QStringLiteral("**X**")}) {
        SCOPED_TRACE(name.toStdString());
        views.agentHolds({}, std::nullopt);
        newWindow();
        window->show();
        shown();
        views.agentHolds({}, waiting(name.toStdString()));
        EXPECT_EQ(visible<app::ui::ElidingLabel>("requestLine")->fullText(),
                  QStringLiteral("“%1” muốn theo dõi và điều khiển máy tính này.").arg(name));
        click("allow");
        EXPECT_EQ(shown().title, uiText("Đã ghép %1").arg(name));
        EXPECT_EQ(visible<QLabel>("outcomeTitle")->textFormat(), Qt::PlainText);
        EXPECT_EQ(visible<QLabel>("outcomeDetail")->text(),
                  QStringLiteral("iPhone này giờ đã xem và điều khiển được máy tính."));
    }

    views.agentHolds(phones(5), std::nullopt);
    newWindow();
    window->show();
    EXPECT_EQ(shown().title, uiText("Đã đủ 5 iPhone"));
    EXPECT_EQ(visible<QLabel>("outcomeDetail")->text(),
              QStringLiteral(
                  "Mỗi máy tính ghép được tối đa 5 iPhone. Gỡ bớt một iPhone trong Cài đặt rồi thử lại."));
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

// The window grows with the desktop's font as its text does, on a screen with room for it; on a screen too
// low for it the window fits the screen and its content scrolls.
TEST_F(PairingWindowTest, FitsItsScreenAtAnyFont) {
    if (const auto missing = test::whyTheThreeScreensAreMissing()) {
        GTEST_SKIP() << *missing;
    }
    test::ApplicationFont font;
    const struct {
        int fontPx;
        const char* screen;
        bool scrolls;
    } rows[] = {{24, "netbook", true}, {18, "desktop", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.fontPx) + " px on the " + row.screen + " screen");
        font.setPixelSize(row.fontPx);
        newWindow();
        const QScreen* screen = test::placeOnScreen(*window, row.screen);
        ASSERT_TRUE(screen);
        window->show();
        ASSERT_TRUE(test::runQtUntil([&] { return visible<QWidget>("qrPanel") != nullptr; }));
        EXPECT_LE(window->frameGeometry().height(), screen->availableGeometry().height());
        const auto* scroll = window->findChild<QScrollArea*>();
        ASSERT_TRUE(scroll);
        EXPECT_EQ(scroll->verticalScrollBar()->maximum() > 0, row.scrolls);
        window->close();
    }
}

} // namespace
} // namespace kestrava
