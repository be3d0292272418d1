#include "app/menu/MenuViewModel.hpp"

#include "agent-core/control/PhoneLimit.hpp"
#include "app/runtime/Overloaded.hpp"
#include "app/runtime/UiText.hpp"
#include "app/ui/Palette.hpp"

#include <QLocale>
#include <string_view>

namespace kestrava::app {
namespace {

using Header = MenuViewModel::Header;
using Alert = MenuViewModel::Alert;

// The header and the alert title share these.
QString removedByRelayText() {
    return uiText("Relay đã gỡ Mac này");
}

QString unreachableText() {
    return uiText("Không liên lạc được agent");
}

MenuViewModel::SleepRow sleepVerdict(const StatusSnapshot& snapshot) {
    using SleepRow = MenuViewModel::SleepRow;
    if (snapshot.sleepSafe) {
        return SleepRow::ok;
    }
    if (snapshot.isLaptop && !snapshot.onACPower) {
        return SleepRow::onBattery;
    }
    // -1: the agent could not read the sleep setting.
    return snapshot.pmsetSleep == -1 ? SleepRow::unknown : SleepRow::warning;
}

struct HeaderAndAlert {
    Header header;
    std::optional<Alert> alert;
};

HeaderAndAlert headerAndAlert(const AgentStatus& status, std::int64_t phones) {
    const bool paused = status.monitoringPaused;
    return std::visit(
        Overloaded{
            [&](const ConnectionState::Error& error) -> HeaderAndAlert {
                if (error.message == configLostMessage) {
                    return {{Header::ConfigLost{}}, Alert{Alert::ConfigLost{phones}}};
                }
                return {{Header::Error{error.message}}, Alert{Alert::Error{error.message}}};
            },
            [&](const ConnectionState::RemovedByRelay&) -> HeaderAndAlert {
                return {{Header::RemovedByRelay{}}, Alert{Alert::RemovedByRelay{phones == 0}}};
            },
            [](const ConnectionState::IdentityConflict&) -> HeaderAndAlert {
                return {{Header::IdentityConflict{}}, Alert{Alert::IdentityConflict{}}};
            },
            [](const ConnectionState::Paused&) -> HeaderAndAlert {
                return {{Header::Paused{}}, std::nullopt};
            },
            [&](const ConnectionState::Connected&) -> HeaderAndAlert {
                return {paused ? Header{Header::Paused{}} : Header{Header::Connected{}}, std::nullopt};
            },
            [&](const ConnectionState::Reconnecting& reconnecting) -> HeaderAndAlert {
                return {paused ? Header{Header::Paused{}} : Header{Header::Reconnecting{reconnecting.nextIn}},
                        std::nullopt};
            },
        },
        status.connection.value);
}

} // namespace

MenuViewModel MenuViewModel::make(const std::optional<AgentStatus>& status,
                                  const std::vector<PhoneInfo>& phones,
                                  const std::optional<QString>& lastError, ServiceStatus serviceStatus) {
    const auto phoneCount = static_cast<std::int64_t>(phones.size());
    if (!status) {
        return {
            .icon = StatusIconState::red,
            .header = {Header::Unreachable{}},
            .sleep = std::nullopt,
            .alert = Alert{Alert::Unreachable{lastError, serviceStatus == ServiceStatus::enabled}},
            .isPaused = false,
            .canAddPhone = false,
            .macName = std::nullopt,
            .phoneCount = phoneCount,
        };
    }
    auto [header, alert] = headerAndAlert(*status, phoneCount);
    const bool connected = std::holds_alternative<ConnectionState::Connected>(status->connection.value);
    return {
        .icon = statusIconOf(status),
        .header = std::move(header),
        .sleep = sleepVerdict(status->snapshot),
        .alert = std::move(alert),
        .isPaused = status->monitoringPaused,
        .canAddPhone = connected && phoneCount < maxPairedPhones && !status->monitoringPaused,
        .macName = status->macName,
        .phoneCount = phoneCount,
    };
}

bool MenuViewModel::atPhoneLimit() const {
    return phoneCount >= maxPairedPhones;
}

const QString& MenuViewModel::pauseLabel() {
    static const QString label = uiText("Tạm dừng giám sát (máy vẫn thức)");
    return label;
}

QString Header::title() const {
    return std::visit(Overloaded{
                          [](const Reconnecting& reconnecting) {
                              return reconnecting.nextIn >= 1
                                         ? uiText("Đang kết nối lại… (%1 giây)")
                                               .arg(QLocale().toString(reconnecting.nextIn))
                                         : uiText("Đang kết nối lại…");
                          },
                          // The message shows in the alert.
                          [](const Error&) { return uiText("Lỗi kết nối"); },
                          [](const Connected&) { return uiText("Đã kết nối"); },
                          [](const RemovedByRelay&) { return removedByRelayText(); },
                          [](const IdentityConflict&) { return uiText("Xung đột danh tính"); },
                          [](const Paused&) { return uiText("Đã tạm dừng giám sát"); },
                          [](const ConfigLost&) { return uiText("Mất cấu hình agent"); },
                          [](const Unreachable&) { return unreachableText(); },
                      },
                      value);
}

QString Alert::title() const {
    return std::visit(
        Overloaded{
            [](const RemovedByRelay&) { return removedByRelayText(); },
            [](const Error&) { return uiText("Không kết nối được relay"); },
            [](const ConfigLost& lost) {
                return uiText(
                           "config.json mất/hỏng, còn %1 iPhone — khôi phục hoặc gỡ iPhone rồi đăng ký lại")
                    .arg(QLocale().toString(lost.phones));
            },
            [](const Unreachable&) { return unreachableText(); },
            [](const IdentityConflict&) { return uiText("Một Mac khác đang dùng danh tính này"); },
        },
        value);
}

std::optional<QString> Alert::detail() const {
    return std::visit(
        Overloaded{
            [](const RemovedByRelay& removed) -> std::optional<QString> {
                if (removed.canReregister) {
                    return std::nullopt;
                }
                return uiText("Gỡ hết iPhone rồi đăng ký lại");
            },
            [](const ConfigLost& lost) -> std::optional<QString> {
                if (lost.phones == 0) {
                    return std::nullopt;
                }
                return uiText(
                    "Khôi phục config.json rồi khởi động lại agent, hoặc gỡ hết iPhone bên dưới rồi "
                    "đăng ký lại.");
            },
            [](const IdentityConflict&) -> std::optional<QString> {
                return uiText(
                    "Tắt Kestrava trên Mac kia hoặc gỡ Mac đó khỏi iPhone, rồi khởi động lại agent ở "
                    "đây.");
            },
            // Their messages show on a line of their own.
            [](const Error&) -> std::optional<QString> { return std::nullopt; },
            [](const Unreachable&) -> std::optional<QString> { return std::nullopt; },
        },
        value);
}

std::optional<MenuAction> Alert::action() const {
    return std::visit(
        Overloaded{
            [](const RemovedByRelay& removed) -> std::optional<MenuAction> {
                if (removed.canReregister) {
                    return MenuAction::reregister;
                }
                return std::nullopt;
            },
            [](const ConfigLost& lost) -> std::optional<MenuAction> {
                if (lost.phones == 0) {
                    return MenuAction::reregister;
                }
                return std::nullopt;
            },
            [](const Unreachable& unreachable) -> std::optional<MenuAction> {
                return unreachable.serviceEnabled ? MenuAction::restartAgent : MenuAction::enableAgent;
            },
            [](const IdentityConflict&) -> std::optional<MenuAction> { return MenuAction::restartAgent; },
            [](const Error&) -> std::optional<MenuAction> { return std::nullopt; },
        },
        value);
}

QString sleepRowText(MenuViewModel::SleepRow row) {
    switch (row) {
    case MenuViewModel::SleepRow::ok:
        return uiText("Chống ngủ: OK");
    case MenuViewModel::SleepRow::onBattery:
        return uiText("Chạy pin – có thể ngủ");
    case MenuViewModel::SleepRow::unknown:
        return uiText("Không rõ");
    case MenuViewModel::SleepRow::warning:
        return uiText("Cảnh báo: máy có thể ngủ");
    }
    return {};
}

QString sleepRowSymbol(MenuViewModel::SleepRow row) {
    return row == MenuViewModel::SleepRow::ok ? QStringLiteral("moon.zzz.fill")
                                              : QStringLiteral("exclamationmark.triangle.fill");
}

QColor sleepRowColour(MenuViewModel::SleepRow row) {
    return row == MenuViewModel::SleepRow::ok ? ui::green() : ui::orange();
}

} // namespace kestrava::app
