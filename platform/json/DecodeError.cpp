#include "platform/json/DecodeError.hpp"

namespace kestrava::json {

DecodeError::DecodeError(Kind kind, std::vector<std::string> codingPath, const std::string& description)
    : std::runtime_error(description), kind_(kind), codingPath_(std::move(codingPath)) {}

std::string DecodeError::key() const {
    return codingPath_.empty() ? std::string() : codingPath_.back();
}

} // namespace kestrava::json
