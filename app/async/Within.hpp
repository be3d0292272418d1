#pragma once

#include "app/async/OneShot.hpp"
#include "app/async/Scheduler.hpp"

#include <QCoro/QCoroTask>
#include <memory>
#include <optional>

namespace kestrava::app {

namespace detail {

template<class T>
QCoro::Task<> deliver(QCoro::Task<T> task, std::shared_ptr<OneShot<std::optional<T>>> shot) {
    T value = co_await task;
    shot->resolve(std::move(value));
}

} // namespace detail

// The task's result, or none when `limit` passes first. The task is not stopped: it runs on, and what it
// gives later is dropped.
template<class T>
QCoro::Task<std::optional<T>> within(Scheduler& scheduler, Scheduler::Clock::duration limit,
                                     QCoro::Task<T> task) {
    const auto shot = std::make_shared<OneShot<std::optional<T>>>(scheduler);
    shot->setTimer(scheduler.after(limit, [shot] { shot->resolve(std::nullopt); }));
    detail::deliver(std::move(task), shot);
    std::optional<T> result = co_await *shot;
    co_return result;
}

} // namespace kestrava::app
