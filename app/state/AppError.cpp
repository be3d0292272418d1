#include "app/state/AppError.hpp"

#include "app/runtime/UiText.hpp"

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

QString messageOf(const PlatformError& error) {
    return QString::fromStdString(error.description);
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
