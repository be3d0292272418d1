#include "app/ui/RelativeDate.hpp"

#include <QDateTime>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <unicode/calendar.h>
#include <unicode/reldatefmt.h>

namespace kestrava::app::ui {
namespace {

struct CalendarUnit {
    UCalendarDateFields field;
    URelativeDateTimeUnit unit;
};

// Largest first: the first unit in which the two instants differ names the distance.
constexpr std::array<CalendarUnit, 7> units{{
    {UCAL_YEAR, UDAT_REL_UNIT_YEAR},
    {UCAL_MONTH, UDAT_REL_UNIT_MONTH},
    {UCAL_WEEK_OF_YEAR, UDAT_REL_UNIT_WEEK},
    {UCAL_DATE, UDAT_REL_UNIT_DAY},
    {UCAL_HOUR_OF_DAY, UDAT_REL_UNIT_HOUR},
    {UCAL_MINUTE, UDAT_REL_UNIT_MINUTE},
    {UCAL_SECOND, UDAT_REL_UNIT_SECOND},
}};

// Making a formatter loads the locale's data, so each locale's is made once and kept; ICU formatters stay
// on the thread that made them.
const icu::RelativeDateTimeFormatter* formatterFor(const icu::Locale& locale, const QString& name) {
    thread_local std::map<QString, std::unique_ptr<icu::RelativeDateTimeFormatter>> formatters;
    std::unique_ptr<icu::RelativeDateTimeFormatter>& kept = formatters[name];
    if (!kept) {
        UErrorCode status = U_ZERO_ERROR;
        auto made = std::make_unique<icu::RelativeDateTimeFormatter>(
            locale, nullptr, UDAT_STYLE_LONG, UDISPCTX_CAPITALIZATION_FOR_MIDDLE_OF_SENTENCE, status);
        if (U_FAILURE(status)) {
            return nullptr;
        }
        kept = std::move(made);
    }
    return kept.get();
}

} // namespace

QString relativeDate(Timestamp when, Timestamp now, const QLocale& locale) {
    const auto whenDate = static_cast<UDate>(millisecondsSince1970(when));
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale icuLocale = icu::Locale::forLanguageTag(locale.bcp47Name().toStdString(), status);
    const icu::RelativeDateTimeFormatter* formatter = formatterFor(icuLocale, locale.bcp47Name());
    const std::unique_ptr<icu::Calendar> calendar(icu::Calendar::createInstance(icuLocale, status));
    if (formatter && calendar) {
        calendar->setTime(static_cast<UDate>(millisecondsSince1970(now)), status);
        URelativeDateTimeUnit unit = UDAT_REL_UNIT_SECOND;
        std::int32_t offset = 0;
        for (const CalendarUnit& candidate : units) {
            unit = candidate.unit;
            offset = calendar->fieldDifference(whenDate, candidate.field, status);
            if (offset != 0) {
                break;
            }
        }
        icu::UnicodeString text;
        formatter->format(offset, unit, text, status);
        if (U_SUCCESS(status)) {
            const QString phrase = QString::fromUtf16(text.getBuffer(), text.length());
            // Some locales' data keep a capital even when asked for the middle of a sentence.
            return locale.toLower(phrase.left(1)) + phrase.mid(1);
        }
    }
    // Without the locale's data the date itself still tells when.
    return locale.toString(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(whenDate)),
                           QLocale::ShortFormat);
}

} // namespace kestrava::app::ui
