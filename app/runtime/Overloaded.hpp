#pragma once

namespace kestrava::app {

// One visitor made of several lambdas, each taking the cases it names: `std::visit(Overloaded{…}, value)`.
template<class... Cases>
struct Overloaded : Cases... {
    using Cases::operator()...;
};

// Spelled out: clang before 17 deduces no template arguments for an aggregate.
template<class... Cases>
Overloaded(Cases...) -> Overloaded<Cases...>;

} // namespace kestrava::app
