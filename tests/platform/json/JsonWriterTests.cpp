#include "platform/json/Writer.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace kestrava::json {
namespace {

Value sample() {
    Object inner;
    inner.add("z", Value::integer(-1)).add("a", "x/y");
    Object outer;
    outer.add("t", "hello").add("b", true).add("A", nullptr).add("list", Array{Value::integer(1), "é"});
    outer.add("inner", std::move(inner));
    return outer;
}

TEST(JsonWriter, CompactKeepsInsertionOrderAndEscapesSlashByDefault) {
    EXPECT_EQ(write(sample(), {}),
              R"({"t":"hello","b":true,"A":null,"list":[1,"é"],"inner":{"z":-1,"a":"x\/y"}})");
}

TEST(JsonWriter, SortedKeysApplyAtEveryLevelByBytes) {
    const WriteOptions e2e{.sortedKeys = true, .pretty = false, .escapeSlash = false};
    EXPECT_EQ(write(sample(), e2e),
              R"({"A":null,"b":true,"inner":{"a":"x/y","z":-1},"list":[1,"é"],"t":"hello"})");
    Object keys;
    keys.add("é", Value::integer(1)).add("z", Value::integer(2)).add("Z", Value::integer(3));
    EXPECT_EQ(write(keys, e2e), R"({"Z":3,"z":2,"é":1})");
}

TEST(JsonWriter, PrettyMatchesTheFileLayout) {
    Object config;
    config.add("monitoringPaused", false)
        .add("backendURL", "https://relay.example.com")
        .add("macName", "Anna's PC");
    const WriteOptions pretty{.sortedKeys = true, .pretty = true, .escapeSlash = true};
    EXPECT_EQ(write(config, pretty), "{\n"
                                     "  \"backendURL\" : \"https:\\/\\/relay.example.com\",\n"
                                     "  \"macName\" : \"Anna's PC\",\n"
                                     "  \"monitoringPaused\" : false\n"
                                     "}");
    EXPECT_EQ(write(Object{}, pretty), "{\n\n}");
    Object nested;
    nested.add("a", Array{Value::integer(1), Value::integer(2)});
    EXPECT_EQ(write(nested, pretty), "{\n  \"a\" : [\n    1,\n    2\n  ]\n}");
}

TEST(JsonWriter, EscapesControlBytesOnlyAndCopiesTheRest) {
    const std::string text = std::string("\"\\\b\f\n\r\t") + '\0' + "\x1b\x7f\u2028é";
    EXPECT_EQ(write(Value(text), {}), "\"\\\"\\\\\\b\\f\\n\\r\\t\\u0000\\u001b\x7f\u2028é\"");
}

// What the strict reader would refuse is never written: a key or text that is not UTF-8 throws.
TEST(JsonWriter, RefusesTextThatIsNotUTF8) {
    std::vector<std::string> notUTF8{"Caf\xE9", "\xC3", "\xED\xA0\x80"};
    notUTF8.push_back(std::string(100, 'a').append("\xFF"));
    for (const std::string& bad : notUTF8) {
        EXPECT_THROW(write(Value(bad), {}), EncodeError);
        EXPECT_THROW(
            write(Object().add(bad, true), {.sortedKeys = true, .pretty = false, .escapeSlash = true}),
            EncodeError);
        EXPECT_THROW(write(Array{Value(bad)}, {}), EncodeError);
    }
}

TEST(JsonWriter, FindsEveryByteToEscapeInLongText) {
    const std::pair<char, std::string> escapes[] = {{'"', "\\\""}, {'\\', "\\\\"},      {'/', "\\/"},
                                                    {'\n', "\\n"}, {'\x01', "\\u0001"}, {'\x1f', "\\u001f"}};
    const std::string plain = "abcdefgh\x7f\xc3\xa9 ~!@#$%^&*()_+=-{}[]|:;'<>,.?";
    for (const auto& [byte, escaped] : escapes) {
        for (std::size_t at = 0; at <= plain.size(); ++at) {
            if (at < plain.size() && (static_cast<unsigned char>(plain[at]) & 0xC0) == 0x80) {
                continue; // inside a character: the text would not be UTF-8
            }
            std::string text = plain;
            text.insert(at, 1, byte);
            std::string expected = plain;
            expected.insert(at, escaped);
            EXPECT_EQ(write(Value(text), {}), '"' + expected + '"') << at;
        }
    }
    EXPECT_EQ(write(Value(plain + "/"), {.sortedKeys = false, .pretty = false, .escapeSlash = false}),
              '"' + plain + "/\"");
}

TEST(JsonWriter, NumbersInShortestFixedNotation) {
    EXPECT_EQ(write(Value::integer(INT64_MIN), {}), "-9223372036854775808");
    EXPECT_EQ(write(Value::real(1e12), {}), "1000000000000");
    EXPECT_EQ(write(Value::real(1700000000123.5), {}), "1700000000123.5");
    EXPECT_EQ(write(Value::real(0.1), {}), "0.1");
    EXPECT_EQ(write(Value::real(42.0), {}), "42");
    EXPECT_THROW(Value::real(std::numeric_limits<double>::infinity()), std::domain_error);
}

} // namespace
} // namespace kestrava::json
