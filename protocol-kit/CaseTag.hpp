#pragma once

#include "platform/json/ObjectReader.hpp"
#include "platform/json/Value.hpp"

#include <string>

namespace kestrava {

// Tagged variants carry their case name under "t", beside the case's own members.
inline constexpr const char* caseTagKey = "t";

// An object that so far holds only the case name.
inline json::Object taggedObject(const char* tag) {
    json::Object object;
    object.add(caseTagKey, tag);
    return object;
}

// A "t" that names no case of the family.
[[noreturn]] inline void failUnknownCase(const json::ObjectReader& reader, const std::string& tag) {
    reader.dataCorrupted(caseTagKey, "unknown t " + tag);
}

} // namespace kestrava
