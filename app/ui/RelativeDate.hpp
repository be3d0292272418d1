#pragma once

#include "platform/time/Timestamp.hpp"

#include <QLocale>
#include <QString>

namespace kestrava::app::ui {

// `when` told relative to `now` in words of `locale` ("5 phút trước", "hôm qua", "tuần trước", "bây
// giờ"), in the largest calendar unit in which the two differ, ready for the middle of a sentence.
// Interface thread.
QString relativeDate(Timestamp when, Timestamp now, const QLocale& locale = QLocale());

} // namespace kestrava::app::ui
