// Every designed line of every window's labels, options and list entries fits its control in the
// font the program really uses: nothing is cut, nothing wraps beyond the designed line breaks.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFontInfo>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include "app/AppState.h"
#include "app/MainWin.h"
#include "app/VersionWin.h"
#include "confirm/LoadMspaintWin.h"
#include "confirm/PreviewWin.h"
#include "history/DeleteWin.h"
#include "history/HistoryFile.h"
#include "platform/Desktop.h"
#include "platform/TextFit.h"
#include "settings/SettingsWin.h"
#include "support/RealInput.h"
#include "support/ScriptedDesktop.h"
#include "support/TestSupport.h"
#include "upload/SendDataWin.h"

using namespace quiblo;

namespace {

// The lines as designed: the text broken only where it has its own line breaks.
QStringList designedLines(const QLabel* label) {
    QString text = label->text();
    if (label->textFormat() == Qt::RichText || Qt::mightBeRichText(text)) {
        QTextDocument document;
        document.setHtml(text);
        text = document.toPlainText();
    }
    text.remove(QLatin1Char('&'));
    return text.split(QRegularExpression(QStringLiteral("\r?\n|\u2029")));
}

// What does not fit in `window`, one line per fault.
QStringList misfits(QWidget* window) {
    QStringList faults;
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(window) || label->text().isEmpty()) continue;
        const QFontMetrics metrics(label->font());
        const QRect room = label->contentsRect();
        const QStringList lines = designedLines(label);
        for (const QString& line : lines) {
            if (metrics.horizontalAdvance(line) > room.width())
                faults << test::describe(label) + QStringLiteral(": cut or wrapped: ") + line;
        }
        if (lines.size() * metrics.lineSpacing() > room.height() + metrics.leading() + 1)
            faults << test::describe(label) + QStringLiteral(": lines cut at the bottom");
    }
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(window) || button->text().isEmpty()) continue;
        // The main window's Exit button lies below its client area by design: never seen.
        if (!window->rect().intersects(QRect(button->mapTo(window, QPoint()), button->size())))
            continue;
        QString caption = button->text();
        caption.remove(QLatin1Char('&'));
        int widest = 0;
        for (const QString& line : caption.split(QLatin1Char('\n')))
            widest = std::max(widest, button->fontMetrics().horizontalAdvance(line));
        // A box or a round button beside the caption.
        const int beside = qobject_cast<QPushButton*>(button) ? 4 : 20;
        if (widest + beside > button->width())
            faults << test::describe(button) + QStringLiteral(": caption cut: ") + button->text();
    }
    for (QListWidget* list : window->findChildren<QListWidget*>()) {
        const QFontMetrics metrics(list->font());
        for (int i = 0; i < list->count(); ++i) {
            const QString entry = list->item(i)->text();
            // The entry's own margins (a few pixels each side) stay inside the list's viewport.
            if (metrics.horizontalAdvance(entry) + 8 > list->viewport()->width())
                faults << test::describe(list) + QStringLiteral(": entry cut: ") + entry;
        }
    }
    return faults;
}

class TextFitTest : public ::testing::Test {
protected:
    void SetUp() override {
        AppSeams seams;
        seams.desktop = &desktop;
        seams.programFolder = test::buildProgramFolder();
        seams.instanceLockPath = folder.file(QStringLiteral("lock"));
        state = std::make_unique<AppState>(seams);
        state->CaptureRect = {0, 0, 40, 30};
    }
    void expectFits(QWidget* window) {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        EXPECT_EQ(misfits(window).join(QLatin1Char('\n')).toStdString(), "")
            << window->objectName().toStdString();
    }
    test::TempFolder folder;
    ScriptedDesktop desktop;
    std::unique_ptr<AppState> state;
};

}  // namespace

TEST_F(TextFitTest, FontInUseIsTheJapaneseOne) {
    // The program's text is drawn in the default font, with the Japanese glyphs from IPA Gothic.
    const QFont font = QApplication::font();
    const QFontMetrics metrics(font);
    EXPECT_TRUE(metrics.inFontUcs4(U'a'));
    EXPECT_GT(metrics.horizontalAdvance(QStringLiteral("クイブロ")), 4 * 8)
        << "Japanese glyphs are missing: is fonts-ipafont-gothic installed?";
}

TEST_F(TextFitTest, EveryWindowKeepsItsDesignedLines) {
    // History entries of the longest kind.
    folder.write(QStringLiteral("Quiblo.dat"),
                 "200612312359591234,20061231235959\r\n200611302116551234,20061130211655\r\n");
    MainWin main(*state);
    ASSERT_TRUE(main.Form_Load());
    expectFits(&main);
    const QImage picture = test::patternPicture(100, 100);
    PreviewWin preview(desktop, state->imgctl(), picture, picture.rect());
    expectFits(&preview);
    LoadMspaintWin paint(desktop, folder.file(QStringLiteral("tmp_1.png")));
    expectFits(&paint);
    DeleteWin history(desktop, folder.path());
    expectFits(&history);
    ASSERT_GT(history.DelList->count(), 0);
    SettingsWin settings(desktop, folder.path());
    expectFits(&settings);
    VersionWin version(desktop);
    expectFits(&version);
    UploadHooks hooks;
    hooks.desktop = &desktop;
    hooks.imgctl = &state->imgctl();
    SendDataWin upload(hooks, preview.previewPicture(), false);
    EXPECT_EQ(misfits(&upload).join(QLatin1Char('\n')).toStdString(), "");
}

// The fitting itself: a label that grows pushes what lies below it down, its container grows to
// keep its margin, what fits stays put, and a control placed outside on purpose stays outside.
TEST_F(TextFitTest, GrowingLabelMakesRoomAroundIt) {
    QWidget window;
    window.setFixedSize(200, 100);
    auto* frame = new QWidget(&window);
    frame->setGeometry(10, 10, 120, 60);
    auto* label =
        new QLabel(QStringLiteral("一行目がとても長い説明の文です。\n二行目\n三行目"), frame);
    label->setGeometry(5, 5, 100, 14);
    auto* below = new QPushButton(QStringLiteral("OK"), frame);
    below->setGeometry(5, 30, 60, 20);
    auto* fits = new QLabel(QStringLiteral("ms"), &window);
    fits->setGeometry(150, 10, 40, 20);
    auto* outside = new QPushButton(QStringLiteral("Exit"), &window);
    outside->setGeometry(5, 120, 20, 20);

    fitDesignedTexts(&window);

    const QSize needed = designedTextSize(label);
    EXPECT_GT(needed.width(), 100);
    EXPECT_EQ(label->size(), needed);
    EXPECT_FALSE(label->wordWrap());
    EXPECT_EQ(below->geometry(), QRect(5, label->geometry().bottom() + 1, 60, 20));
    EXPECT_EQ(frame->width() - 1 - label->geometry().right(), 5) << "its margin, up to its start";
    EXPECT_EQ(fits->geometry(), QRect(frame->geometry().right() + 1, 10, 40, 20))
        << "moved clear of the frame beside it";
    EXPECT_EQ(window.width() - 1 - fits->geometry().right(), 10) << "the window keeps its margin";
    EXPECT_EQ(outside->geometry().top() - window.height(), 20) << "still below the window";
    expectFits(&window);
}

// The longest designed line of any box: the newer-version notice.
TEST_F(TextFitTest, NewerVersionNoticeKeepsItsLines) {
    QtDesktop real;
    QStringList faults;
    bool seen = false;
    test::whenModalShown(QString(), [&](QWidget* box) {
        seen = QTest::qWaitForWindowExposed(box);
        faults = misfits(box);
        box->close();
    });
    real.message(
        nullptr, QStringLiteral("お知らせ"),
        QStringLiteral("現在ご使用のバージョンよりも新しいバージョンが公開されています。\r\n"
                       "クイブロはサーバーと連動して動作しますので、最新バージョン以外は"
                       "使用できません。\r\n今すぐダウンロードページを開きますか？"),
        MsgIcon::Question, MsgButtons::YesNo);
    EXPECT_TRUE(seen);
    EXPECT_EQ(faults.join(QLatin1Char('\n')).toStdString(), "");
}
