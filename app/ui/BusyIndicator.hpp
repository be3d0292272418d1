#pragma once

#include <QTimer>
#include <QWidget>

namespace kestrava::app::ui {

// An indeterminate spinner: an arc turning in the secondary colour. It turns only while it is visible.
// Interface thread.
class BusyIndicator final : public QWidget {
    Q_OBJECT

public:
    enum class Size { small, regular };

    explicit BusyIndicator(Size size = Size::regular, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int side_;
    int angle_ = 0;
    QTimer timer_;
};

} // namespace kestrava::app::ui
