#include "app/pairing/PairingResult.hpp"

#include "app/runtime/UiText.hpp"

namespace kestrava::app {

QString PairingResult::title() const {
    if (const auto* approved = std::get_if<Approved>(&value)) {
        return uiText("Đã ghép %1").arg(approved->name);
    }
    switch (std::get<Denied>(value).denial) {
    case PairingDenial::phoneLimit:
        return uiText("Đã đủ 5 iPhone");
    case PairingDenial::notPending:
        return uiText("Yêu cầu không còn hiệu lực");
    case PairingDenial::expired:
        return uiText("Hết hạn");
    case PairingDenial::userDenied:
        return uiText("Đã từ chối");
    case PairingDenial::saveFailed:
        return uiText("Không lưu được iPhone");
    }
    return {};
}

QString PairingResult::detail() const {
    if (approved()) {
        return uiText("iPhone này giờ đã xem và điều khiển được Mac.");
    }
    switch (std::get<Denied>(value).denial) {
    case PairingDenial::phoneLimit:
        return uiText("Gỡ bớt một iPhone rồi thử lại.");
    case PairingDenial::notPending:
        return uiText("Yêu cầu đã được xử lý hoặc đã hết hạn.");
    case PairingDenial::expired:
        return uiText("Quá thời gian xác nhận. Mở lại mã QR để thử lần nữa.");
    case PairingDenial::userDenied:
        return uiText("iPhone đó không được ghép.");
    case PairingDenial::saveFailed:
        return uiText("Agent không ghi được danh sách iPhone. Thử lại.");
    }
    return {};
}

} // namespace kestrava::app
