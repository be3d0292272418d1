#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <optional>

class QLabel;

namespace kestrava::app {

// A closing screen: a symbol in its colour, a title and what it means. Texts are shown as written, never
// as markup.
class Outcome final : public QWidget {
    Q_OBJECT

public:
    explicit Outcome(QWidget* parent = nullptr);

    void render(const QString& symbol, const QColor& tint, const QString& title,
                const std::optional<QString>& detail);

private:
    QLabel* symbol_;
    QLabel* title_;
    QLabel* detail_;
};

} // namespace kestrava::app
