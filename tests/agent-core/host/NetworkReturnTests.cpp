#include "agent-core/host/NetworkReturn.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace kestrava {
namespace {

// Reports in, returns out: only a satisfied report after an unsatisfied one is the network's return.
TEST(NetworkReturn, OnlySatisfiedAfterUnsatisfiedCounts) {
    const std::vector<std::pair<std::vector<bool>, std::vector<bool>>> table{
        {{true}, {false}},
        {{false}, {false}},
        {{false, true}, {false, true}},
        {{true, false, true}, {false, false, true}},
        {{true, true, false, false, true, true}, {false, false, false, false, true, false}},
    };
    for (const auto& [reports, returns] : table) {
        NetworkReturn network;
        std::vector<bool> seen;
        for (const bool satisfied : reports) {
            seen.push_back(network.report(satisfied));
        }
        EXPECT_EQ(seen, returns);
    }
}

} // namespace
} // namespace kestrava
