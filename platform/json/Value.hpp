#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace kestrava::json {

class Value;
struct Member;

using Array = std::vector<Value>;

// A number keeps the text it was read from (or written as), so that the reader can apply the
// integer rules to the exact literal.
struct Number {
    std::string text;
    bool operator==(const Number&) const = default;
};

// Members in the order they were added or read; a repeated key keeps its first value on lookup.
class Object {
public:
    // Defined below, where Member is complete.
    Object();
    Object(const Object&);
    Object(Object&&) noexcept;
    Object& operator=(const Object&);
    Object& operator=(Object&&) noexcept;
    ~Object();

    Object& add(std::string key, Value value) &;
    // On a temporary, so that a chain of adds moves its result out rather than copying it.
    Object&& add(std::string key, Value value) &&;
    const Value* find(std::string_view key) const;
    const std::vector<Member>& members() const noexcept { return members_; }
    bool operator==(const Object&) const;

private:
    std::vector<Member> members_;
};

class Value {
public:
    using Storage = std::variant<std::nullptr_t, bool, Number, std::string, Array, Object>;

    Value() : storage_(nullptr) {}
    Value(std::nullptr_t) : storage_(nullptr) {}
    template<std::same_as<bool> B>
    Value(B boolean) : storage_(boolean) {}
    Value(std::string text) : storage_(std::move(text)) {}
    Value(std::string_view text) : storage_(std::string(text)) {}
    Value(const char* text) : storage_(std::string(text)) {}
    Value(Number number) : storage_(std::move(number)) {}
    Value(Array array) : storage_(std::move(array)) {}
    Value(Object object) : storage_(std::move(object)) {}

    static Value integer(std::int64_t value);
    // Shortest round-trip digits in fixed notation, with no trailing ".0" (1e12 is "1000000000000").
    static Value real(double value);

    bool isNull() const noexcept { return std::holds_alternative<std::nullptr_t>(storage_); }
    const bool* asBool() const noexcept { return std::get_if<bool>(&storage_); }
    const Number* asNumber() const noexcept { return std::get_if<Number>(&storage_); }
    const std::string* asString() const noexcept { return std::get_if<std::string>(&storage_); }
    const Array* asArray() const noexcept { return std::get_if<Array>(&storage_); }
    const Object* asObject() const noexcept { return std::get_if<Object>(&storage_); }

    const Storage& storage() const noexcept { return storage_; }
    bool operator==(const Value&) const = default;

private:
    Storage storage_;
};

struct Member {
    std::string key;
    Value value;
    bool operator==(const Member&) const = default;
};

inline Object::Object() = default;
inline Object::Object(const Object&) = default;
inline Object::Object(Object&&) noexcept = default;
inline Object& Object::operator=(const Object&) = default;
inline Object& Object::operator=(Object&&) noexcept = default;
inline Object::~Object() = default;

} // namespace kestrava::json
