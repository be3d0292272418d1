#include "platform/json/Reader.hpp"
#include "platform/json/Writer.hpp"
#include "protocol-kit/StatusSnapshot.hpp"

#include <gtest/gtest.h>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

StatusSnapshot sample(Timestamp bootTime) {
    return StatusSnapshot{3600, bootTime, 42, false, -1, true, false, true, "0.1.1"};
}

StatusSnapshot roundTrip(const StatusSnapshot& snapshot) {
    return StatusSnapshot::decode(json::ObjectReader(json::parse(json::write(snapshot.encode(), {}))));
}

TEST(StatusSnapshot, BootTimeIsWholeSecondsRoundedDown) {
    EXPECT_EQ(json::write(sample(Timestamp(100900ms)).encode(), {}),
              R"({"uptimeSec":3600,"bootTime":100,"freeMemPct":42,"sleepSafe":false,"pmsetSleep":-1,)"
              R"("onACPower":true,"isLaptop":false,"hasFullDiskAccess":true,"agentVersion":"0.1.1"})");
    const json::Object negative = sample(Timestamp(-500ms)).encode();
    EXPECT_EQ(*negative.find("bootTime"), json::Value::integer(-1));

    const StatusSnapshot fractional = sample(timestampFromSeconds(1700000000) + 250ms);
    EXPECT_NE(roundTrip(fractional), fractional);
    EXPECT_EQ(roundTrip(fractional).bootTime, timestampFromSeconds(1700000000));
    const StatusSnapshot whole = sample(timestampFromSeconds(1700000000));
    EXPECT_EQ(roundTrip(whole), whole);
}

TEST(StatusSnapshot, EveryKeyIsRequiredAndBootTimeIsAnInteger) {
    const json::Object complete = sample(timestampFromSeconds(5)).encode();
    for (const json::Member& left : complete.members()) {
        json::Object partial;
        for (const json::Member& member : complete.members()) {
            if (member.key != left.key) {
                partial.add(member.key, member.value);
            }
        }
        EXPECT_THROW(StatusSnapshot::decode(json::ObjectReader(partial)), json::DecodeError) << left.key;
    }
    const auto withBootTime = [&](json::Value bootTime) {
        json::Object changed;
        for (const json::Member& member : complete.members()) {
            changed.add(member.key, member.key == "bootTime" ? bootTime : member.value);
        }
        return StatusSnapshot::decode(json::ObjectReader(changed));
    };
    EXPECT_THROW(withBootTime("100"), json::DecodeError);
    EXPECT_THROW(withBootTime(json::Number{"100.5"}), json::DecodeError);
    // Beyond what a time stamp can hold.
    EXPECT_THROW(withBootTime(json::Value::integer(INT64_MAX)), json::DecodeError);
    EXPECT_EQ(withBootTime(json::Number{"100.0"}).bootTime, timestampFromSeconds(100));
}

} // namespace
} // namespace kestrava
