#pragma once

#include <cassert>
#include <optional>
#include <utility>
#include <variant>

namespace kestrava::app {

// A value or the error that came instead: how the application's asynchronous operations end. (Coroutine
// tasks that nobody awaits would drop an exception; a result is always seen by whoever reads it.)
template<class T, class E>
class Result {
public:
    Result(T value) : held_(std::in_place_index<0>, std::move(value)) {}
    Result(E error) : held_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const noexcept { return held_.index() == 0; }
    explicit operator bool() const noexcept { return ok(); }

    const T& value() const& {
        assert(ok());
        return std::get<0>(held_);
    }
    T&& value() && {
        assert(ok());
        return std::get<0>(std::move(held_));
    }
    const E& error() const {
        assert(!ok());
        return std::get<1>(held_);
    }

    bool operator==(const Result&) const = default;

private:
    std::variant<T, E> held_;
};

// Success carries nothing.
template<class E>
class Result<void, E> {
public:
    Result() = default;
    Result(E error) : error_(std::move(error)) {}

    bool ok() const noexcept { return !error_; }
    explicit operator bool() const noexcept { return ok(); }
    const E& error() const {
        assert(!ok());
        return *error_;
    }

    bool operator==(const Result&) const = default;

private:
    std::optional<E> error_;
};

} // namespace kestrava::app
