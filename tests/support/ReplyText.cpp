#include "tests/support/ReplyText.hpp"

namespace kestrava::test {
namespace {

struct Text {
    std::string operator()(const E2EPayload::Out& out) const { return "out " + out.stream + " " + out.data; }
    std::string operator()(const E2EPayload::Done& done) const {
        return "done " + (done.exitCode ? std::to_string(*done.exitCode) : std::string("signal"));
    }
    std::string operator()(const E2EPayload::Rejected& rejected) const {
        return "rejected " + rejected.reason;
    }
    std::string operator()(const E2EPayload::Status&) const { return "status"; }
    std::string operator()(const E2EPayload::Command&) const { return "command"; }
};

} // namespace

std::string replyText(const E2EPayload& payload) {
    return std::visit(Text{}, payload.value);
}

} // namespace kestrava::test
