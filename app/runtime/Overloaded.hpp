#pragma once

namespace kestrava::app {

// One visitor made of several lambdas, each taking the cases it names: `std::visit(Overloaded{…}, value)`.
template<class... Cases>
struct Overloaded : Cases... {
    using Cases::operator()...;
};

} // namespace kestrava::app
