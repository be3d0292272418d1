#include "agent-core/control/XPCCoding.hpp"

#include "platform/json/DecodeError.hpp"

namespace kestrava::XPCCoding {

std::string encode(const std::vector<PhoneInfo>& phones) {
    json::Array array;
    array.reserve(phones.size());
    for (const PhoneInfo& phone : phones) {
        array.emplace_back(phone.encode());
    }
    return json::write(std::move(array), writeOptions);
}

template<>
std::vector<PhoneInfo> decode<std::vector<PhoneInfo>>(std::string_view bytes) {
    const json::Value value = json::parse(bytes);
    const json::Array* array = value.asArray();
    if (!array) {
        throw json::DecodeError(json::DecodeError::Kind::typeMismatch, {},
                                "Expected to decode an array but found another value instead.");
    }
    std::vector<PhoneInfo> phones;
    phones.reserve(array->size());
    for (const json::Value& element : *array) {
        phones.push_back(
            PhoneInfo::decode(json::ObjectReader(element, {"Index " + std::to_string(phones.size())})));
    }
    return phones;
}

} // namespace kestrava::XPCCoding
