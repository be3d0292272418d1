#include "agent-core/PairedPhonesJSON.hpp"

#include "agent-core/control/PhoneInfo.hpp"
#include "agent-core/control/XPCCoding.hpp"

#include <vector>

namespace kestrava {

std::optional<std::string> pairedPhonesJSON(const StateStore& state) {
    std::vector<PhoneInfo> phones;
    for (const PairedPhone& phone : state.phones()) {
        phones.push_back(PhoneInfo{phone.phoneId, phone.name, phone.pairedAt, phone.lastUsed});
    }
    return XPCCoding::encodeOrNone(phones);
}

} // namespace kestrava
