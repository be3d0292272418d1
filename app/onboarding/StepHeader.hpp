#pragma once

#include <QString>
#include <QWidget>

namespace kestrava::app {

// How far in what stands under a header begins, to line up with the header's title.
inline constexpr int headerIndent = 54;

// The head of every page of the first-run guide: a large symbol, the page's title and its explanation,
// which wraps onto as many lines as it needs. The texts are the interface's own (double asterisks make
// words bold). Interface thread.
class StepHeader final : public QWidget {
    Q_OBJECT

public:
    StepHeader(const QString& symbol, const QString& title, const QString& detail, QWidget* parent = nullptr);
};

} // namespace kestrava::app
