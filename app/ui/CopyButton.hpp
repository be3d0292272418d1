#pragma once

#include <QPushButton>
#include <QString>

namespace kestrava::app::ui {

// A button that puts a text on the clipboard and then says so, "Đã sao chép" with a check mark, until it
// is given another text. As wide as its wider label, so that what stands beside it keeps its place.
// Interface thread.
class CopyButton final : public QPushButton {
    Q_OBJECT

public:
    explicit CopyButton(const QString& label, QWidget* parent = nullptr);

    // What a click copies; a text other than the one before makes the button offer it again.
    void setContent(const QString& content);
    const QString& content() const noexcept { return content_; }
    // Puts the content on the clipboard and says so.
    void copy();

private:
    void render();

    QString label_;
    QString content_;
    bool copied_ = false;
};

} // namespace kestrava::app::ui
