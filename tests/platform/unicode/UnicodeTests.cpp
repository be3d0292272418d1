#include "platform/unicode/Unicode.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace kestrava;
using Ends = std::vector<std::size_t>;

TEST(Unicode, ClassifiesControlAndUnassignedCodePoints) {
    for (const char32_t control :
         {U'\0', U'\n', U'\x7F', U'\x85', U'\xAD', U'\x200B', U'\x200D', U'\xFEFF', U'\U000E0041'}) {
        EXPECT_TRUE(unicode::isControl(control)) << std::hex << static_cast<std::uint32_t>(control);
    }
    for (const char32_t other : {U'a', U' ', U'\xE9', U'\x2028', U'\xFFFD', U'\x378'}) {
        EXPECT_FALSE(unicode::isControl(other)) << std::hex << static_cast<std::uint32_t>(other);
    }
    for (const char32_t unassigned : {U'\x378', U'\xFDD0', U'\xFFFF', U'\U0010FFFF'}) {
        EXPECT_TRUE(unicode::isUnassigned(unassigned)) << std::hex << static_cast<std::uint32_t>(unassigned);
    }
    // Assigned after Unicode 3.2 (U+1FAE0 in 14.0), private use, and plain letters are assigned.
    for (const char32_t assigned : {U'a', U'\x20AC', U'\U0001FAE0', U'\xE000', U'\n'}) {
        EXPECT_FALSE(unicode::isUnassigned(assigned)) << std::hex << static_cast<std::uint32_t>(assigned);
    }
}

TEST(Unicode, FindsExtendedGraphemeClusterEnds) {
    EXPECT_EQ(unicode::graphemeEnds(""), Ends{});
    EXPECT_EQ(unicode::graphemeEnds("ab"), (Ends{1, 2}));
    EXPECT_EQ(unicode::graphemeEnds("e\u0301x"), (Ends{3, 4}));
    EXPECT_EQ(unicode::graphemeEnds("\r\n\n"), (Ends{2, 3}));
    EXPECT_EQ(unicode::graphemeEnds("\U0001F468\u200D\U0001F469\u200D\U0001F467"), Ends{18});
    EXPECT_EQ(unicode::graphemeEnds("\U0001F1EB\U0001F1F7\U0001F1E9\U0001F1EA"), (Ends{8, 16}));
    EXPECT_EQ(unicode::graphemeEnds("\u1100\u1161\u11A8"), Ends{9}); // one Hangul syllable in jamo
}

TEST(Unicode, DecodesWithOneReplacementPerMaximalIllFormedSubpart) {
    EXPECT_EQ(unicode::scalarsOf("a\u00E9\U0001F600"), U"a\u00E9\U0001F600");
    EXPECT_EQ(unicode::scalarsOf(std::string("a\0b", 3)), std::u32string(U"a\0b", 3));
    EXPECT_EQ(unicode::scalarsOf("\xE2\x82"), U"\uFFFD"); // truncated sequence
    EXPECT_EQ(unicode::scalarsOf("\xE2\x82"
                                 "a"),
              U"\uFFFDa");                                                // cut short by an ASCII byte
    EXPECT_EQ(unicode::scalarsOf("\xF1\x80\x80"), U"\uFFFD");             // truncated four-byte sequence
    EXPECT_EQ(unicode::scalarsOf("\xC0\xAF"), U"\uFFFD\uFFFD");           // overlong
    EXPECT_EQ(unicode::scalarsOf("\xED\xA0\x80"), U"\uFFFD\uFFFD\uFFFD"); // surrogate
    EXPECT_EQ(unicode::scalarsOf("\xF4\x90\x80\x80"), U"\uFFFD\uFFFD\uFFFD\uFFFD"); // past U+10FFFF
    EXPECT_EQ(unicode::scalarsOf("\x80\xBF"
                                 "b\xFF"),
              U"\uFFFD\uFFFDb\uFFFD");
}

TEST(Unicode, AppendsUtf8ThatDecodesBack) {
    const std::u32string scalars = U"\x7F\x80\x7FF\x800\xFFFF\U00010000\U0010FFFF";
    std::string text;
    for (const char32_t scalar : scalars) {
        unicode::appendUtf8(text, scalar);
    }
    EXPECT_EQ(text, "\x7F\u0080\u07FF\u0800\uFFFF\U00010000\U0010FFFF");
    EXPECT_EQ(unicode::scalarsOf(text), scalars);
}

} // namespace
