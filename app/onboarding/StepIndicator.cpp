#include "app/onboarding/StepIndicator.hpp"

#include "app/runtime/UiText.hpp"
#include "app/ui/Discard.hpp"
#include "app/ui/Palette.hpp"
#include "app/ui/Symbols.hpp"
#include "app/ui/TextLabel.hpp"
#include "app/ui/Typography.hpp"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace kestrava::app {
namespace {

// The round badge of one step.
class Badge final : public QWidget {
public:
    Badge(OnboardingStep step, bool current, bool done, QWidget* parent)
        : QWidget(parent), step_(step), current_(current), done_(done) {
        setFixedSize(ui::scaled(24), ui::scaled(24));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = ui::secondary();
        fill.setAlphaF(0.15);
        if (done_) {
            fill = ui::green();
        } else if (current_) {
            fill = ui::accent();
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawEllipse(rect());
        if (done_) {
            const int side = ui::scaled(12);
            painter.drawPixmap((width() - side) / 2, (height() - side) / 2,
                               ui::icon(QStringLiteral("checkmark"), Qt::white, side, devicePixelRatioF()));
            return;
        }
        painter.setPen(current_ ? QColor(Qt::white) : ui::secondary());
        painter.setFont(ui::sized(12, QFont::DemiBold));
        painter.drawText(rect(), Qt::AlignCenter, QString::number(static_cast<int>(step_) + 1));
    }

private:
    const OnboardingStep step_;
    const bool current_;
    const bool done_;
};

} // namespace

StepIndicator::StepIndicator(std::shared_ptr<OnboardingFlow> flow, QWidget* parent)
    : QWidget(parent), flow_(std::move(flow)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    connect(flow_.get(), &OnboardingFlow::changed, this, &StepIndicator::render);
    render();
}

QString StepIndicator::label(OnboardingStep step) {
    switch (step) {
    case OnboardingStep::agent:
        return uiText("Agent");
    case OnboardingStep::power:
        return uiText("Chống ngủ");
    case OnboardingStep::fda:
        return uiText("Full Disk Access");
    case OnboardingStep::pair:
    case OnboardingStep::summary:
        break;
    }
    return uiText("iPhone");
}

void StepIndicator::render() {
    auto* row = static_cast<QHBoxLayout*>(layout());
    while (QLayoutItem* item = row->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            ui::discardLater(widget);
        }
        delete item;
    }
    for (const OnboardingStep step : workingSteps) {
        const bool current = step == flow_->step();
        const bool done = flow_->state(step).is(StepState::Kind::done);
        auto* group = new QWidget(this);
        group->setObjectName(QStringLiteral("step%1").arg(static_cast<int>(step)));
        auto* groupRow = new QHBoxLayout(group);
        groupRow->setContentsMargins(0, 0, 0, 0);
        groupRow->setSpacing(6);
        groupRow->addWidget(new Badge(step, current, done, group));
        QLabel* name =
            ui::textLabel(label(step), ui::TextStyle::callout, group, current ? QColor() : ui::secondary());
        name->setWordWrap(false);
        name->setFont(ui::font(ui::TextStyle::callout, current ? QFont::DemiBold : QFont::Normal));
        groupRow->addWidget(name);
        row->addWidget(group);
        if (step != OnboardingStep::pair) {
            auto* line = new QFrame(this);
            QColor colour = ui::secondary();
            colour.setAlphaF(0.3);
            line->setFixedHeight(1);
            line->setStyleSheet(QStringLiteral("background: %1;").arg(ui::css(colour)));
            line->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
            row->addWidget(line, 1, Qt::AlignVCenter);
        }
    }
}

} // namespace kestrava::app
