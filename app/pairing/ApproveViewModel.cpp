#include "app/pairing/ApproveViewModel.hpp"

#include <QTextBoundaryFinder>
#include <algorithm>

namespace kestrava::app {
namespace {

constexpr int longestWholeName = 40;
constexpr int keptOfALongName = 39;

bool isSpaceOrTab(QChar c) {
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

} // namespace

ApproveViewModel::ApproveViewModel(const PendingPairingInfo& pending, Timestamp now)
    : requestId(pending.requestId), phoneName(cutPhoneName(QString::fromStdString(pending.phoneName))),
      sas(groupedCode(QString::fromStdString(pending.sas))),
      deadline(std::min(timestampFromMilliseconds(pending.expiresAt), now + approvalWindow)) {}

QString cutPhoneName(const QString& name) {
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, name);
    int count = 0;
    qsizetype endOfKept = 0;
    while (clusters.toNextBoundary() != -1) {
        ++count;
        if (count == keptOfALongName) {
            endOfKept = clusters.position();
        }
    }
    if (count <= longestWholeName) {
        return name;
    }
    QString kept = name.left(endOfKept);
    qsizetype start = 0;
    qsizetype end = kept.size();
    while (start < end && isSpaceOrTab(kept[start])) {
        ++start;
    }
    while (end > start && isSpaceOrTab(kept[end - 1])) {
        --end;
    }
    return kept.mid(start, end - start) + QChar(0x2026);
}

QString groupedCode(const QString& code) {
    const bool sixDigits = code.size() == 6 && std::all_of(code.begin(), code.end(),
                                                           [](QChar c) { return c >= u'0' && c <= u'9'; });
    return sixDigits ? code.left(3) + QLatin1Char(' ') + code.right(3) : code;
}

} // namespace kestrava::app
