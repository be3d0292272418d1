#include "platform/json/Reader.hpp"

#include "platform/json/DecodeError.hpp"

#include <boost/json/basic_parser_impl.hpp>

#include <optional>

namespace kestrava::json {
namespace {

using boost::json::string_view;
using boost::system::error_code;

// Builds the DOM from the tokenizer's events; containers under construction wait on a stack.
class DomBuilder {
public:
    static constexpr std::size_t max_object_size = std::size_t(-1);
    static constexpr std::size_t max_array_size = std::size_t(-1);
    static constexpr std::size_t max_key_size = std::size_t(-1);
    static constexpr std::size_t max_string_size = std::size_t(-1);

    bool on_document_begin(error_code&) { return true; }
    bool on_document_end(error_code&) { return true; }

    bool on_array_begin(error_code&) {
        frames_.push_back(Frame{false, {}, {}, takeKey()});
        return true;
    }
    bool on_array_end(std::size_t, error_code&) { return closeFrame(); }
    bool on_object_begin(error_code&) {
        frames_.push_back(Frame{true, {}, {}, takeKey()});
        return true;
    }
    bool on_object_end(std::size_t, error_code&) { return closeFrame(); }

    bool on_string_part(string_view s, std::size_t, error_code&) {
        text_.append(s.data(), s.size());
        return true;
    }
    bool on_string(string_view s, std::size_t, error_code&) {
        text_.append(s.data(), s.size());
        return add(Value(std::exchange(text_, {})));
    }
    bool on_key_part(string_view s, std::size_t, error_code&) {
        text_.append(s.data(), s.size());
        return true;
    }
    bool on_key(string_view s, std::size_t, error_code&) {
        text_.append(s.data(), s.size());
        key_ = std::exchange(text_, {});
        return true;
    }
    bool on_number_part(string_view s, error_code&) {
        text_.append(s.data(), s.size());
        return true;
    }
    bool on_int64(std::int64_t, string_view s, error_code&) { return number(s); }
    bool on_uint64(std::uint64_t, string_view s, error_code&) { return number(s); }
    bool on_double(double, string_view s, error_code&) { return number(s); }
    bool on_bool(bool b, error_code&) { return add(Value(b)); }
    bool on_null(error_code&) { return add(Value(nullptr)); }
    bool on_comment_part(string_view, error_code&) { return false; }
    bool on_comment(string_view, error_code&) { return false; }

    std::optional<Value> result;

private:
    struct Frame {
        bool isObject;
        Array array;
        Object object;
        std::string key; // the key this container will stand under in its parent
    };

    std::string takeKey() { return std::exchange(key_, {}); }

    bool number(string_view s) {
        text_.append(s.data(), s.size());
        return add(Value(Number{std::exchange(text_, {})}));
    }

    bool closeFrame() {
        Frame frame = std::move(frames_.back());
        frames_.pop_back();
        key_ = std::move(frame.key);
        return frame.isObject ? add(Value(std::move(frame.object))) : add(Value(std::move(frame.array)));
    }

    bool add(Value value) {
        if (frames_.empty()) {
            result = std::move(value);
        } else if (frames_.back().isObject) {
            frames_.back().object.add(takeKey(), std::move(value));
        } else {
            frames_.back().array.push_back(std::move(value));
        }
        return true;
    }

    std::vector<Frame> frames_;
    std::string text_;
    std::string key_;
};

[[noreturn]] void notJson() {
    throw DecodeError(DecodeError::Kind::dataCorrupted, {}, "The given data was not valid JSON.");
}

} // namespace

Value parse(std::string_view text) {
    static constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(byteOrderMark)) {
        text.remove_prefix(byteOrderMark.size());
    }
    boost::json::parse_options options;
    options.max_depth = maxDepth;
    boost::json::basic_parser<DomBuilder> parser(options);
    error_code ec;
    const std::size_t consumed = parser.write_some(false, text.data(), text.size(), ec);
    if (ec || consumed != text.size() || !parser.done() || !parser.handler().result) {
        notJson();
    }
    return std::move(*parser.handler().result);
}

} // namespace kestrava::json
