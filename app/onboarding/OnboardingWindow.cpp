#include "app/onboarding/OnboardingWindow.hpp"

#include "app/onboarding/LiveOnboardingEnvironment.hpp"
#include "app/onboarding/OnboardingSummaryView.hpp"
#include "app/onboarding/StatusLine.hpp"
#include "app/onboarding/StepAgentView.hpp"
#include "app/onboarding/StepFDAView.hpp"
#include "app/onboarding/StepIndicator.hpp"
#include "app/onboarding/StepPairView.hpp"
#include "app/onboarding/StepPowerView.hpp"
#include "app/runtime/UiText.hpp"
#include "app/ui/Buttons.hpp"
#include "app/ui/Discard.hpp"
#include "app/ui/Divider.hpp"
#include "app/ui/FitToScreen.hpp"
#include "app/ui/WindowSize.hpp"

#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>

namespace kestrava::app {
namespace {

// The window's size at the body text the interface is laid out for.
constexpr QSize windowSize(620, 660);

QPushButton* footerButton(const QString& text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

OnboardingContent::OnboardingContent(std::shared_ptr<OnboardingFlow> flow, std::shared_ptr<AppState> state,
                                     std::shared_ptr<PairingService> pairing, QWidget* parent)
    : QWidget(parent), flow_(std::move(flow)), state_(std::move(state)), pairing_(std::move(pairing)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* indicator = new StepIndicator(flow_, this);
    indicator->setContentsMargins(24, 18, 24, 14);
    layout->addWidget(indicator);
    layout->addWidget(ui::divider(this));
    scroll_ = ui::verticalScrollArea(nullptr, this);
    layout->addWidget(scroll_, 1);
    layout->addWidget(ui::divider(this));

    auto* footer = new QWidget(this);
    auto* row = new QHBoxLayout(footer);
    row->setContentsMargins(20, 12, 20, 12);
    back_ = footerButton(uiText("Quay lại"), "back", footer);
    skip_ = footerButton(uiText("Bỏ qua"), "skip", footer);
    next_ = footerButton(uiText("Tiếp"), "next", footer);
    finish_ = footerButton(uiText("Hoàn tất"), "finish", footer);
    ui::makeProminent(next_);
    ui::makeProminent(finish_);
    row->addWidget(back_);
    row->addStretch();
    row->addWidget(skip_);
    row->addWidget(next_);
    row->addWidget(finish_);
    layout->addWidget(footer);

    // Each press starts the flow's operation and leaves it to run.
    connect(back_, &QPushButton::clicked, this, [this] { flow_->back(); });
    connect(skip_, &QPushButton::clicked, this, [this] { flow_->skip(); });
    connect(next_, &QPushButton::clicked, this, [this] { flow_->next(); });
    connect(finish_, &QPushButton::clicked, this, [this] { flow_->finish(); });
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this,
                &OnboardingContent::pressDefault);
    }

    connect(flow_.get(), &OnboardingFlow::changed, this, &OnboardingContent::render);
    flow_->refreshFacts();
    render();
}

OnboardingContent::~OnboardingContent() {
    if (poll_) {
        poll_->cancel();
    }
}

void OnboardingContent::render() {
    const bool moved = shownStep_ != flow_->step();
    if (moved) {
        showStep();
    }
    const OnboardingStep step = flow_->step();
    const StepState state = flow_->state(step);
    if (!moved && shownState_ != state) {
        revealStatus();
    }
    shownState_ = state;
    const bool summary = step == OnboardingStep::summary;
    back_->setVisible(step != OnboardingStep::agent);
    skip_->setVisible(!summary && !state.is(StepState::Kind::done));
    skip_->setEnabled(!state.is(StepState::Kind::working));
    next_->setVisible(!summary);
    next_->setEnabled(flow_->canContinue());
    finish_->setVisible(summary);
}

// A new page and a new poll for the step now shown; the old step's poll ends.
void OnboardingContent::showStep() {
    shownStep_ = flow_->step();
    if (poll_) {
        poll_->cancel();
    }
    poll_ = std::make_shared<CancelToken>();
    flow_->poll(poll_);

    auto* holder = new QWidget;
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(24, 24, 24, 24);
    switch (*shownStep_) {
    case OnboardingStep::agent:
        page_ = new StepAgentView(flow_, holder);
        break;
    case OnboardingStep::power:
        page_ = new StepPowerView(flow_, holder);
        break;
    case OnboardingStep::fda:
        page_ = new StepFDAView(flow_, holder);
        break;
    case OnboardingStep::pair:
        page_ = new StepPairView(flow_, state_, pairing_, holder);
        break;
    case OnboardingStep::summary:
        page_ = new OnboardingSummaryView(flow_, holder);
        break;
    }
    layout->addWidget(page_);
    layout->addStretch();
    // The step may change in a click on the old page's own button: that page goes once the click is over.
    if (QWidget* old = scroll_->takeWidget()) {
        old->setParent(this); // out of the scroll area, still in this window until it goes
        ui::discardLater(old);
    }
    scroll_->setWidget(holder);
}

// What an action brought (its outcome, an error) is said in the page's last status line: once the page has
// laid it out, it is scrolled into view where the window is too low to show the whole page.
void OnboardingContent::revealStatus() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!page_) {
                return;
            }
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            const auto lines = page_->findChildren<StatusLine*>();
            const auto shown = std::find_if(lines.rbegin(), lines.rend(),
                                            [this](StatusLine* line) { return line->isVisibleTo(page_); });
            if (shown != lines.rend()) {
                scroll_->ensureWidgetVisible(*shown);
            }
        },
        Qt::QueuedConnection);
}

void OnboardingContent::pressDefault() {
    for (QPushButton* button : {next_, finish_}) {
        if (button->isVisible() && button->isEnabled()) {
            button->click();
            return;
        }
    }
}

OnboardingWindow::OnboardingWindow(std::shared_ptr<AppState> state, Scheduler& scheduler,
                                   MakeEnvironment makeEnvironment, std::shared_ptr<PairingService> pairing,
                                   QWidget* parent)
    : QWidget(parent), state_(std::move(state)), scheduler_(scheduler),
      makeEnvironment_(std::move(makeEnvironment)), pairing_(std::move(pairing)) {
    setWindowTitle(uiText("Hướng dẫn Kestrava"));
    ui::keepFitting(*this, [this] { ui::fixSizeOnScreen(*this, ui::grownWithFont(windowSize)); });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
}

void OnboardingWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (flow_) {
        return;
    }
    OnboardingEnvironment environment =
        makeEnvironment_ ? makeEnvironment_() : liveOnboardingEnvironment(state_);
    const std::weak_ptr<AppState> weakState = state_;
    const QPointer<OnboardingWindow> window = this;
    flow_ = OnboardingFlow::make(std::move(environment), scheduler_, [weakState, window] {
        if (const auto state = weakState.lock()) {
            state->setOnboardingDone(true);
        }
        if (window) {
            window->close();
        }
    });
    content_ = new OnboardingContent(flow_, state_, pairing_, this);
    layout()->addWidget(content_);
}

void OnboardingWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A window minimised is still open; only a window that goes away ends its guide.
    if (event->spontaneous()) {
        return;
    }
    if (content_) {
        ui::discardLater(content_);
    }
    flow_.reset();
}

} // namespace kestrava::app
