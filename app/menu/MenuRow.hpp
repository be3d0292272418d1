#pragma once

#include <QAbstractButton>
#include <QString>

namespace kestrava::app {

// A command of the menu: a symbol, a title and an optional second line, highlighted in the accent colour
// under the pointer, drawn faint while disabled.
class MenuRow final : public QAbstractButton {
    Q_OBJECT

public:
    MenuRow(const QString& title, const QString& subtitle, const QString& symbol, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString subtitle_;
    QString symbol_;
    bool hovering_ = false;
};

} // namespace kestrava::app
