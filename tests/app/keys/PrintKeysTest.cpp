// The plain parts of binding the Print key: GSettings lists read and written back, the desktop
// told from the session's variables, and the lines offered where the program cannot bind.
#include <gtest/gtest.h>

#include "app/keys/KeyRules.h"
#include "app/keys/PrintKeys.h"
#include "support/ScriptedDesktop.h"
#include "support/TestSupport.h"

using namespace quiblo;

TEST(PrintKeys, StringListsReadAsGsettingsPrintsThemAndWriteBackTheSame) {
    const std::pair<const char*, QStringList> cases[] = {
        {"@as []", {}},
        {"[]", {}},
        {"['Print']", {QStringLiteral("Print")}},
        {"['<Shift>Print', '<Super>p']",
         {QStringLiteral("<Shift>Print"), QStringLiteral("<Super>p")}},
        {"[\"it's\", 'back\\\\slash']", {QStringLiteral("it's"), QStringLiteral("back\\slash")}},
        {"['/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/custom0/']",
         {QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/"
                         "custom0/")}},
    };
    for (const auto& [text, list] : cases) {
        EXPECT_EQ(parseStringList(QString::fromUtf8(text)), list) << text;
        EXPECT_EQ(parseStringList(stringListText(list)), list) << text;
    }
    for (const char* broken : {"", "Print", "['Print'", "['Print' 'x']", "['Print',]", "[Print]"})
        EXPECT_FALSE(parseStringList(QString::fromLatin1(broken))) << broken;
}

// What a tool gets back: all it had while it holds what it was left; after a change of the
// user's, its present keys and those taken from it that it lacks.
TEST(PrintKeys, ToolGetsBackWhatWasTakenAndKeepsWhatTheUserSetSince) {
    const FreedKeys<QStringList> freed{{"Print", "<Super>p"}, {"<Super>p"}};
    EXPECT_EQ(toolKeys<QStringList>(std::nullopt, {"<Super>s"}), QStringList{"<Super>s"});
    EXPECT_EQ(toolKeys<QStringList>(freed, {"<Super>p"}), (QStringList{"Print", "<Super>p"}));
    EXPECT_EQ(toolKeys<QStringList>(freed, {"<Super>s"}), (QStringList{"<Super>s", "Print"}));
    EXPECT_EQ(toolKeys<QStringList>(freed, {"Print", "<Super>s"}),
              (QStringList{"Print", "<Super>s"}));
    EXPECT_EQ(toolKeys<QStringList>(freed, {}), QStringList{"Print"})
        << "a key the user removed since stays removed";
}

TEST(PrintKeys, DesktopIsToldFromTheSessionsVariables) {
    EXPECT_EQ(keyDesktopOf(QStringLiteral("ubuntu:GNOME"), false, false), KeyDesktop::Gnome);
    EXPECT_EQ(keyDesktopOf(QStringLiteral("KDE"), false, false), KeyDesktop::Kde);
    EXPECT_EQ(keyDesktopOf(QStringLiteral("XFCE"), false, false), KeyDesktop::Xfce);
    EXPECT_EQ(keyDesktopOf(QStringLiteral("sway"), false, false), KeyDesktop::Sway);
    EXPECT_EQ(keyDesktopOf(QString(), true, false), KeyDesktop::Sway);
    EXPECT_EQ(keyDesktopOf(QStringLiteral("i3"), false, false), KeyDesktop::I3);
    EXPECT_EQ(keyDesktopOf(QStringLiteral("LXQt"), false, false), KeyDesktop::Other);
    // GNOME Flashback is GNOME's keys, not Xfce's though it names others.
    EXPECT_EQ(keyDesktopOf(QStringLiteral("GNOME-Flashback:GNOME"), false, false),
              KeyDesktop::Gnome);
}

TEST(PrintKeys, WhereTheProgramCannotBindItShowsTheLinesAndChangesNothing) {
    const QString program = test::buildProgramFolder() + QStringLiteral("/quiblo");
    ScriptedDesktop desktop;
    KeyRequest request;
    request.program = program;
    request.desktop = KeyDesktop::Sway;
    request.run = [](const QString& name, const QStringList&, QString*) -> std::optional<QString> {
        ADD_FAILURE() << "ran " << name.toStdString();
        return {};
    };
    EXPECT_EQ(changePrintKeys(desktop, request), 0);
    ASSERT_EQ(desktop.shownBoxes.size(), 1);
    EXPECT_EQ(desktop.shownBoxes[0].icon, MsgIcon::Information);
    const QString text = desktop.shownBoxes[0].text;
    for (const char* line :
         {"bindsym Print exec %1 --capture full", "bindsym Alt+Print exec %1 --capture window",
          "bindsym Shift+Print exec %1 --capture region"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(line).arg(program))) << text.toStdString();
    EXPECT_EQ(captureCommand(program, QStringLiteral("full")),
              program + QStringLiteral(" --capture full"))
        << "a build not on the PATH is named by its path";
}
