#include "platform/json/Writer.hpp"

#include <algorithm>

namespace kestrava::json {
namespace {

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

    void string(const std::string& text) {
        static constexpr char hex[] = "0123456789abcdef";
        out_ += '"';
        for (const char c : text) {
            switch (c) {
            case '"':
                out_ += "\\\"";
                break;
            case '\\':
                out_ += "\\\\";
                break;
            case '/':
                out_ += options_.escapeSlash ? "\\/" : "/";
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
                if (static_cast<unsigned char>(c) < 0x20) {
                    out_ += "\\u00";
                    out_ += hex[static_cast<unsigned char>(c) >> 4];
                    out_ += hex[static_cast<unsigned char>(c) & 0x0F];
                } else {
                    out_ += c;
                }
            }
        }
        out_ += '"';
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
