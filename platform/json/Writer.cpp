#include "platform/json/Writer.hpp"

#include "platform/encoding/Utf8.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace kestrava::json {
namespace {

using ByteSet = std::array<bool, 256>;

constexpr ByteSet bytesToEscape(bool slash) {
    ByteSet set{};
    for (int byte = 0; byte < 0x20; ++byte) {
        set[byte] = true;
    }
    set['"'] = set['\\'] = true;
    set['/'] = slash;
    return set;
}

constexpr ByteSet escapedWithSlash = bytesToEscape(true);
constexpr ByteSet escapedWithoutSlash = bytesToEscape(false);

class Writer {
public:
    explicit Writer(const WriteOptions& options) : options_(options) {}

    void value(const Value& value, int depth) {
        std::visit([&](const auto& v) { write(v, depth); }, value.storage());
    }

    std::string take() { return std::move(out_); }

private:
    void write(std::nullptr_t, int) { out_ += "null"; }
    void write(bool b, int) { out_ += b ? "true" : "false"; }
    void write(const Number& n, int) { out_ += n.text; }
    void write(const std::string& s, int) { string(s); }

    void write(const Array& array, int depth) {
        out_ += '[';
        bool first = true;
        for (const Value& element : array) {
            separator(first, depth + 1);
            value(element, depth + 1);
        }
        close(array.empty(), depth, ']');
    }

    void write(const Object& object, int depth) {
        std::vector<const Member*> members;
        members.reserve(object.members().size());
        for (const Member& member : object.members()) {
            members.push_back(&member);
        }
        if (options_.sortedKeys) {
            // std::string compares as unsigned bytes, which is UTF-8 code point order.
            std::stable_sort(members.begin(), members.end(),
                             [](const Member* a, const Member* b) { return a->key < b->key; });
        }
        out_ += '{';
        bool first = true;
        for (const Member* member : members) {
            separator(first, depth + 1);
            string(member->key);
            out_ += options_.pretty ? " : " : ":";
            value(member->value, depth + 1);
        }
        close(members.empty(), depth, '}');
    }

    void separator(bool& first, int depth) {
        if (!first) {
            out_ += ',';
        }
        first = false;
        if (options_.pretty) {
            out_ += '\n';
            out_.append(static_cast<std::size_t>(depth) * 2, ' ');
        }
    }

    void close(bool empty, int depth, char bracket) {
        if (options_.pretty) {
            out_ += empty ? "\n\n" : "\n";
            out_.append(static_cast<std::size_t>(depth) * 2, ' ');
        }
        out_ += bracket;
    }

    // Runs of characters that need no escape are copied whole.
    void string(const std::string& text) {
        if (!utf8::isValid(text)) {
            throw EncodeError("JSON text that is not UTF-8");
        }
        const auto& escaped = options_.escapeSlash ? escapedWithSlash : escapedWithoutSlash;
        out_.reserve(out_.size() + text.size() + 2);
        out_ += '"';
        std::size_t runStart = 0;
        for (std::size_t i = skipPlainWords(text, 0); i < text.size(); i = skipPlainWords(text, i + 1)) {
            const auto byte = static_cast<unsigned char>(text[i]);
            if (escaped[byte]) {
                out_.append(text, runStart, i - runStart);
                escape(byte);
                runStart = i + 1;
            }
        }
        out_.append(text, runStart, text.size() - runStart);
        out_ += '"';
    }

    // The index of the first 8-byte word from `from` on that may hold a byte to escape (or of the
    // tail shorter than a word): long output chunks are mostly plain text.
    std::size_t skipPlainWords(const std::string& text, std::size_t from) const {
        constexpr std::uint64_t ones = 0x0101010101010101;
        constexpr std::uint64_t highs = 0x8080808080808080;
        const auto hasZeroByte = [](std::uint64_t v) { return ((v - ones) & ~v & highs) != 0; };
        while (from + 8 <= text.size()) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + from, sizeof word);
            const bool mayNeedEscape = ((word - ones * 0x20) & ~word & highs) != 0 ||
                                       hasZeroByte(word ^ (ones * '"')) ||
                                       hasZeroByte(word ^ (ones * '\\')) ||
                                       (options_.escapeSlash && hasZeroByte(word ^ (ones * '/')));
            if (mayNeedEscape) {
                break;
            }
            from += 8;
        }
        return from;
    }

    void escape(unsigned char byte) {
        static constexpr char hex[] = "0123456789abcdef";
        switch (byte) {
        case '"':
            out_ += "\\\"";
            break;
        case '\\':
            out_ += "\\\\";
            break;
        case '/':
            out_ += "\\/";
            break;
        case '\b':
            out_ += "\\b";
            break;
        case '\f':
            out_ += "\\f";
            break;
        case '\n':
            out_ += "\\n";
            break;
        case '\r':
            out_ += "\\r";
            break;
        case '\t':
            out_ += "\\t";
            break;
        default:
            out_ += "\\u00";
            out_ += hex[byte >> 4];
            out_ += hex[byte & 0x0F];
        }
    }

    const WriteOptions& options_;
    std::string out_;
};

} // namespace

std::string write(const Value& value, const WriteOptions& options) {
    Writer writer(options);
    writer.value(value, 0);
    return writer.take();
}

} // namespace kestrava::json
