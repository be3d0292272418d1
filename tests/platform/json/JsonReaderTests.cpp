#include "platform/json/ObjectReader.hpp"
#include "platform/json/Reader.hpp"
#include "platform/json/Writer.hpp"
#include "tests/support/Thrown.hpp"

#include <gtest/gtest.h>

namespace kestrava::json {
namespace {

template<class Action>
DecodeError::Kind decodeFailureKind(Action&& action) {
    return test::thrownBy<DecodeError>(action).value().kind();
}

TEST(JsonReader, RefusesTextThatIsNotStrictJson) {
    for (const char* text : {"", "{", "{} x", "{\"a\":1,}", "[1 2]", "{'a':1}", "// c\n{}", "{\"a\":01}",
                             "\"\xC3\x28\"", "\"\xED\xA0\x80\"", "\"\\ud800\"", "NaN", "\"a\nb\""}) {
        EXPECT_EQ(decodeFailureKind([&] { parse(text); }), DecodeError::Kind::dataCorrupted) << text;
    }
    EXPECT_NO_THROW(parse("\xEF\xBB\xBF {\"a\" : [1, 2.5e3, null]} \n"));
    EXPECT_EQ(*parse("\"\\ud83d\\ude00\\u0000\"").asString(), std::string("\xF0\x9F\x98\x80") + '\0');
}

TEST(JsonReader, NestingIsLimitedWithoutExhaustingTheStack) {
    EXPECT_NO_THROW(parse(std::string(maxDepth, '[') + std::string(maxDepth, ']')));
    EXPECT_EQ(
        decodeFailureKind([] { parse(std::string(maxDepth + 1, '[') + std::string(maxDepth + 1, ']')); }),
        DecodeError::Kind::dataCorrupted);
    EXPECT_EQ(decodeFailureKind([] { parse(std::string(1 << 20, '[')); }), DecodeError::Kind::dataCorrupted);
}

TEST(JsonReader, FirstDuplicateKeyWinsAndReadsBackWhatWasWritten) {
    const Value value = parse(R"({"t":"e2e","t":"phones","n":1,"s":"a\/b"})");
    const ObjectReader reader(value);
    EXPECT_EQ(reader.string("t"), "e2e");
    EXPECT_EQ(reader.string("s"), "a/b");
    Object object;
    object.add("x", "\x01/\"").add("y", Array{Value::integer(-5), true, nullptr});
    EXPECT_EQ(parse(write(object, {})), Value(object));
}

TEST(ObjectReader, TellsMissingNullAndMistypedMembersApart) {
    const Value value = parse(R"({"n":null,"s":"x","i":7,"o":{"deep":"y"}})");
    const ObjectReader reader(value, {"outer"});
    EXPECT_EQ(decodeFailureKind([&] { reader.string("absent"); }), DecodeError::Kind::keyNotFound);
    EXPECT_EQ(decodeFailureKind([&] { reader.string("n"); }), DecodeError::Kind::valueNotFound);
    EXPECT_EQ(decodeFailureKind([&] { reader.int64("s"); }), DecodeError::Kind::typeMismatch);
    EXPECT_EQ(decodeFailureKind([&] { reader.boolean("i"); }), DecodeError::Kind::typeMismatch);
    EXPECT_EQ(decodeFailureKind([] { ObjectReader(parse("[]")); }), DecodeError::Kind::typeMismatch);
    EXPECT_EQ(reader.optionalString("n"), std::nullopt);
    EXPECT_EQ(reader.optionalString("absent"), std::nullopt);
    EXPECT_EQ(reader.optionalString("s"), "x");
    EXPECT_EQ(decodeFailureKind([&] { reader.optionalString("i"); }), DecodeError::Kind::typeMismatch);
    try {
        reader.object("o").int64("deep");
        FAIL();
    } catch (const DecodeError& error) {
        EXPECT_EQ(error.codingPath(), (std::vector<std::string>{"outer", "o", "deep"}));
        EXPECT_EQ(error.key(), "deep");
    }
}

TEST(ObjectReader, IntegersTakeExactValuesInRange) {
    const Value value = parse(R"({"a":34.0,"b":1e2,"c":100.5,"d":9223372036854775807,"e":9223372036854775808,
        "f":-9223372036854775808,"g":2147483647,"h":2147483648,"i":-2147483649,"j":1e300,"k":-0.0})");
    const ObjectReader reader(value);
    EXPECT_EQ(reader.int64("a"), 34);
    EXPECT_EQ(reader.int64("b"), 100);
    EXPECT_EQ(decodeFailureKind([&] { reader.int64("c"); }), DecodeError::Kind::dataCorrupted);
    EXPECT_EQ(reader.int64("d"), INT64_MAX);
    EXPECT_EQ(decodeFailureKind([&] { reader.int64("e"); }), DecodeError::Kind::dataCorrupted);
    EXPECT_EQ(reader.int64("f"), INT64_MIN);
    EXPECT_EQ(reader.int32("g"), INT32_MAX);
    EXPECT_EQ(decodeFailureKind([&] { reader.int32("h"); }), DecodeError::Kind::dataCorrupted);
    EXPECT_EQ(decodeFailureKind([&] { reader.int32("i"); }), DecodeError::Kind::dataCorrupted);
    EXPECT_EQ(decodeFailureKind([&] { reader.int64("j"); }), DecodeError::Kind::dataCorrupted);
    EXPECT_EQ(reader.int64("k"), 0);
    EXPECT_DOUBLE_EQ(reader.number("c"), 100.5);
}

TEST(ObjectReader, StringArraysKeepOrderAndDuplicates) {
    const Value value = parse(R"({"ids":["b","a","b"],"empty":[],"mixed":["a",1]})");
    const ObjectReader reader(value);
    EXPECT_EQ(reader.stringArray("ids"), (std::vector<std::string>{"b", "a", "b"}));
    EXPECT_TRUE(reader.stringArray("empty").empty());
    EXPECT_EQ(decodeFailureKind([&] { reader.stringArray("mixed"); }), DecodeError::Kind::typeMismatch);
}

} // namespace
} // namespace kestrava::json
