#include "app/onboarding/StepPairView.hpp"

#include "app/onboarding/StatusLine.hpp"
#include "app/onboarding/StepHeader.hpp"
#include "app/pairing/PairingView.hpp"
#include "app/runtime/UiText.hpp"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace kestrava::app {

StepPairView::StepPairView(std::shared_ptr<OnboardingFlow> flow, std::shared_ptr<AppState> state,
                           std::shared_ptr<PairingService> service, QWidget* parent)
    : QWidget(parent), flow_(std::move(flow)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(18);
    layout->addWidget(new StepHeader(QStringLiteral("iphone.gen3"), uiText("Ghép iPhone"),
                                     uiText("Mở Kestrava trên iPhone và quét mã QR để theo dõi Mac này."),
                                     this));
    const std::weak_ptr<OnboardingFlow> weakFlow = flow_;
    pairing_ = new PairingView(
        std::move(state), PairingView::Context::onboarding,
        [weakFlow] {
            if (const auto flow = weakFlow.lock()) {
                flow->setPairState(StepState::done());
            }
        },
        {}, std::move(service), this);
    layout->addWidget(pairing_, 0, Qt::AlignHCenter);
    paired_ = new StatusLine(StatusLine::Kind::ok, uiText("Đã ghép iPhone"), this);
    paired_->setObjectName(QStringLiteral("paired"));
    paired_->setContentsMargins(headerIndent, 0, 0, 0);
    layout->addWidget(paired_);
    connect(flow_.get(), &OnboardingFlow::changed, this, &StepPairView::render);
    render();
}

void StepPairView::render() {
    paired_->setVisible(flow_->pairState().is(StepState::Kind::done));
}

} // namespace kestrava::app
