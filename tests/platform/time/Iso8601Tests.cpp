#include "platform/time/Iso8601.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

using namespace kestrava;
using namespace std::chrono_literals;

TEST(Iso8601, FormatsUtcWholeSecondsRoundedDownWhateverTheTimeZone) {
    setenv("TZ", "KTM-5:45", 1); // local time 5:45 ahead, so any local-time slip shows
    tzset();
    EXPECT_EQ(iso8601::format(Timestamp{}), "1970-01-01T00:00:00Z");
    EXPECT_EQ(iso8601::format(Timestamp{-500ms}), "1969-12-31T23:59:59Z");
    EXPECT_EQ(iso8601::format(timestampFromSeconds(1709251199) + 999999999ns), "2024-02-29T23:59:59Z");
    EXPECT_EQ(iso8601::format(timestampFromSeconds(4102444800)), "2100-01-01T00:00:00Z");
    unsetenv("TZ");
    tzset();
}

TEST(Iso8601, ParsesZuluAndNumericOffsets) {
    EXPECT_EQ(iso8601::parse("1970-01-01T00:00:00Z"), Timestamp{});
    EXPECT_EQ(iso8601::parse("1969-12-31T23:59:59Z"), timestampFromSeconds(-1));
    EXPECT_EQ(iso8601::parse("2024-02-29T23:59:59Z"), timestampFromSeconds(1709251199));
    EXPECT_EQ(iso8601::parse("2000-02-29T12:00:00Z"), timestampFromSeconds(951825600));
    EXPECT_EQ(iso8601::parse("2024-03-01T05:44:59+05:45"), timestampFromSeconds(1709251199));
    EXPECT_EQ(iso8601::parse("2024-02-29T22:29:59-0130"), timestampFromSeconds(1709251199));
    EXPECT_EQ(iso8601::parse("2024-02-29T23:59:59+00:00"), timestampFromSeconds(1709251199));
    const Timestamp now = timestampFromSeconds(wholeSecondsSince1970(wallClockNow()));
    EXPECT_EQ(iso8601::parse(iso8601::format(now)), now);
}

TEST(Iso8601, RefusesFractionsOtherFormsAndOutOfRangeFields) {
    for (const char* text : {
             "",
             "2024-02-29T23:59:59",
             "2024-02-29T23:59:59.5Z",
             "2024-02-29T23:59:59,5Z",
             "2024-02-29t23:59:59Z",
             "2024-02-29T23:59:59z",
             "2024-02-29 23:59:59Z",
             "2024-02-29T23:59:59Z ",
             " 2024-02-29T23:59:59Z",
             "20240229T235959Z",
             "2024-2-29T23:59:59Z",
             "+2024-02-29T23:59:59Z",
             "2024-02-29T23:59:59+5:00",
             "2024-02-29T23:59:59+05",
             "2024-02-29T23:59:59+05:00:00",
             "2024-02-29T23:59:59+24:00",
             "2024-02-29T23:59:59+05:60",
             "2024-02-29T23:59:59+05-00",
             "2023-02-29T00:00:00Z",
             "1900-02-29T00:00:00Z",
             "2024-04-31T00:00:00Z",
             "2024-13-01T00:00:00Z",
             "2024-00-01T00:00:00Z",
             "2024-01-00T00:00:00Z",
             "2024-01-01T24:00:00Z",
             "2024-01-01T00:60:00Z",
             "2024-01-01T00:00:60Z",
             "2024-01-01T0a:00:00Z",
             "9999-12-31T23:59:59Z", // past what a nanosecond time stamp holds
         }) {
        EXPECT_EQ(iso8601::parse(text), std::nullopt) << text;
    }
}

} // namespace
