#include "platform/json/ObjectReader.hpp"

#include <charconv>
#include <cmath>
#include <limits>

namespace kestrava::json {
namespace {

const char* typeName(const Value& value) {
    if (value.isNull()) {
        return "null";
    }
    if (value.asBool()) {
        return "a boolean";
    }
    if (value.asNumber()) {
        return "a number";
    }
    if (value.asString()) {
        return "a string";
    }
    if (value.asArray()) {
        return "an array";
    }
    return "an object";
}

[[noreturn]] void mismatch(std::vector<std::string> path, const char* expected, const Value& found) {
    throw DecodeError(DecodeError::Kind::typeMismatch, std::move(path),
                      std::string("Expected to decode ") + expected + " but found " + typeName(found) +
                          " instead.");
}

// The number's value as a signed 64-bit integer: an integer literal in range, or any other literal
// whose value is exactly an integer below 2^53 in magnitude.
std::optional<std::int64_t> exactInteger(const std::string& text) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (text.find_first_of(".eE") == std::string::npos) {
        std::int64_t value = 0;
        const auto result = std::from_chars(begin, end, value);
        if (result.ec != std::errc() || result.ptr != end) {
            return std::nullopt;
        }
        return value;
    }
    double value = 0;
    const auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value) ||
        std::trunc(value) != value || std::fabs(value) >= 9007199254740992.0) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(value);
}

} // namespace

ObjectReader::ObjectReader(const Value& value, std::vector<std::string> codingPath)
    : object_(value.asObject()), codingPath_(std::move(codingPath)) {
    if (!object_) {
        mismatch(codingPath_, "a keyed object", value);
    }
}

std::vector<std::string> ObjectReader::pathTo(std::string_view key) const {
    std::vector<std::string> path = codingPath_;
    path.emplace_back(key);
    return path;
}

const Value* ObjectReader::present(std::string_view key) const {
    const Value* value = object_->find(key);
    return value && !value->isNull() ? value : nullptr;
}

const Value& ObjectReader::value(std::string_view key) const {
    const Value* value = object_->find(key);
    if (!value) {
        throw DecodeError(DecodeError::Kind::keyNotFound, pathTo(key),
                          "No value associated with key \"" + std::string(key) + "\".");
    }
    if (value->isNull()) {
        throw DecodeError(DecodeError::Kind::valueNotFound, pathTo(key),
                          "Expected a value for key \"" + std::string(key) + "\" but found null instead.");
    }
    return *value;
}

std::string ObjectReader::string(std::string_view key) const {
    const Value& v = value(key);
    if (!v.asString()) {
        mismatch(pathTo(key), "a string", v);
    }
    return *v.asString();
}

std::optional<std::string> ObjectReader::optionalString(std::string_view key) const {
    return present(key) ? std::optional(string(key)) : std::nullopt;
}

bool ObjectReader::boolean(std::string_view key) const {
    const Value& v = value(key);
    if (!v.asBool()) {
        mismatch(pathTo(key), "a boolean", v);
    }
    return *v.asBool();
}

std::optional<bool> ObjectReader::optionalBoolean(std::string_view key) const {
    return present(key) ? std::optional(boolean(key)) : std::nullopt;
}

std::int64_t ObjectReader::int64(std::string_view key) const {
    const Value& v = value(key);
    if (!v.asNumber()) {
        mismatch(pathTo(key), "an integer", v);
    }
    const std::optional<std::int64_t> integer = exactInteger(v.asNumber()->text);
    if (!integer) {
        dataCorrupted(key, "Parsed JSON number <" + v.asNumber()->text + "> does not fit in Int64.");
    }
    return *integer;
}

std::optional<std::int64_t> ObjectReader::optionalInt64(std::string_view key) const {
    return present(key) ? std::optional(int64(key)) : std::nullopt;
}

std::int32_t ObjectReader::int32(std::string_view key) const {
    const std::int64_t wide = int64(key);
    if (wide < std::numeric_limits<std::int32_t>::min() || wide > std::numeric_limits<std::int32_t>::max()) {
        dataCorrupted(key, "Parsed JSON number <" + std::to_string(wide) + "> does not fit in Int32.");
    }
    return static_cast<std::int32_t>(wide);
}

std::optional<std::int32_t> ObjectReader::optionalInt32(std::string_view key) const {
    return present(key) ? std::optional(int32(key)) : std::nullopt;
}

double ObjectReader::number(std::string_view key) const {
    const Value& v = value(key);
    if (!v.asNumber()) {
        mismatch(pathTo(key), "a number", v);
    }
    const std::string& text = v.asNumber()->text;
    double result = 0;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), result);
    if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size() || !std::isfinite(result)) {
        dataCorrupted(key, "Parsed JSON number <" + text + "> does not fit in Double.");
    }
    return result;
}

std::optional<double> ObjectReader::optionalNumber(std::string_view key) const {
    return present(key) ? std::optional(number(key)) : std::nullopt;
}

std::vector<std::string> ObjectReader::stringArray(std::string_view key) const {
    const Value& v = value(key);
    const Array* array = v.asArray();
    if (!array) {
        mismatch(pathTo(key), "an array", v);
    }
    std::vector<std::string> strings;
    strings.reserve(array->size());
    for (const Value& element : *array) {
        if (!element.asString()) {
            std::vector<std::string> path = pathTo(key);
            path.push_back("Index " + std::to_string(strings.size()));
            mismatch(std::move(path), "a string", element);
        }
        strings.push_back(*element.asString());
    }
    return strings;
}

ObjectReader ObjectReader::object(std::string_view key) const {
    return ObjectReader(value(key), pathTo(key));
}

void ObjectReader::dataCorrupted(std::string_view key, const std::string& description) const {
    throw DecodeError(DecodeError::Kind::dataCorrupted, pathTo(key), description);
}

} // namespace kestrava::json
