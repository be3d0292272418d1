#include "app/state/AppError.hpp"

#include "app/runtime/UiText.hpp"
#include "app/state/FailureText.hpp"

#include <optional>

namespace kestrava::app {
namespace {

QString messageOf(const AgentClientError& error) {
    switch (error.kind) {
    case AgentClientError::Kind::timeout:
        return uiText("Agent không phản hồi");
    case AgentClientError::Kind::unavailable:
    case AgentClientError::Kind::connection:
        return uiText("Không kết nối được agent");
    case AgentClientError::Kind::badReply:
        return uiText("Phản hồi từ agent không hợp lệ");
    }
    return uiText("Không kết nối được agent");
}

QString messageOf(const ServiceManagerError& error) {
    switch (error.kind) {
    case ServiceManagerError::Kind::agentDidNotStart:
        return uiText("Agent không khởi động lại được");
    case ServiceManagerError::Kind::requiresApproval:
        return uiText("Cần duyệt trong Login Items");
    case ServiceManagerError::Kind::registerFailed:
        return uiText("Không bật lại được agent — bấm “Bật agent”");
    }
    return uiText("Agent không khởi động lại được");
}

// The common causes in our words; any other in the system's alone.
std::optional<QString> sentenceFor(PlatformError::Cause cause) {
    switch (cause) {
    case PlatformError::Cause::unnamed:
        return std::nullopt;
    case PlatformError::Cause::noServiceManager:
        return uiText("Phiên đăng nhập này không có trình quản lý dịch vụ của người dùng (systemd --user)");
    case PlatformError::Cause::accessDenied:
        return uiText("Hệ thống từ chối: không đủ quyền");
    case PlatformError::Cause::unitNotFound:
        return uiText("Trình quản lý dịch vụ không tìm thấy dịch vụ của agent");
    case PlatformError::Cause::timedOut:
        return uiText("Trình quản lý dịch vụ không phản hồi kịp");
    }
    return std::nullopt;
}

QString messageOf(const PlatformError& error) {
    const QString systemWords = QString::fromStdString(error.description);
    const std::optional<QString> sentence = sentenceFor(error.cause);
    return sentence ? FailureText{*sentence, systemWords}.text() : systemWords;
}

QString messageOf(ActionFailure failure) {
    switch (failure) {
    case ActionFailure::reregisterRefused:
        return uiText("Không đăng ký lại được: vẫn còn iPhone đã ghép");
    case ActionFailure::revokeRefused:
        return uiText("Không gỡ được iPhone — thử lại");
    }
    return {};
}

} // namespace

AppError appErrorOf(const ServiceFailure& failure) {
    return std::visit([](const auto& reason) { return AppError(reason); }, failure);
}

QString message(const AppError& error) {
    return std::visit([](const auto& failure) { return messageOf(failure); }, error);
}

} // namespace kestrava::app
