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

} // namespace kestrava::test
