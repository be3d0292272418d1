#include "platform/encoding/Utf8.hpp"

#include <gtest/gtest.h>

#include <string_view>

using namespace std::string_literals;

namespace {

TEST(Utf8, AcceptsEveryWellFormedBoundary) {
    for (const std::string& text : {""s, "plain ASCII"s, "\0"s, "a\0b"s,
                                    "\xC2\x80"s,         // U+0080
                                    "\xDF\xBF"s,         // U+07FF
                                    "\xE0\xA0\x80"s,     // U+0800
                                    "\xED\x9F\xBF"s,     // U+D7FF, last before the surrogates
                                    "\xEE\x80\x80"s,     // U+E000, first after them
                                    "\xEF\xB7\x90"s,     // U+FDD0, noncharacter
                                    "\xEF\xBF\xBF"s,     // U+FFFF, noncharacter
                                    "\xF0\x90\x80\x80"s, // U+10000
                                    "\xF4\x8F\xBF\xBF"s, // U+10FFFF
                                    "B\xC3\xB9i \xF0\x9F\x98\x80"s}) {
        EXPECT_TRUE(kestrava::utf8::isValid(text)) << testing::PrintToString(text);
    }
}

TEST(Utf8, RefusesIllFormedSequences) {
    for (const std::string_view text : {
             "\x80",             // lone continuation
             "\xBF",             // lone continuation
             "\xC0\x80",         // overlong NUL
             "\xC1\xBF",         // overlong U+007F
             "\xE0\x80\x80",     // overlong U+0000
             "\xE0\x9F\xBF",     // overlong U+07FF
             "\xED\xA0\x80",     // surrogate U+D800
             "\xED\xBF\xBF",     // surrogate U+DFFF
             "\xF0\x80\x80\x80", // overlong U+0000
             "\xF0\x8F\xBF\xBF", // overlong U+FFFF
             "\xF4\x90\x80\x80", // U+110000
             "\xF5\x80\x80\x80", // lead byte past U+10FFFF
             "\xF8\x88\x80\x80\x80",
             "\xFE",
             "\xFF",
             "\xC3",             // truncated
             "\xE2\x82",         // truncated
             "\xF0\x9F\x98",     // truncated
             "ok\xC3",           // truncated at the end
             "\xC3\x28",         // second byte not a continuation
             "\xE2\x28\xA1",     // second byte not a continuation
             "\xE2\x82\x28",     // third byte not a continuation
             "\xF0\x90\x28\xBC", // third byte not a continuation
             "\xF0\x90\x80\x28", // fourth byte not a continuation
         }) {
        EXPECT_FALSE(kestrava::utf8::isValid(text)) << testing::PrintToString(std::string(text));
    }
}

} // namespace
