// The program in the desktop's language, as a person starts it: under LANG=en_US.UTF-8 it speaks
// English without a Japanese character, under ja_JP.UTF-8 exactly as before. The main window,
// the settings, the history and the confirmation are reached by real keys under openbox, and in
// both languages every window and box shows each of its texts whole, in the fonts it really uses.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include "MainWinOnDesktop.h"
#include "app/Artwork.h"
#include "app/CommandLine.h"
#include "app/VersionWin.h"
#include "capture/PosSelectWin.h"
#include "confirm/LoadMspaintWin.h"
#include "history/DeleteWin.h"
#include "platform/Desktop.h"
#include "platform/Lines.h"
#include "platform/Translation.h"
#include "settings/LanguageSetting.h"
#include "settings/SettingsWin.h"
#include "support/TestSupport.h"
#include "support/TextFitCheck.h"
#include "upload/SendDataWin.h"

using namespace quiblo;

namespace {

bool japaneseDesktop() {
    return qEnvironmentVariable("LANG").startsWith(QLatin1String("ja"));
}

class LanguageTest : public test::MainWinOnDesktop {
protected:
    void SetUp() override {
        // As the program starts: the language of its folder's setting (none), else the desktop's.
        useLanguage(*qApp, chosenLanguage(folder.path()));
        useProgramFont(*qApp);
        ASSERT_NO_FATAL_FAILURE(startMainWin());
    }

    // The window speaks the desktop's language, and shows each text whole.
    void expectSpoken(const QWidget* window, const QStringList& bothLanguages = {}) {
        SCOPED_TRACE(window->objectName().toStdString());
        const QStringList texts = test::shownTexts(window);
        EXPECT_GT(texts.size(), 1);
        if (japaneseDesktop()) {
            EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("クイブロ")))
                << window->windowTitle().toStdString();
        } else {
            EXPECT_TRUE(window->windowTitle().startsWith(QLatin1String("Quiblo")))
                << window->windowTitle().toStdString();
            for (const QString& text : texts) {
                if (!bothLanguages.contains(text)) {
                    EXPECT_FALSE(test::hasJapanese(text)) << text.toStdString();
                }
            }
        }
        const QStringList faults = test::textFaults(window);
        EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();
    }

    // Opens a modal window by a key, checks it, and closes it by Escape.
    void openByKey(const char* key, const char* name, const QStringList& bothLanguages = {}) {
        bool checked = false;
        test::whenModalShown(QString::fromLatin1(name), [&](QWidget* window) {
            expectSpoken(window, bothLanguages);
            checked = true;
            session().xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
            QTimer::singleShot(5000, window, &QWidget::close);  // the test fails, never hangs
        });
        this->key(key);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return checked && QApplication::activeModalWidget() == nullptr; }, 10000))
            << name;
    }
};

}  // namespace

TEST_F(LanguageTest, EveryWindowSpeaksTheDesktopsLanguageAndShowsItsTextsWhole) {
    expectSpoken(win.get());
    if (japaneseDesktop()) {
        EXPECT_EQ(win->windowTitle(), QStringLiteral("クイブロ  v1.3"));
        EXPECT_EQ(win->QuibloCmd->text(), QStringLiteral("クイブロ"));
        EXPECT_EQ(win->Explanation->text(),
                  QStringLiteral("クイブロは、簡単に自分の画面をインターネット上の\n"
                                 "ほかのユーザーに見せる事ができるソフトです。\n"
                                 "掲示板への一時的な画像投稿などにお役立てください。"));
    } else {
        EXPECT_EQ(win->windowTitle(), QStringLiteral("Quiblo v1.3"));
    }
    // The settings (F9), whose language caption and 日本語 stay as they are in both languages.
    openByKey("F9", "SettingsWin",
              {QStringLiteral("- 言語 / Language"), QStringLiteral("・言語 / Language"),
               QStringLiteral("日本語")});
    openByKey("F8", "DeleteWin");
    // The confirmation of a full-screen capture (F2, F5); Escape declines it.
    key("F2");
    openByKey("F5", "PreviewWin");
    EXPECT_TRUE(QTest::qWaitFor([&] { return state->UploadFailed; }, 5000));

    VersionWin version(desktop, win.get());
    version.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&version));
    expectSpoken(&version);
    LoadMspaintWin drawing(desktop, folder.file(QStringLiteral("tmp_0.png")), win.get());
    drawing.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&drawing));
    expectSpoken(&drawing);
    PosSelectWin region(desktop, test::patternPicture(1024, 768));
    region.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&region));
    const QStringList faults = test::textFaults(&region);
    EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();
    region.close();

    // The upload window with the longest of its status lines.
    UploadHooks hooks;
    hooks.desktop = &desktop;
    hooks.programFolder = folder.path();
    // Not shown: shown, it would start to upload. Its layout is measured as it is.
    SendDataWin sending(hooks, test::patternPicture(20, 20), false, win.get());
    for (const QString& status :
         {QCoreApplication::translate("quiblo::UploadJob", "Registering the upload... failed"),
          QCoreApplication::translate("quiblo::UploadJob", "Uploading... [ %1 / %2 bytes ]")
              .arg(QStringLiteral("499999"), QStringLiteral("499999")),
          QCoreApplication::translate("quiblo::UploadJob", "Connected to the upload server.")}) {
        sending.Status->setText(status);
        expectSpoken(&sending);
    }
    // The boxes the windows showed on the way (the history file is missing, say).
    ASSERT_FALSE(desktop.shownBoxes.isEmpty());
    for (const MessageBoxRequest& box : desktop.shownBoxes)
        EXPECT_EQ(test::hasJapanese(box.title + box.text), japaneseDesktop())
            << box.text.toStdString();
}

TEST_F(LanguageTest, MessageBoxesShowTheirTextsWhole) {
    QtDesktop real;
    const QStringList texts = {
        QCoreApplication::translate("ReducedPicture",
                                    "The picture is too large to upload as it is.\n"
                                    "Upload it at half size with fewer colours (%1x%2, 256 "
                                    "colours, %3 bytes)?")
            .arg(QStringLiteral("1920"), QStringLiteral("1080"), QStringLiteral("499,999")),
        QCoreApplication::translate("quiblo::UploadJob",
                                    "A newer version of Quiblo is available.\n"
                                    "Quiblo works together with its server, so only the newest "
                                    "version can upload.\n"
                                    "Open the download page now?"),
        QCoreApplication::translate("Replies",
                                    "The upload key is wrong or missing, so you cannot upload.\n"
                                    "Check the upload key in Settings.\n"
                                    "(The server's administrator gives you the key.)"),
        QCoreApplication::translate("Replies",
                                    "Quiblo usage\n%1\nUploads so far: %2\nLimit: %4 in any %3 "
                                    "hours\n\nUploads left: %5")
            .arg(QString(30, QLatin1Char('-')), QStringLiteral("3"), QStringLiteral("24"),
                 QStringLiteral("30"), QStringLiteral("27"))};
    for (const QString& text : texts) {
        bool checked = false;
        QTimer poll;
        poll.callOnTimeout([&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || checked || !box->isVisible()) return;
            checked = true;
            EXPECT_EQ(japaneseDesktop(), test::hasJapanese(box->text())) << text.toStdString();
            const QStringList faults = test::textFaults(box);
            EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();
            // Yes/No in the desktop's language too (Qt's own texts).
            EXPECT_EQ(japaneseDesktop(),
                      box->button(QMessageBox::Yes)->text().startsWith(QStringLiteral("はい")));
            session().xdotool({QStringLiteral("key"), QStringLiteral("Return")});
            QTimer::singleShot(5000, box, &QWidget::close);
        });
        poll.start(50);
        real.message(win.get(), QStringLiteral("Quiblo"), crLf(text), MsgIcon::Question,
                     MsgButtons::YesNo);
        EXPECT_TRUE(checked) << text.toStdString();
    }
}

// The setting wins over the desktop: Language=ja on an English desktop gives today's Japanese,
// en the English, auto (or none) the desktop's; the system-wide file may set it too.
TEST(LanguageSettingTest, TheSettingWinsOverTheDesktop) {
    test::TempFolder user;
    test::TempFolder system;
    qputenv("XDG_CONFIG_DIRS", system.path().toUtf8());
    const Language desktopLanguage = japaneseDesktop() ? Language::Japanese : Language::English;
    const auto titleFor = [&] {
        useLanguage(*qApp, chosenLanguage(user.path()));
        return QCoreApplication::translate("quiblo::MainWin", "Quiblo v$major.$minor")
            .replace(QLatin1String("$major.$minor"), QLatin1String("1.3"));
    };
    EXPECT_EQ(chosenLanguage(user.path()), desktopLanguage);
    user.write(QStringLiteral("Quiblo.ini"), "[Quiblo]\r\nLanguage=ja\r\n");
    EXPECT_EQ(titleFor(), QStringLiteral("クイブロ  v1.3"));
    user.write(QStringLiteral("Quiblo.ini"), "[Quiblo]\r\nLanguage=en\r\n");
    EXPECT_EQ(titleFor(), QStringLiteral("Quiblo v1.3"));
    QDir().mkpath(system.file(QStringLiteral("quiblo")));
    system.write(QStringLiteral("quiblo/Quiblo.ini"), "[Quiblo]\r\nLanguage=ja\r\n");
    EXPECT_EQ(chosenLanguage(user.path()), Language::English) << "the user's file comes first";
    user.write(QStringLiteral("Quiblo.ini"), "[Quiblo]\r\nWait=200\r\n");
    EXPECT_EQ(chosenLanguage(user.path()), Language::Japanese) << "the system-wide file";
    user.write(QStringLiteral("Quiblo.ini"), "[Quiblo]\r\nLanguage=auto\r\n");
    EXPECT_EQ(chosenLanguage(user.path()), desktopLanguage);
    qunsetenv("XDG_CONFIG_DIRS");
    useLanguage(*qApp, desktopLanguage);
}

// --help of the real program, started as a person starts it from a terminal.
TEST(LanguageHelpTest, HelpIsInTheDesktopsLanguage) {
    QProcess program;
    program.start(test::buildProgramFolder() + QStringLiteral("/quiblo"),
                  {QStringLiteral("--help")});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitCode(), 0);
    const QString help = QString::fromUtf8(program.readAllStandardOutput());
    if (japaneseDesktop()) {
        EXPECT_TRUE(help.startsWith(QStringLiteral(
            "使い方: quiblo [--capture full|window|region] [--bind-keys] [--unbind-keys]\n\n"
            "  --capture full     全画面を撮影する\n")))
            << help.toStdString();
    } else {
        EXPECT_TRUE(help.startsWith(QLatin1String("Usage: quiblo"))) << help.toStdString();
        EXPECT_FALSE(test::hasJapanese(help)) << help.toStdString();
    }
}
