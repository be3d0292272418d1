#pragma once

#include <QCoro/QCoroTask>
#include <memory>
#include <optional>
#include <utility>

namespace kestrava::test {

// A task started by a test, whose result the test reads once it has ended.
template<class T>
class Started {
public:
    explicit Started(QCoro::Task<T> task) : result_(std::make_shared<std::optional<T>>()) {
        keep(std::move(task), result_);
    }

    bool done() const { return result_->has_value(); }
    const T& result() const { return result_->value(); }

private:
    static QCoro::Task<> keep(QCoro::Task<T> task, std::shared_ptr<std::optional<T>> result) {
        result->emplace(co_await task);
    }

    std::shared_ptr<std::optional<T>> result_;
};

// A task with no result: only whether it has ended.
template<>
class Started<void> {
public:
    explicit Started(QCoro::Task<> task) : done_(std::make_shared<bool>(false)) {
        keep(std::move(task), done_);
    }

    bool done() const { return *done_; }

private:
    static QCoro::Task<> keep(QCoro::Task<> task, std::shared_ptr<bool> done) {
        co_await task;
        *done = true;
    }

    std::shared_ptr<bool> done_;
};

} // namespace kestrava::test
