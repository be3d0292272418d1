#pragma once

#include <QWidget>
#include <string>

class QLabel;

namespace kestrava::app {

class QRCodeView;

namespace ui {
class CopyButton;
class SelectableLine;
} // namespace ui

// The pairing link as a QR code, its remaining validity, and the link itself, to select or copy for a
// phone that cannot scan.
class QRPanel final : public QWidget {
    Q_OBJECT

public:
    explicit QRPanel(bool showsTitle, QWidget* parent = nullptr);

    void render(const std::string& link, const QString& countdown);

private:
    QRCodeView* code_;
    QLabel* countdown_;
    ui::SelectableLine* link_;
    ui::CopyButton* copy_;
};

} // namespace kestrava::app
