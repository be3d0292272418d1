#pragma once

#include "app/onboarding/OnboardingFlow.hpp"

#include <QPointer>
#include <QWidget>
#include <memory>

class QVBoxLayout;

namespace kestrava::app {

// A page of the first-run guide that shows the flow as it stands: its content is made anew whenever the
// flow changes. The old content goes once the event that changed the flow has been handled, since that
// may be a click on one of its own buttons. Interface thread.
class StepPage : public QWidget {
    Q_OBJECT

public:
    const std::shared_ptr<OnboardingFlow>& flow() const noexcept { return flow_; }

protected:
    StepPage(std::shared_ptr<OnboardingFlow> flow, QWidget* parent);

    // The page's content for the flow as it is now.
    virtual QWidget* build() = 0;
    // Shows what `build` makes now; the derived page calls it once it is complete, and the flow's changes
    // call it again.
    void rebuild();

    // A column of the page's elements: no margins, the given spacing.
    static QVBoxLayout* column(QWidget* holder, int spacing);
    // A holder for what stands under the header, indented to line up with the header's title.
    static QWidget* indented(QWidget* parent, int spacing, QVBoxLayout** layout);

private:
    const std::shared_ptr<OnboardingFlow> flow_;
    QPointer<QWidget> content_;
};

} // namespace kestrava::app
