#include "app/pairing/PairingView.hpp"

#include "agent-core/control/PhoneLimit.hpp"
#include "app/pairing/ApproveSheet.hpp"
#include "app/pairing/Outcome.hpp"
#include "app/pairing/QRPanel.hpp"
#include "app/runtime/UiText.hpp"
#include "app/ui/BusyIndicator.hpp"
#include "app/ui/Buttons.hpp"
#include "app/ui/Discard.hpp"
#include "app/ui/Divider.hpp"
#include "app/ui/Palette.hpp"

#include <QFrame>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace kestrava::app {
namespace {

using Model = PairingViewModel;

// A link as long as the agent's, for the screen that holds the place of the QR code.
constexpr char sizeReferenceLink[] =
    "kestrava://pair?v=1&u=https%3A%2F%2Frelay.kestrava.example&d=00000000-0000-0000-0000-000000000000"
    "&s=0000000000000000000000000000000000000000000&n=Kestrava";

// "Đang mở phiên ghép…" with a spinner, in the middle of the place the QR code will take.
QWidget* openingScreen(QWidget* parent) {
    auto* screen = new QWidget(parent);
    screen->setObjectName(QStringLiteral("openingScreen"));
    auto* layout = new QVBoxLayout(screen);
    layout->addWidget(new ui::BusyIndicator(ui::BusyIndicator::Size::regular, screen), 0, Qt::AlignHCenter);
    auto* label = new QLabel(uiText("Đang mở phiên ghép…"), screen);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("color: %1;").arg(ui::css(ui::secondary())));
    layout->addWidget(label);
    return screen;
}

// A closing screen and, when there is one, the button that starts again.
struct OutcomeScreen {
    QWidget* widget;
    Outcome* outcome;
    QPushButton* again;
};

OutcomeScreen outcomeScreen(QWidget* parent) {
    auto* widget = new QWidget(parent);
    widget->setObjectName(QStringLiteral("outcomeScreen"));
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* outcome = new Outcome(widget);
    layout->addWidget(outcome, 0, Qt::AlignHCenter);
    auto* again = new QPushButton(widget);
    again->setObjectName(QStringLiteral("again"));
    again->setAutoDefault(false);
    layout->addWidget(again, 0, Qt::AlignHCenter);
    return {widget, outcome, again};
}

} // namespace

PairingView::PairingView(std::shared_ptr<AppState> state, Context context, std::function<void()> onApproved,
                         std::function<void()> done, std::shared_ptr<PairingService> service, QWidget* parent)
    : QWidget(parent), state_(std::move(state)), context_(context), onApproved_(std::move(onApproved)),
      done_(std::move(done)),
      service_(service ? std::move(service) : std::make_shared<AgentPairingService>(state_->sharedClient())) {
    setObjectName(QStringLiteral("pairingView"));
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(18);
    auto* slot = new QWidget(this);
    slot_ = new QStackedLayout(slot);
    // Never shown: it holds the place of the tallest screen, so that the view keeps one height from the
    // first screen to the last and no screen is pressed into less than it needs.
    auto* sizeReference = new QRPanel(context_ == Context::window, slot);
    sizeReference->setObjectName(QStringLiteral("sizeReference"));
    QSizePolicy counted = sizeReference->sizePolicy();
    counted.setRetainSizeWhenHidden(true);
    sizeReference->setSizePolicy(counted);
    sizeReference->render(sizeReferenceLink, QStringLiteral("4:59"));
    slot_->addWidget(sizeReference);
    layout_->addWidget(slot);
    place(openingScreen(this));

    footer_ = new QWidget(this);
    auto* footerLayout = new QVBoxLayout(footer_);
    footerLayout->setContentsMargins(0, 0, 0, 0);
    footerLayout->addWidget(ui::divider(footer_));
    auto* row = new QHBoxLayout;
    row->addStretch();
    footerButton_ = new QPushButton(footer_);
    footerButton_->setObjectName(QStringLiteral("footerButton"));
    footerButton_->setAutoDefault(false);
    row->addWidget(footerButton_);
    footerLayout->addLayout(row);
    layout_->addWidget(footer_);
    // Its place is kept while the card hides it, so the window keeps its height.
    QSizePolicy kept = footer_->sizePolicy();
    kept.setRetainSizeWhenHidden(done_ != nullptr);
    footer_->setSizePolicy(kept);
    footer_->setVisible(false);
    connect(footerButton_, &QPushButton::clicked, this, [this] {
        if (done_) {
            done_();
        }
    });
    cancelKey_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    doneKey_ = new QShortcut(QKeySequence(Qt::Key_Return), this);
    for (QShortcut* key : {cancelKey_, doneKey_}) {
        key->setEnabled(false);
        connect(key, &QShortcut::activated, footerButton_, &QPushButton::click);
    }

    ticker_.setInterval(1000);
    connect(&ticker_, &QTimer::timeout, this, [this] {
        if (model_) {
            model_->tick();
        }
    });
    connect(state_.get(), &AppState::pendingPairingChanged, this, [this] {
        if (model_) {
            model_->observe(state_->pendingPairing());
        }
    });
    connect(state_.get(), &AppState::changed, this, [this] {
        if (model_) {
            model_->agentChanged();
            render();
        }
    });
}

PairingView::~PairingView() {
    leave();
}

void PairingView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (model_) {
        return;
    }
    model_ = PairingViewModel::make(service_, state_->pairingAttempts());
    const std::weak_ptr<AppState> weakState = state_;
    const QPointer<PairingView> view(this);
    model_->onApproved = [view, weakState] {
        if (view && view->onApproved_) {
            view->onApproved_();
        }
        if (const auto state = weakState.lock()) {
            state->refresh();
        }
    };
    model_->currentPending = [weakState] {
        const auto state = weakState.lock();
        return state ? state->pendingPairing() : std::nullopt;
    };
    model_->currentPhones = [weakState] {
        const auto state = weakState.lock();
        return state ? state->phones() : std::vector<PhoneInfo>{};
    };
    // The agent closes its window when monitoring pauses or when the connection that opened it ends.
    model_->windowClosedByAgent = [weakState](int connection) {
        const auto state = weakState.lock();
        if (!state) {
            return false;
        }
        const auto& status = state->status();
        const bool paused =
            status && (status->monitoringPaused ||
                       std::holds_alternative<ConnectionState::Paused>(status->connection.value));
        return paused || state->client().liveConnection() != connection;
    };
    connect(model_.get(), &PairingViewModel::changed, this, &PairingView::render);
    startPairing();
    model_->tick();
    ticker_.start();
    render();
}

void PairingView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A window minimised is still open; only a view that goes away ends its attempt.
    if (!event->spontaneous()) {
        leave();
    }
}

void PairingView::leave() {
    ticker_.stop();
    if (const auto model = std::exchange(model_, nullptr)) {
        disconnect(model.get(), nullptr, this, nullptr);
        model->close();
    }
}

void PairingView::startPairing() {
    if (model_) {
        model_->open(phoneCount(), state_->pendingPairing());
    }
}

void PairingView::render() {
    if (!model_) {
        return;
    }
    renderScreen();
    renderFooter();
}

void PairingView::renderScreen() {
    const Model::Phase& phase = model_->phase();
    const bool rebuild = phase.index() != screenPhase_;
    if (rebuild) {
        // Later: the screen may be in the middle of one of its own buttons' clicks.
        ui::discardLater(screen_->parentWidget());
        screen_ = nullptr;
        screenPhase_ = phase.index();
    }
    const auto restart = [this] { startPairing(); };

    if (std::holds_alternative<Model::Idle>(phase) || std::holds_alternative<Model::Opening>(phase)) {
        if (rebuild) {
            place(openingScreen(this));
        }
    } else if (const auto* qr = std::get_if<Model::ShowingQR>(&phase)) {
        if (rebuild) {
            place(new QRPanel(context_ == Context::window, this));
        }
        static_cast<QRPanel*>(screen_)->render(qr->qr, model_->countdown());
    } else if (std::holds_alternative<Model::Approving>(phase) ||
               std::holds_alternative<Model::Deciding>(phase)) {
        if (rebuild) {
            auto* sheet = new ApproveSheet(this);
            const std::weak_ptr<PairingViewModel> weakModel = model_;
            connect(sheet, &ApproveSheet::decided, this, [weakModel](bool approve) {
                if (const auto model = weakModel.lock()) {
                    model->decide(approve);
                }
            });
            place(sheet);
        }
        auto* sheet = static_cast<ApproveSheet*>(screen_);
        if (const auto* approving = std::get_if<Model::Approving>(&phase)) {
            sheet->render(approving->card, model_->now(), std::nullopt);
        } else {
            const auto& deciding = std::get<Model::Deciding>(phase);
            sheet->render(deciding.card, model_->now(), deciding.approve);
        }
    } else {
        OutcomeScreen screen{};
        if (rebuild) {
            screen = outcomeScreen(this);
            connect(screen.again, &QPushButton::clicked, this, restart);
            place(screen.widget);
        } else {
            screen = {screen_, screen_->findChild<Outcome*>(), screen_->findChild<QPushButton*>("again")};
        }
        const bool roomForMore = phoneCount() < maxPairedPhones;
        QString again;
        bool prominent = false;
        if (const auto* result = std::get_if<Model::Result>(&phase)) {
            const bool approved = result->result.approved();
            screen.outcome->render(
                approved ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("xmark.octagon.fill"),
                approved ? ui::green() : ui::red(), result->result.title(), result->result.detail());
            again = roomForMore ? (approved ? uiText("Ghép iPhone khác") : uiText("Thử lại")) : QString();
        } else if (std::holds_alternative<Model::DecisionUnknown>(phase)) {
            screen.outcome->render(
                QStringLiteral("questionmark.circle.fill"), ui::orange(),
                uiText("Không rõ kết quả — kiểm tra danh sách iPhone"),
                uiText("Agent không trả lời kịp. Nếu iPhone đã có trong danh sách thì việc ghép đã xong."));
            again = roomForMore ? uiText("Thử lại") : QString();
        } else if (const auto* failed = std::get_if<Model::Failed>(&phase)) {
            screen.outcome->render(QStringLiteral("exclamationmark.triangle.fill"), ui::red(),
                                   uiText("Không mở được phiên ghép"), failed->message);
            again = uiText("Thử lại");
        } else if (std::holds_alternative<Model::Expired>(phase)) {
            screen.outcome->render(QStringLiteral("clock.badge.exclamationmark"), ui::orange(),
                                   uiText("Mã QR đã hết hạn"), uiText("Mã chỉ dùng được trong 5 phút."));
            again = uiText("Tạo mã mới");
            prominent = true;
        } else {
            screen.outcome->render(
                QStringLiteral("iphone.slash"), ui::orange(), uiText("Đã đủ 5 iPhone"),
                uiText("Mỗi Mac ghép được tối đa 5 iPhone. Gỡ bớt một iPhone trong Cài đặt rồi thử lại."));
        }
        screen.again->setText(again);
        screen.again->setVisible(!again.isEmpty());
        if (rebuild && prominent) {
            ui::makeProminent(screen.again);
        }
    }
}

void PairingView::place(QWidget* screen) {
    screen_ = screen;
    auto* holder = new QWidget(slot_->parentWidget());
    auto* centred = new QVBoxLayout(holder);
    centred->setContentsMargins(0, 0, 0, 0);
    centred->addStretch();
    centred->addWidget(screen);
    centred->addStretch();
    slot_->addWidget(holder);
    slot_->setCurrentWidget(holder);
}

void PairingView::renderFooter() {
    const Model::Phase& phase = model_->phase();
    const bool onCard =
        std::holds_alternative<Model::Approving>(phase) || std::holds_alternative<Model::Deciding>(phase);
    const bool shown = done_ && !onCard;
    footer_->setVisible(shown);
    const bool busy = model_->isBusy();
    footerButton_->setText(busy ? uiText("Hủy") : uiText("Xong"));
    cancelKey_->setEnabled(shown && busy);
    doneKey_->setEnabled(shown && !busy);
}

} // namespace kestrava::app
