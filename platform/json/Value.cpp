#include "platform/json/Value.hpp"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace kestrava::json {

Object& Object::add(std::string key, Value value) & {
    members_.push_back(Member{std::move(key), std::move(value)});
    return *this;
}

Object&& Object::add(std::string key, Value value) && {
    return std::move(add(std::move(key), std::move(value)));
}

const Value* Object::find(std::string_view key) const {
    for (const Member& member : members_) {
        if (member.key == key) {
            return &member.value;
        }
    }
    return nullptr;
}

bool Object::operator==(const Object& other) const {
    return members_ == other.members_;
}

Value Value::integer(std::int64_t value) {
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return Value(Number{std::string(buffer, end)});
}

Value Value::real(double value) {
    if (!std::isfinite(value)) {
        throw std::domain_error("a JSON number must be finite");
    }
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return Value(Number{std::string(buffer, result.ptr)});
}

} // namespace kestrava::json
