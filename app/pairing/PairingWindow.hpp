#pragma once

#include "app/pairing/PairingView.hpp"

#include <QWidget>

namespace kestrava::app {

// The window "Thêm iPhone": the pairing view with its footer, which closes the window.
class PairingWindow final : public QWidget {
    Q_OBJECT

public:
    explicit PairingWindow(std::shared_ptr<AppState> state, std::shared_ptr<PairingService> service = nullptr,
                           QWidget* parent = nullptr);

    PairingView* view() const noexcept { return view_; }

private:
    PairingView* view_;
};

} // namespace kestrava::app
