#include "agent-core/runtime/Sanitize.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using kestrava::sanitize;

const std::string ellipsis = "\u2026";

std::string repeated(std::string_view unit, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += unit;
    }
    return text;
}

TEST(Sanitize, EscapesControlFormatAndUnassignedCharacters) {
    EXPECT_EQ(sanitize("", 80), "");
    EXPECT_EQ(sanitize("a\nb", 80), "a\\u{A}b");
    EXPECT_EQ(sanitize(std::string("\t\x1B\x7F\0", 4), 80), "\\u{9}\\u{1B}\\u{7F}\\u{0}");
    EXPECT_EQ(sanitize("zero\u200Bwidth", 80), "zero\\u{200B}width");
    EXPECT_EQ(sanitize("\u0378\uFFFF\U000E0041", 80), "\\u{378}\\u{FFFF}\\u{E0041}");
    // A ZWJ sequence falls apart into its emoji and the escaped joiners.
    EXPECT_EQ(sanitize("\U0001F468\u200D\U0001F469\u200D\U0001F467", 80),
              "\U0001F468\\u{200D}\U0001F469\\u{200D}\U0001F467");
    // Characters newer than Unicode 3.2, and ordinary non-ASCII text, stay as they are.
    EXPECT_EQ(sanitize("\U0001FAE0 B\u00F9i \u20AC", 80), "\U0001FAE0 B\u00F9i \u20AC");
}

TEST(Sanitize, RepairsInvalidUtf8) {
    EXPECT_EQ(sanitize("a\xFF"
                       "b",
                       80),
              "a\uFFFDb");
    EXPECT_EQ(sanitize("\xE2\x82", 80), "\uFFFD");
    EXPECT_EQ(sanitize("\xED\xA0\x80!", 80), "\uFFFD\uFFFD\uFFFD!");
}

TEST(Sanitize, CutsAfterMaxCharactersOfTheSafeForm) {
    EXPECT_EQ(sanitize(repeated("a", 79), 80), repeated("a", 79));
    EXPECT_EQ(sanitize(repeated("a", 80), 80), repeated("a", 80) + ellipsis);
    EXPECT_EQ(sanitize(repeated("a", 500), 80), repeated("a", 80) + ellipsis);
    EXPECT_EQ(sanitize(repeated("a", 75) + "\n", 80), repeated("a", 75) + "\\u{A}" + ellipsis);
    EXPECT_EQ(sanitize(repeated("a", 74) + "\n", 80), repeated("a", 74) + "\\u{A}");
    // An escape that crosses the limit is cut inside.
    EXPECT_EQ(sanitize(repeated("a", 78) + "\nb", 80), repeated("a", 78) + "\\u" + ellipsis);
    EXPECT_EQ(sanitize("\x1B", 3), "\\u{" + ellipsis);
    EXPECT_EQ(sanitize("x", 0), ellipsis);
}

TEST(Sanitize, CountsUserPerceivedCharacters) {
    // A combining mark joins its base letter: 79 accented letters are 79 characters.
    const std::string accented = "e\u0301";
    EXPECT_EQ(sanitize(repeated(accented, 79), 80), repeated(accented, 79));
    // The count reaches 80 with the 80th base letter; its mark is never looked at.
    EXPECT_EQ(sanitize(repeated(accented, 81), 80), repeated(accented, 79) + "e" + ellipsis);
    const std::string flag = "\U0001F1EB\U0001F1F7";
    EXPECT_EQ(sanitize(repeated(flag, 3), 2), flag + "\U0001F1EB" + ellipsis);
}

TEST(Sanitize, HandlesOneHugeClusterInLinearTime) {
    // Re-counting after every scalar would take hours here.
    const std::string cluster = "a" + repeated("\u0301", 400'000); // 800 KB, one character
    EXPECT_EQ(sanitize(cluster, 80), cluster);
    EXPECT_EQ(sanitize(cluster + repeated("b", 100), 80), cluster + repeated("b", 79) + ellipsis);
}

} // namespace
