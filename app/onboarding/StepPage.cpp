#include "app/onboarding/StepPage.hpp"

#include <QVBoxLayout>

namespace kestrava::app {
namespace {

// The width of the header's symbol and the space after it.
constexpr int headerIndent = 54;

} // namespace

StepPage::StepPage(std::shared_ptr<OnboardingFlow> flow, QWidget* parent)
    : QWidget(parent), flow_(std::move(flow)) {
    column(this, 0);
    connect(flow_.get(), &OnboardingFlow::changed, this, &StepPage::rebuild);
}

void StepPage::rebuild() {
    if (content_) {
        content_->hide();
        content_->deleteLater();
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
