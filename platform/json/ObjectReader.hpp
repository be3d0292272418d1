#pragma once

#include "platform/json/DecodeError.hpp"
#include "platform/json/Value.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrava::json {

// Reads the members of one JSON object by key. Required members that are missing fail with
// keyNotFound, null ones with valueNotFound, ones of another JSON type with typeMismatch; optional
// members that are missing or null are absent. Integers take any number whose value is an exact
// integer within the target's range. Keys that nobody asks for are ignored.
class ObjectReader {
public:
    // Fails with typeMismatch when `value` is not an object.
    explicit ObjectReader(const Value& value, std::vector<std::string> codingPath = {});

    std::string string(std::string_view key) const;
    std::optional<std::string> optionalString(std::string_view key) const;
    bool boolean(std::string_view key) const;
    std::optional<bool> optionalBoolean(std::string_view key) const;
    std::int64_t int64(std::string_view key) const;
    std::optional<std::int64_t> optionalInt64(std::string_view key) const;
    std::int32_t int32(std::string_view key) const;
    std::optional<std::int32_t> optionalInt32(std::string_view key) const;
    double number(std::string_view key) const;
    std::optional<double> optionalNumber(std::string_view key) const;
    std::vector<std::string> stringArray(std::string_view key) const;
    ObjectReader object(std::string_view key) const;

    // The required, non-null value at `key`, for callers that decode it themselves.
    const Value& value(std::string_view key) const;

    [[noreturn]] void dataCorrupted(std::string_view key, const std::string& description) const;

    const std::vector<std::string>& codingPath() const noexcept { return codingPath_; }

private:
    const Value* present(std::string_view key) const;
    std::vector<std::string> pathTo(std::string_view key) const;

    const Object* object_;
    std::vector<std::string> codingPath_;
};

} // namespace kestrava::json
