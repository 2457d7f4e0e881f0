#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "platform/Desktop.h"

using namespace quiblo;

namespace {

struct SeenBox {
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QStringList buttons;
    QString defaultButton;
};

// Looks at the box that the real desktop shows, then presses the named button.
SeenBox showAndPress(const MessageBoxRequest& request, QMessageBox::StandardButton press,
                     MsgAnswer* answer) {
    SeenBox seen;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen.text = box->text();
        seen.format = box->textFormat();
        seen.icon = box->icon();
        seen.title = box->windowTitle();
        for (QAbstractButton* b : box->buttons()) seen.buttons << b->text();
        if (box->defaultButton()) seen.defaultButton = box->defaultButton()->text();
        box->button(press)->click();
    });
    QtDesktop desktop;
    *answer = desktop.messageBox(nullptr, request);
    return seen;
}

}  // namespace

TEST(QtDesktop, MessageTextIsPlainAndBreaksAtCrLf) {
    MsgAnswer answer = MsgAnswer::None;
    SeenBox seen = showAndPress({QStringLiteral("エラー"), QStringLiteral("<b>reply</b>\r\n2行目"),
                                 MsgIcon::Critical, MsgButtons::Ok, MsgAnswer::None},
                                QMessageBox::Ok, &answer);
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_EQ(seen.text, QStringLiteral("<b>reply</b>\n2行目"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.title, QStringLiteral("エラー"));
    EXPECT_EQ(answer, MsgAnswer::Ok);
}

TEST(QtDesktop, YesNoButtonsAreJapaneseAndHonourTheDefault) {
    MsgAnswer answer = MsgAnswer::None;
    SeenBox seen = showAndPress({QStringLiteral("確認"), QStringLiteral("キャンセルしますか？"),
                                 MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::No},
                                QMessageBox::No, &answer);
    EXPECT_TRUE(seen.buttons.contains(QStringLiteral("はい(&Y)")))
        << seen.buttons.join(',').toStdString();
    EXPECT_TRUE(seen.buttons.contains(QStringLiteral("いいえ(&N)")));
    EXPECT_EQ(seen.defaultButton, QStringLiteral("いいえ(&N)"));
    EXPECT_EQ(answer, MsgAnswer::No);

    seen = showAndPress({QStringLiteral("確認"), QStringLiteral("?"), MsgIcon::Question,
                         MsgButtons::YesNo, MsgAnswer::None},
                        QMessageBox::Yes, &answer);
    EXPECT_EQ(seen.defaultButton, QStringLiteral("はい(&Y)")) << "the first button is the default";
    EXPECT_EQ(answer, MsgAnswer::Yes);
}
