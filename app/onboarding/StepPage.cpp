#include "app/onboarding/StepPage.hpp"

#include "app/onboarding/StepHeader.hpp"
#include "app/ui/Discard.hpp"

#include <QVBoxLayout>

namespace kestrava::app {
StepPage::StepPage(std::shared_ptr<OnboardingFlow> flow, QWidget* parent)
    : QWidget(parent), flow_(std::move(flow)) {
    column(this, 0);
    connect(flow_.get(), &OnboardingFlow::changed, this, &StepPage::rebuild);
}

void StepPage::rebuild() {
    if (content_) {
        ui::discardLater(content_);
    }
    content_ = build();
    layout()->addWidget(content_);
}

QVBoxLayout* StepPage::column(QWidget* holder, int spacing) {
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QWidget* StepPage::indented(QWidget* parent, int spacing, QVBoxLayout** layout) {
    auto* holder = new QWidget(parent);
    *layout = column(holder, spacing);
    (*layout)->setContentsMargins(headerIndent, 0, 0, 0);
    return holder;
}

} // namespace kestrava::app
