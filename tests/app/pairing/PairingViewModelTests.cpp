#include "app/async/OneShot.hpp"
#include "app/pairing/PairingViewModel.hpp"
#include "app/runtime/UiText.hpp"
#include "tests/app-support/QtLoop.hpp"
#include "tests/app-support/Started.hpp"
#include "tests/app-support/VirtualScheduler.hpp"

#include <gtest/gtest.h>

#include <deque>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using app::AgentClientError;
using app::AgentResult;
using Model = app::PairingViewModel;
using Window = app::AgentClient::PairingWindow;

const Timestamp start = timestampFromSeconds(1'800'000'000);

// Answers a service call from those given in advance, or makes it wait for the next one given.
template<class T>
class Answers {
public:
    explicit Answers(app::Scheduler& scheduler) : scheduler_(scheduler) {}

    QCoro::Task<T> next() {
        if (!ready_.empty()) {
            T value = ready_.front();
            ready_.pop_front();
            co_return value;
        }
        const auto shot = std::make_shared<app::OneShot<T>>(scheduler_);
        waiting_.push_back(shot);
        T value = co_await *shot;
        co_return value;
    }

    void give(T value) {
        if (waiting_.empty()) {
            ready_.push_back(std::move(value));
            return;
        }
        const auto shot = waiting_.front();
        waiting_.pop_front();
        shot->resolve(std::move(value));
    }

    std::size_t waiting() const { return waiting_.size(); }

private:
    app::Scheduler& scheduler_;
    std::deque<T> ready_;
    std::deque<std::shared_ptr<app::OneShot<T>>> waiting_;
};

class FakePairingService final : public app::PairingService {
public:
    explicit FakePairingService(app::Scheduler& scheduler)
        : opens(scheduler), decisions(scheduler), lists(scheduler) {}

    QCoro::Task<AgentResult<Window>> openPairing() override {
        calls.push_back("open");
        return opens.next();
    }
    QCoro::Task<AgentResult<void>> cancelPairing() override {
        calls.push_back("cancel");
        co_return AgentResult<void>{};
    }
    QCoro::Task<AgentResult<PairingOutcome>> decide(std::string requestId, bool approve) override {
        calls.push_back("decide " + requestId + (approve ? " yes" : " no"));
        return decisions.next();
    }
    QCoro::Task<AgentResult<std::vector<PhoneInfo>>> phones() override {
        calls.push_back("phones");
        return lists.next();
    }

    long count(const std::string& call) const { return std::count(calls.begin(), calls.end(), call); }

    Answers<AgentResult<Window>> opens;
    Answers<AgentResult<PairingOutcome>> decisions;
    Answers<AgentResult<std::vector<PhoneInfo>>> lists;
    std::vector<std::string> calls;
};

PendingPairingInfo request(std::string id, std::string name = "Lan", Timestamp expires = start + 300s) {
    return {std::move(id), std::move(name), "123456", millisecondsSince1970(expires)};
}

class PairingViewModelTest : public testing::Test {
protected:
    PairingViewModelTest() { test::ensureQtApplication(); }
    ~PairingViewModelTest() override {
        while (service->opens.waiting() > 0) {
            service->opens.give(AgentClientError::timeout());
        }
        while (service->decisions.waiting() > 0) {
            service->decisions.give(AgentClientError::timeout());
        }
        while (service->lists.waiting() > 0) {
            service->lists.give(AgentClientError::timeout());
        }
        scheduler.runPosted();
    }

    std::shared_ptr<Model> makeModel() {
        auto made = Model::make(service, attempts, [this] { return now; });
        made->currentPending = [this] { return pending; };
        made->currentPhones = [this] { return phones; };
        made->onApproved = [this] { ++approvals; };
        return made;
    }

    void run(QCoro::Task<> task) {
        const test::Started started(std::move(task));
        scheduler.runPosted();
    }

    // Opens an attempt on `on` and lets the agent answer with a window until start + 300 s.
    void showQR(Model& on, int phoneCount = 0) {
        service->opens.give(Window{"kestrava://pair?v=1", start + 300s, 1});
        run(on.open(phoneCount, pending));
        ASSERT_TRUE(std::holds_alternative<Model::ShowingQR>(on.phase()));
    }

    // Shows the card of request `id` on `on`.
    void showCard(Model& on, const std::string& id = "req-1") {
        showQR(on);
        on.observe(request(id));
        ASSERT_TRUE(std::holds_alternative<Model::Approving>(on.phase()));
    }

    test::VirtualScheduler scheduler;
    std::shared_ptr<FakePairingService> service = std::make_shared<FakePairingService>(scheduler);
    std::shared_ptr<app::PairingAttempts> attempts = std::make_shared<app::PairingAttempts>();
    Timestamp now = start;
    std::optional<PendingPairingInfo> pending;
    std::vector<PhoneInfo> phones;
    int approvals = 0;
    std::shared_ptr<Model> model = makeModel();
};

TEST(ApproveCard, NamesCodesAndDeadlines) {
    const QString forty = QString(40, u'a');
    EXPECT_EQ(app::cutPhoneName(forty), forty);
    EXPECT_EQ(app::cutPhoneName(QString(41, u'a')), QString(39, u'a') + QChar(0x2026));
    EXPECT_EQ(app::cutPhoneName(QString(37, u'a') + QStringLiteral("  bcd")),
              QString(37, u'a') + QChar(0x2026));
    // Characters as the user sees them: "ệ" written as e + two combining marks counts once.
    const QString composed = QString::fromUtf8("e\u0323\u0302");
    EXPECT_EQ(app::cutPhoneName(composed.repeated(40)), composed.repeated(40));
    EXPECT_EQ(app::cutPhoneName(composed.repeated(41)), composed.repeated(39) + QChar(0x2026));

    const std::vector<std::pair<QString, QString>> codes{
        {"123456", "123 456"},
        {"12345", "12345"},
        {"1234567", "1234567"},
        {"12a456", "12a456"},
        {QString::fromUtf8("١٢٣٤٥٦"), QString::fromUtf8("١٢٣٤٥٦")}};
    for (const auto& [code, shown] : codes) {
        EXPECT_EQ(app::groupedCode(code), shown) << code.toStdString();
    }

    EXPECT_EQ(app::ApproveViewModel(request("r", "Lan", start + 300s), start).deadline, start + 110s);
    EXPECT_EQ(app::ApproveViewModel(request("r", "Lan", start + 30s), start).deadline, start + 30s);
}

TEST_F(PairingViewModelTest, TheCountdownRoundsUp) {
    showQR(*model);
    const std::vector<std::pair<std::chrono::milliseconds, QString>> table{
        {300s - 61500ms, "1:02"}, {-1s, "5:01"}, {300s - 200ms, "0:01"}, {301s, "0:00"}};
    for (const auto& [elapsed, shown] : table) {
        now = start + elapsed;
        model->observe(std::nullopt);
        EXPECT_EQ(model->countdown(), shown);
    }
    now = start;
    model->observe(request("req-1"));
    EXPECT_EQ(model->countdown(), QStringLiteral("0:00"));
}

// Opening: the phone limit, the request that was already waiting, a failure, and late answers of an
// attempt that was closed meanwhile.
TEST_F(PairingViewModelTest, OpeningAnAttempt) {
    run(model->open(5, std::nullopt));
    EXPECT_EQ(model->phase(), Model::Phase(Model::LimitReached{}));
    EXPECT_TRUE(service->calls.empty());

    pending = request("old");
    showQR(*model, 4);
    EXPECT_TRUE(std::holds_alternative<Model::ShowingQR>(model->phase())); // the waiting request is ignored
    model->observe(request("old"));
    EXPECT_TRUE(std::holds_alternative<Model::ShowingQR>(model->phase()));
    model->observe(request("new"));
    EXPECT_TRUE(std::holds_alternative<Model::Approving>(model->phase()));

    service->opens.give(AgentClientError::unavailable());
    run(model->open(0, std::nullopt));
    EXPECT_EQ(model->phase(), Model::Phase(Model::Failed{app::uiText("Không kết nối được agent")}));

    // Closed while opening: the late window is withdrawn; a late failure is dropped.
    service->calls.clear();
    run(model->open(0, std::nullopt));
    run(model->close());
    service->opens.give(Window{"kestrava://pair?v=1", start + 300s, 1});
    scheduler.runPosted();
    EXPECT_EQ(model->phase(), Model::Phase(Model::Idle{}));
    EXPECT_EQ(service->calls, (std::vector<std::string>{"open", "cancel", "cancel"}));
    run(model->open(0, std::nullopt));
    run(model->close());
    service->opens.give(AgentClientError::timeout());
    scheduler.runPosted();
    EXPECT_EQ(model->phase(), Model::Phase(Model::Idle{}));
    EXPECT_EQ(service->count("cancel"), 3);
}

// The card's life: the request vanishing, the deadline passing, and the decision.
TEST_F(PairingViewModelTest, TheCardEndsInAResult) {
    const auto denied = [](PairingDenial denial) {
        return Model::Phase(Model::Result{{app::PairingResult::Denied{denial}}});
    };
    showCard(*model);
    model->observe(std::nullopt);
    EXPECT_EQ(model->phase(), denied(PairingDenial::notPending));

    showCard(*model);
    now = start + 110s;
    model->observe(request("other"));
    EXPECT_EQ(model->phase(), denied(PairingDenial::expired));

    now = start;
    showCard(*model);
    now = start + 110s;
    run(model->tick());
    EXPECT_EQ(model->phase(), denied(PairingDenial::expired));

    now = start;
    showCard(*model);
    now = start + 110s;
    run(model->decide(true));
    EXPECT_EQ(model->phase(), denied(PairingDenial::expired));
    EXPECT_EQ(service->count("decide req-1 yes"), 0);

    now = start;
    showCard(*model);
    service->decisions.give(PairingOutcome{PairingOutcome::Denied{PairingDenial::phoneLimit}});
    run(model->decide(false));
    EXPECT_EQ(model->phase(), denied(PairingDenial::phoneLimit));
    run(model->decide(true)); // no card: nothing
    EXPECT_EQ(service->count("decide req-1 yes"), 0);

    showCard(*model);
    const test::Started deciding(model->decide(true));
    scheduler.runPosted();
    EXPECT_TRUE(model->isBusy());
    service->decisions.give(PairingOutcome{PairingOutcome::Approved{"phone-7"}});
    scheduler.runPosted();
    EXPECT_EQ(model->phase(), Model::Phase(Model::Result{{app::PairingResult::Approved{"Lan"}}}));
    EXPECT_EQ(approvals, 1);
    EXPECT_EQ(std::get<Model::Result>(model->phase()).result.title(), app::uiText("Đã ghép %1").arg("Lan"));
}

// A lost answer to an approval is settled by a phone that appeared since, under the card's name; a lost
// denial, a phone known before, or one paired earlier settles nothing.
TEST_F(PairingViewModelTest, ALostDecisionIsSettledOnlyByANewPhone) {
    const auto phoneNamed = [](std::string id, Timestamp pairedAt) {
        return PhoneInfo{std::move(id), "Lan", pairedAt, std::nullopt};
    };
    phones = {phoneNamed("known", start - 1h)};
    struct Row {
        std::string what;
        bool approve;
        std::vector<PhoneInfo> listed;
        bool approved;
    };
    const std::vector<Row> table{
        {"a new phone under the name",
         true,
         {phoneNamed("known", start - 1h), phoneNamed("new", start)},
         true},
        {"only the phone known before", true, {phoneNamed("known", start - 1h)}, false},
        {"a phone paired before the decision", true, {phoneNamed("other", start - 5s)}, false},
        {"a lost denial", false, {phoneNamed("new", start)}, false},
    };
    for (const auto& row : table) {
        approvals = 0;
        showCard(*model);
        service->decisions.give(AgentClientError::timeout());
        service->lists.give(row.listed);
        run(model->decide(row.approve));
        EXPECT_EQ(std::holds_alternative<Model::Result>(model->phase()), row.approved) << row.what;
        EXPECT_EQ(approvals, row.approved ? 1 : 0) << row.what;
        if (!row.approved) {
            EXPECT_TRUE(std::holds_alternative<Model::DecisionUnknown>(model->phase())) << row.what;
        }
    }
    EXPECT_EQ(service->count("phones"), 3); // not after the denial
}

// The QR code runs out at its expiry (one cancel), when the agent closed its window (none), and when
// another attempt took the window over (none).
TEST_F(PairingViewModelTest, AQRCodeRunsOut) {
    showQR(*model);
    now = start + 300s;
    run(model->tick());
    EXPECT_EQ(model->phase(), Model::Phase(Model::Expired{}));
    EXPECT_EQ(service->count("cancel"), 1);

    int closedOn = 0;
    model->windowClosedByAgent = [&](int connection) { return connection == closedOn; };
    now = start;
    showQR(*model);
    model->agentChanged();
    EXPECT_TRUE(std::holds_alternative<Model::ShowingQR>(model->phase()));
    closedOn = 1;
    model->agentChanged();
    EXPECT_EQ(model->phase(), Model::Phase(Model::Expired{}));
    run(model->close());
    EXPECT_EQ(service->count("cancel"), 1);
}

// One attempt of the application owns the agent's window: a model superseded by another shows its code
// as run out and never cancels the other's window.
TEST_F(PairingViewModelTest, OnlyTheCurrentAttemptTouchesTheWindow) {
    const auto other = makeModel();
    showQR(*model);
    showQR(*other);
    run(model->tick());
    EXPECT_EQ(model->phase(), Model::Phase(Model::Expired{}));
    run(model->close());
    EXPECT_EQ(service->count("cancel"), 0);

    // A closed model's late window, after a newer open: left alone.
    run(model->open(0, std::nullopt));
    run(model->close());
    EXPECT_EQ(service->count("cancel"), 1);
    run(other->open(0, std::nullopt));
    service->opens.give(Window{"kestrava://pair?v=1", start + 300s, 1}); // the closed model's
    scheduler.runPosted();
    EXPECT_EQ(service->count("cancel"), 1);
    service->opens.give(Window{"kestrava://pair?v=2", start + 300s, 1});
    scheduler.runPosted();
    EXPECT_TRUE(std::holds_alternative<Model::ShowingQR>(other->phase()));

    // Alone, a model cancels as before: on closing while busy, not on closing a result.
    run(other->close());
    EXPECT_EQ(service->count("cancel"), 2);
    showCard(*other);
    service->decisions.give(PairingOutcome{PairingOutcome::Denied{PairingDenial::userDenied}});
    run(other->decide(false));
    run(other->close());
    EXPECT_EQ(service->count("cancel"), 2);
}

} // namespace
} // namespace kestrava
