#include "app/menu/PhonesListView.hpp"
#include "app/ui/ElidingLabel.hpp"
#include "app/ui/RelativeDate.hpp"
#include "tests/app-support/ApplicationFont.hpp"
#include "tests/app-support/QtLoop.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

namespace kestrava {
namespace {

using namespace std::chrono_literals;
using app::PhonesListStyle;
using app::PhonesListView;
using app::RelayLink;

const Timestamp now = timestampFromSeconds(1750240800); // 2025-06-18 10:00 UTC, far from any clock change

// The removal action of lists whose removals a test does not follow.
void ignoreRemoval(const PhoneInfo&) {}

PhoneInfo phone(std::string name, std::optional<Timestamp> lastUsed = std::nullopt) {
    return {"id-" + name, std::move(name), now - 24h, lastUsed};
}

// The widgets of one rendered row, found by the names the view gives them.
struct ShownRow {
    explicit ShownRow(const QWidget* row)
        : name(row->findChild<app::ui::ElidingLabel*>("phoneName")),
          pairedAt(row->findChild<QLabel*>("pairedAt")), lastUsed(row->findChild<QLabel*>("lastUsed")),
          revoke(row->findChild<QAbstractButton*>("revoke")) {}

    app::ui::ElidingLabel* name;
    QLabel* pairedAt;
    QLabel* lastUsed;
    QAbstractButton* revoke;
};

QList<QWidget*> rowsOf(const PhonesListView& view) {
    return view.findChildren<QWidget*>("phoneRow");
}

// A list of `phones` at the menu's width, its dates in Vietnamese, whose question is always refused.
std::unique_ptr<PhonesListView> shownList(PhonesListStyle style, const std::vector<PhoneInfo>& phones,
                                          RelayLink link = RelayLink::connected) {
    auto view = std::make_unique<PhonesListView>(style, [](const PhoneInfo&, RelayLink) { return false; });
    view->setLocale(QLocale("vi"));
    view->setFixedWidth(292);
    view->render(phones, link, ignoreRemoval, now);
    view->show();
    return view;
}

// Asks about a phone's removal as the list does, handing the question to `answer` once it is open; what
// the question returned.
bool answered(RelayLink link, const std::function<void(QWidget& question)>& answer) {
    QTimer::singleShot(0, [&] {
        QWidget* question = QApplication::activeModalWidget();
        ASSERT_NE(question, nullptr);
        answer(*question);
    });
    return app::confirmRevoke(phone("iPhone 15 Pro của Nguyễn Lan"), link);
}

void click(QWidget& question, const QString& title) {
    for (QAbstractButton* button : question.findChildren<QAbstractButton*>()) {
        if (button->text() == title) {
            button->click();
        }
    }
}

// The largest calendar unit in which the dates differ names the distance, in words where the language has
// them, lower-cased for the middle of a sentence.
TEST(RelativeDate, NamesTheLargestUnitThatDiffersInVietnamese) {
    test::ensureQtApplication();
    const struct {
        std::chrono::nanoseconds ago;
        const char* shown;
    } cases[] = {
        {0s, "bây giờ"},  {500ms, "bây giờ"},      {5min + 20s, "5 phút trước"}, {3h + 59min, "3 giờ trước"},
        {24h, "hôm qua"}, {24h * 7, "tuần trước"}, {24h * 400, "năm ngoái"},     {24h * 1100, "3 năm trước"},
    };
    for (const auto& [ago, shown] : cases) {
        SCOPED_TRACE(shown);
        EXPECT_EQ(app::ui::relativeDate(now - ago, now, QLocale("vi")), QString::fromUtf8(shown));
    }
}

// An empty list says so and has no rows; each phone's row tells when it was paired and when it was last
// used, or that it never was.
TEST(PhonesList, ShowsEachPhonesDatesOrThatThereAreNone) {
    test::ensureQtApplication();
    const auto view = shownList(PhonesListStyle::menu, {});
    const auto* emptyText = view->findChild<QLabel*>("emptyText");
    ASSERT_NE(emptyText, nullptr);
    EXPECT_TRUE(emptyText->isVisible());
    EXPECT_EQ(emptyText->text(), "Chưa ghép iPhone nào");
    EXPECT_TRUE(rowsOf(*view).isEmpty());

    view->render({phone("Dùng rồi", now - 5min), phone("Mới ghép")}, RelayLink::connected, ignoreRemoval,
                 now);
    EXPECT_FALSE(emptyText->isVisible());
    const QList<QWidget*> rows = rowsOf(*view);
    ASSERT_EQ(rows.size(), 2);
    const ShownRow used(rows[0]);
    EXPECT_EQ(used.name->fullText(), "Dùng rồi");
    EXPECT_EQ(used.pairedAt->text(), "Ghép hôm qua");
    EXPECT_EQ(used.lastUsed->text(), "Dùng lần cuối 5 phút trước");
    EXPECT_EQ(used.revoke->text(), "Gỡ…");
    EXPECT_EQ(ShownRow(rows[1]).lastUsed->text(), "Chưa dùng");
}

// The action runs once with the row's phone only when the user confirms, even when the list is rebuilt
// and the row deleted while the question is open.
TEST(PhonesList, RemovesAPhoneOnlyAfterConfirmation) {
    test::ensureQtApplication();
    const struct {
        const char* name;
        bool confirmed;
        bool rebuiltMeanwhile;
        int removals;
    } cases[] = {
        {"refused", false, false, 0},
        {"confirmed", true, false, 1},
        {"confirmed while the list is rebuilt", true, true, 1},
    };
    for (const auto& testCase : cases) {
        const auto& [name, confirmed, rebuiltMeanwhile, removals] = testCase;
        SCOPED_TRACE(name);
        std::vector<std::pair<PhoneInfo, RelayLink>> asked;
        std::vector<PhoneInfo> removed;
        PhonesListView* list = nullptr;
        PhonesListView view(PhonesListStyle::settings, [&](const PhoneInfo& asking, RelayLink link) {
            asked.emplace_back(asking, link);
            // Clang 14 lets no lambda name a structured binding.
            if (testCase.rebuiltMeanwhile) {
                list->render({}, RelayLink::offline, ignoreRemoval, now);
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            }
            return testCase.confirmed;
        });
        list = &view;
        const std::vector<PhoneInfo> phones{phone("Một"), phone("Hai", now - 1h)};
        const auto remove = [&](const PhoneInfo& gone) { removed.push_back(gone); };
        view.render(phones, RelayLink::offline, remove, now);

        const QPointer<QWidget> row = rowsOf(view)[1];
        ShownRow(row).revoke->click();
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0], std::make_pair(phones[1], RelayLink::offline));
        EXPECT_EQ(removed, std::vector<PhoneInfo>(removals, phones[1]));
        EXPECT_EQ(row.isNull(), rebuiltMeanwhile);
    }
}

// The confirmation is a parentless warning, its question set as a heading and its "Gỡ" drawn in red; it
// says what the removal means for the relay, as the button's tooltip does before. Texts naming the computer
// show their override.
TEST(PhonesList, ConfirmationTellsWhatRemovalMeansForTheRelay) {
    test::ensureQtApplication();
    const app::RevokeDialog dialog(phone("Điện thoại"), RelayLink::connected);
    EXPECT_EQ(dialog.parent(), nullptr);
    EXPECT_EQ(dialog.windowModality(), Qt::ApplicationModal);
    auto* removal = dialog.findChild<QPushButton*>("remove");
    ASSERT_NE(removal, nullptr);
    EXPECT_EQ(removal->text(), "Gỡ");
    const QImage drawn = removal->grab().toImage();
    bool drawnRed = false;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            const QColor colour = drawn.pixelColor(x, y);
            drawnRed |= colour.red() > 150 && colour.green() < 90 && colour.blue() < 90;
        }
    }
    EXPECT_TRUE(drawnRed) << "the removal's label is not drawn in red";
    EXPECT_TRUE(dialog.findChild<app::ui::ElidingLabel*>("question")->font().bold());

    const QString base =
        "iPhone này sẽ không xem hay điều khiển được máy tính nữa. Muốn dùng lại thì phải ghép lại.";
    const struct {
        RelayLink link;
        QString informative;
        QString toolTip;
    } cases[] = {
        {RelayLink::connected, base, "Gỡ iPhone này"},
        {RelayLink::offline,
         base + "\n\nMáy tính đang không kết nối relay: iPhone được gỡ khỏi máy tính ngay và sẽ gỡ khỏi "
                "relay khi kết nối lại.",
         "Sẽ gỡ khỏi relay khi kết nối lại"},
        {RelayLink::configLost,
         base + "\n\nAgent đang mất cấu hình: iPhone chỉ gỡ trên máy tính; relay sẽ không được báo.",
         "Chỉ gỡ trên máy tính; relay sẽ không được báo"},
    };
    for (const auto& [link, informative, toolTip] : cases) {
        SCOPED_TRACE(toolTip.toStdString());
        EXPECT_EQ(app::revokeConfirmationText(link), informative);
        EXPECT_EQ(app::RevokeDialog(phone("Điện thoại"), link).findChild<QLabel*>("explanation")->text(),
                  informative);
        const auto view = shownList(PhonesListStyle::menu, {phone("Điện thoại")}, link);
        EXPECT_EQ(ShownRow(rowsOf(*view)[0]).revoke->toolTip(), toolTip);
    }
}

// Only "Gỡ" removes: the focus and the default are on "Hủy", so a stray Return cancels, as Escape and
// closing the question do.
TEST(PhonesList, OnlyTheRemovalButtonConfirms) {
    test::ensureQtApplication();
    const auto key = [](Qt::Key pressed) {
        return [pressed](QWidget& question) {
            QTest::keyClick(question.focusWidget() ? question.focusWidget() : &question, pressed);
        };
    };
    const struct {
        const char* name;
        std::function<void(QWidget&)> answer;
        bool confirmed;
    } cases[] = {
        {"Return", key(Qt::Key_Return), false},
        {"Enter", key(Qt::Key_Enter), false},
        {"Escape", key(Qt::Key_Escape), false},
        {"closed", [](QWidget& question) { question.close(); }, false},
        {"Hủy", [](QWidget& question) { click(question, "Hủy"); }, false},
        {"Gỡ", [](QWidget& question) { click(question, "Gỡ"); }, true},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        QString focused;
        const bool confirmed = answered(RelayLink::connected, [&](QWidget& question) {
            if (const auto* button = qobject_cast<QAbstractButton*>(question.focusWidget())) {
                focused = button->text();
            }
            testCase.answer(question);
        });
        EXPECT_EQ(confirmed, testCase.confirmed);
        EXPECT_EQ(focused, "Hủy");
    }
}

// The question is as wide as the application's other dialogs, grown with the font as its text is; whatever
// the removal means, its symbol, texts and buttons stand apart inside its margins, every text shown whole.
TEST(PhonesList, QuestionHoldsItsTextAtAnyFont) {
    test::ensureQtApplication();
    test::ApplicationFont font;
    constexpr int margin = 24;
    for (const auto& [fontPx, wanted] : std::vector<std::pair<int, int>>{{12, 460}, {15, 531}, {18, 637}}) {
        font.setPixelSize(fontPx);
        const int width = wanted; // Clang 14 lets no lambda name a structured binding.
        for (const RelayLink link : {RelayLink::connected, RelayLink::offline, RelayLink::configLost}) {
            SCOPED_TRACE(std::to_string(fontPx) + " px, link " + std::to_string(static_cast<int>(link)));
            answered(link, [&](QWidget& question) {
                EXPECT_EQ(question.width(), width);
                const QRect inside = question.rect().marginsRemoved({margin, margin, margin, margin});
                std::vector<QRect> parts;
                for (QWidget* part : question.findChildren<QWidget*>()) {
                    const auto* label = qobject_cast<QLabel*>(part);
                    if (!part->isVisible() || !(label || qobject_cast<app::ui::ElidingLabel*>(part) ||
                                                qobject_cast<QAbstractButton*>(part))) {
                        continue;
                    }
                    const QRect at(part->mapTo(&question, QPoint()), part->size());
                    EXPECT_TRUE(inside.contains(at)) << part->objectName().toStdString();
                    if (label && label->wordWrap()) {
                        EXPECT_GE(label->height(), label->heightForWidth(label->width()))
                            << label->text().toStdString();
                    }
                    for (const QRect& other : parts) {
                        EXPECT_FALSE(at.intersects(other)) << part->objectName().toStdString();
                    }
                    parts.push_back(at);
                }
                question.close();
            });
        }
    }
}

// A phone's name is plain text wherever it shows: markup in it is written out, not applied.
TEST(PhonesList, NamesFromPhonesShowAsWritten) {
    test::ensureQtApplication();
    for (const std::string name : {"<b>X</b><br><img src=x>", "**X**", "&amp; <a href=\"x\">y</a>"}) {
        SCOPED_TRACE(name);
        const QString written = QString::fromStdString(name);
        const auto view = shownList(PhonesListStyle::settings, {phone(name)});
        EXPECT_EQ(ShownRow(rowsOf(*view)[0]).name->shownText(), written);

        const app::RevokeDialog dialog(phone(name), RelayLink::connected);
        const auto* question = dialog.findChild<app::ui::ElidingLabel*>("question");
        ASSERT_NE(question, nullptr);
        EXPECT_EQ(question->fullText(), "Gỡ “" + written + "”?");
    }
}

// A name too long for the row stays on one line, cut in its middle, in both styles.
TEST(PhonesList, LongNameIsCutInTheMiddleOnOneLine) {
    test::ensureQtApplication();
    for (const PhonesListStyle style : {PhonesListStyle::menu, PhonesListStyle::settings}) {
        SCOPED_TRACE(static_cast<int>(style));
        const auto view = shownList(style, {phone("Đầu " + std::string(200, 'x') + " cuối")});
        const app::ui::ElidingLabel* name = ShownRow(rowsOf(*view)[0]).name;
        const QString shown = name->shownText();
        EXPECT_TRUE(shown.startsWith("Đầu ") && shown.contains("…") && shown.endsWith(" cuối"))
            << shown.toStdString();
        EXPECT_LE(QFontMetrics(name->font()).horizontalAdvance(shown), name->width());
        EXPECT_EQ(name->height(), QFontMetrics(name->font()).height());
    }
}

} // namespace
} // namespace kestrava
