#include "app/async/QtScheduler.hpp"

#include <QMetaObject>
#include <QTimer>

namespace kestrava::app {

Timer QtScheduler::after(Clock::duration delay, std::function<void()> work) {
    auto armed = std::make_shared<bool>(true);
    const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(delay);
    // Precise below a second or so: the back-off and debounce waits are short and meant to the millisecond.
    QTimer::singleShot(milliseconds,
                       milliseconds <= std::chrono::seconds(1) ? Qt::PreciseTimer : Qt::CoarseTimer,
                       &context_, [armed, work = std::move(work)] {
                           if (*armed) {
                               *armed = false;
                               work();
                           }
                       });
    return Timer(std::move(armed));
}

void QtScheduler::post(std::function<void()> work) {
    QMetaObject::invokeMethod(&context_, std::move(work), Qt::QueuedConnection);
}

} // namespace kestrava::app
