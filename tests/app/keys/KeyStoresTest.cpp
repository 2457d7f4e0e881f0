// Each desktop's key store as the Print key change leaves it, against stand-ins that keep the
// store in memory and can fail at any write: GNOME's `gsettings`, Xfce's `xfconf-query` and
// KDE's global shortcuts service. A bind failing at its Nth write leaves the store and the
// memory in Quiblo.ini exactly as they were, for every N; what the user changed between two
// binds is what unbinding gives back; with a Quiblo.ini that cannot be written nothing is bound.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMap>
#include <functional>

#include "app/keys/KdeKeys.h"
#include "app/keys/PrintKeys.h"
#include "support/ScriptedDesktop.h"
#include "support/TestSupport.h"

using namespace quiblo;

namespace {

// Counts the writes and fails the one numbered `failAt` (from 1; 0: none).
struct Writes {
    int count = 0;
    int failAt = 0;
    bool fails() { return ++count == failAt; }
};

// `gsettings get|set|reset SCHEMA[:PATH] KEY [VALUE]`: the keys set, by "schema key".
class StandInGsettings {
public:
    QMap<QString, QString> values;
    Writes writes;

    std::optional<QString> run(const QString& program, const QStringList& arguments,
                               QString* error) {
        EXPECT_EQ(program, QStringLiteral("gsettings"));
        const QString key = arguments.value(1) + QLatin1Char(' ') + arguments.value(2);
        if (arguments[0] == QLatin1String("get")) return values.value(key, defaultOf(key));
        if (writes.fails()) {
            *error = QStringLiteral("gsettings: the disk is full");
            return {};
        }
        if (arguments[0] == QLatin1String("set")) values[key] = arguments.value(3);
        if (arguments[0] == QLatin1String("reset")) values.remove(key);
        return QString();
    }

private:
    static QString defaultOf(const QString& key) {
        return key.endsWith(QLatin1String("custom-keybindings")) ? QStringLiteral("@as []")
                                                                 : QStringLiteral("''");
    }
};

// `xfconf-query -c CHANNEL -l | -p PROPERTY [-n -t string] [-s VALUE | -r]`.
class StandInXfconf {
public:
    QMap<QString, QString> values;
    Writes writes;

    std::optional<QString> run(const QString& program, const QStringList& arguments,
                               QString* error) {
        EXPECT_EQ(program, QStringLiteral("xfconf-query"));
        if (arguments.contains(QLatin1String("-l"))) return values.keys().join(QLatin1Char('\n'));
        const QString property = arguments.value(arguments.indexOf(QLatin1String("-p")) + 1);
        const qsizetype set = arguments.indexOf(QLatin1String("-s"));
        const bool remove = arguments.contains(QLatin1String("-r"));
        if (set < 0 && !remove) {
            if (!values.contains(property)) *error = QStringLiteral("no such property");
            return values.contains(property) ? std::optional(values[property]) : std::nullopt;
        }
        if (writes.fails() ||
            (set >= 0 && !arguments.contains(QLatin1String("-n")) && !values.contains(property))) {
            *error = QStringLiteral("xfconf-query: the disk is full");
            return {};
        }
        if (remove)
            values.remove(property);
        else
            values[property] = arguments.value(set + 1);
        return QString();
    }
};

// kglobalaccel: the registered actions, by component and action name, with their keys.
class StandInGlobalAccel : public GlobalAccel {
public:
    QMap<QStringList, QList<int>> keys;
    Writes writes;

    QList<QStringList> actionsOf(const QString& component) override {
        QList<QStringList> actions;
        for (const QStringList& id : keys.keys())
            if (id[0] == component) actions << (id + QStringList{QString(), QString()});
        return actions;
    }
    QList<int> shortcut(const QStringList& action) override { return keys.value(id(action)); }
    void setForeignShortcut(const QStringList& action, const QList<int>& codes) override {
        write();
        if (keys.contains(id(action))) keys[id(action)] = codes;
    }
    void registerAction(const QStringList& action) override {
        write();
        if (!keys.contains(id(action))) keys[id(action)] = {};
    }
    void setShortcut(const QStringList& action, const QList<int>& codes) override {
        write();
        keys[id(action)] = codes;
    }
    void unregister(const QStringList& action) override {
        write();
        keys.remove(id(action));
    }

private:
    static QStringList id(const QStringList& action) { return action.mid(0, 2); }
    void write() {
        if (writes.fails()) throw StepFailed{QStringLiteral("kglobalaccel: the disk is full")};
    }
};

constexpr int kPrint = Qt::Key_Print, kShiftPrint = int(Qt::ShiftModifier) | Qt::Key_Print;
constexpr int kMetaPrint = int(Qt::MetaModifier) | Qt::Key_Print;
constexpr int kMetaS = int(Qt::MetaModifier) | Qt::Key_S;
const QString kShell = QStringLiteral("org.gnome.shell.keybindings ");
const QString kXfcePrint = QStringLiteral("/commands/custom/Print");
const QStringList kLaunch = {QStringLiteral("org.kde.spectacle.desktop"),
                             QStringLiteral("_launch")};

// One desktop's stand-in store, its state as text for comparing, and a change run against it.
class KeyStores : public ::testing::Test {
protected:
    void SetUp() override {
        gsettings.values = {
            {kShell + QStringLiteral("show-screenshot-ui"), QStringLiteral("['Print']")},
            {kShell + QStringLiteral("screenshot"), QStringLiteral("['<Shift>Print', '<Super>p']")},
            {kShell + QStringLiteral("screenshot-window"), QStringLiteral("['<Alt>Print']")},
            {QStringLiteral("org.gnome.settings-daemon.plugins.media-keys "
                            "custom-keybindings"),
             QStringLiteral("['/org/gnome/custom0/']")}};
        xfconf.values = {{kXfcePrint, QStringLiteral("xfce4-screenshooter -f")},
                         {QStringLiteral("/commands/custom/<Super>e"), QStringLiteral("thunar")}};
        accel.keys = {{kLaunch, {kPrint}},
                      {{kLaunch[0], QStringLiteral("FullScreenScreenShot")}, {kShiftPrint}},
                      {{kLaunch[0], QStringLiteral("ActiveWindowScreenShot")}, {kMetaPrint}}};
    }

    QString state(KeyDesktop desktop) {
        QStringList lines;
        if (desktop == KeyDesktop::Gnome)
            for (auto it = gsettings.values.begin(); it != gsettings.values.end(); ++it)
                lines << it.key() + QLatin1Char('=') + it.value();
        if (desktop == KeyDesktop::Xfce)
            for (auto it = xfconf.values.begin(); it != xfconf.values.end(); ++it)
                lines << it.key() + QLatin1Char('=') + it.value();
        if (desktop == KeyDesktop::Kde)
            for (auto it = accel.keys.begin(); it != accel.keys.end(); ++it) {
                QStringList codes;
                for (int code : it.value()) codes << QString::number(code);
                lines << it.key().join(QLatin1Char('/')) + QLatin1Char('=') + codes.join(',');
            }
        return lines.join(QLatin1Char('\n'));
    }

    int change(KeyDesktop desktop, bool bind, const QString& programFolder) {
        KeyRequest request;
        request.bind = bind;
        request.program = QStringLiteral("/opt/quiblo/quiblo");
        request.programFolder = programFolder;
        request.desktop = desktop;
        request.run = [this, desktop](const QString& program, const QStringList& arguments,
                                      QString* error) {
            return desktop == KeyDesktop::Gnome ? gsettings.run(program, arguments, error)
                                                : xfconf.run(program, arguments, error);
        };
        request.kde = &accel;
        boxes.shownBoxes.clear();
        return changePrintKeys(boxes, request);
    }
    int change(KeyDesktop desktop, bool bind) { return change(desktop, bind, folder.path()); }
    Writes& writes(KeyDesktop desktop) {
        return desktop == KeyDesktop::Gnome  ? gsettings.writes
               : desktop == KeyDesktop::Xfce ? xfconf.writes
                                             : accel.writes;
    }

    StandInGsettings gsettings;
    StandInXfconf xfconf;
    StandInGlobalAccel accel;
    ScriptedDesktop boxes;
    test::TempFolder folder;
    static constexpr KeyDesktop kDesktops[] = {KeyDesktop::Gnome, KeyDesktop::Xfce,
                                               KeyDesktop::Kde};
};

TEST_F(KeyStores, ABindFailingAtAnyWriteLeavesTheStoreAndTheMemoryAsTheyWere) {
    for (const KeyDesktop desktop : kDesktops) {
        SCOPED_TRACE(int(desktop));
        const QString before = state(desktop);
        ASSERT_EQ(change(desktop, true), 0);
        const int total = writes(desktop).count;
        ASSERT_GE(total, 3) << "each of the three keys is written";
        ASSERT_EQ(change(desktop, false), 0);
        ASSERT_EQ(state(desktop), before);
        const QByteArray memory = folder.read(QStringLiteral("Quiblo.ini"));

        for (int n = 1; n <= total; ++n) {
            SCOPED_TRACE(n);
            writes(desktop) = Writes{0, n};
            EXPECT_EQ(change(desktop, true), 1);
            EXPECT_EQ(state(desktop), before);
            EXPECT_EQ(folder.read(QStringLiteral("Quiblo.ini")), memory);
            ASSERT_EQ(boxes.shownBoxes.size(), 2);
            EXPECT_EQ(boxes.shownBoxes[1].icon, MsgIcon::Critical);
            EXPECT_TRUE(boxes.shownBoxes[1].text.contains(QStringLiteral("the disk is full")));
            // The memory is written first, so something is always taken back.
            EXPECT_TRUE(boxes.shownBoxes[1].text.contains(QStringLiteral("元に戻しました")))
                << boxes.shownBoxes[1].text.toStdString();
        }
    }
}

TEST_F(KeyStores, WhatTheUserSetBetweenTwoBindsIsWhatUnbindingGivesBack) {
    const QString gnomeKey = kShell + QStringLiteral("screenshot");
    // The user gives a taken key back to the tool by hand and adds one of their own, or binds
    // the key to another program; then binds again and unbinds. `set` the value, or the first's.
    struct UserChange {
        KeyDesktop desktop;
        std::function<void(bool)> set;
        std::function<bool()> holdsIt;
    };
    const UserChange changes[] = {
        {KeyDesktop::Gnome,
         [&](bool user) {
             gsettings.values[gnomeKey] = user ? QStringLiteral("['<Shift>Print', '<Super>s']")
                                               : QStringLiteral("['<Shift>Print', '<Super>p']");
         },
         [&] {
             return gsettings.values[gnomeKey] == QStringLiteral("['<Shift>Print', '<Super>s']");
         }},
        {KeyDesktop::Xfce,
         [&](bool user) {
             xfconf.values[kXfcePrint] =
                 user ? QStringLiteral("flameshot gui") : QStringLiteral("xfce4-screenshooter -f");
         },
         [&] { return xfconf.values[kXfcePrint] == QStringLiteral("flameshot gui"); }},
        {KeyDesktop::Kde,
         [&](bool user) {
             accel.keys[kLaunch] = user ? QList<int>{kPrint, kMetaS} : QList<int>{kPrint};
         },
         [&] {
             return accel.keys[kLaunch] == QList<int>{kPrint, kMetaS};
         }},
    };
    for (const UserChange& user : changes) {
        SCOPED_TRACE(int(user.desktop));
        const QString before = state(user.desktop);
        ASSERT_EQ(change(user.desktop, true), 0);
        user.set(true);
        ASSERT_EQ(change(user.desktop, true), 0);
        EXPECT_FALSE(user.holdsIt()) << "the second bind took the key";
        ASSERT_EQ(change(user.desktop, false), 0);
        EXPECT_TRUE(user.holdsIt()) << state(user.desktop).toStdString();
        user.set(false);
        EXPECT_EQ(state(user.desktop), before);
    }
}

TEST_F(KeyStores, KeysTheUserAddedAfterTheBindStayAndTheTakenKeysComeBack) {
    ASSERT_EQ(change(KeyDesktop::Gnome, true), 0);
    ASSERT_EQ(gsettings.values[kShell + QStringLiteral("screenshot")],
              QStringLiteral("['<Super>p']"));
    gsettings.values[kShell + QStringLiteral("screenshot")] = QStringLiteral("['<Super>s']");
    ASSERT_EQ(change(KeyDesktop::Gnome, true), 0);
    ASSERT_EQ(change(KeyDesktop::Gnome, false), 0);
    EXPECT_EQ(gsettings.values[kShell + QStringLiteral("screenshot")],
              QStringLiteral("['<Super>s', '<Shift>Print']"));
}

TEST_F(KeyStores, WithAQuibloIniThatCannotBeWrittenNothingIsBound) {
    // A folder in the file's place: not even root writes it.
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("Quiblo.ini")));
    for (const KeyDesktop desktop : kDesktops) {
        SCOPED_TRACE(int(desktop));
        const QString before = state(desktop);
        EXPECT_EQ(change(desktop, true), 1);
        EXPECT_EQ(state(desktop), before);
        ASSERT_EQ(boxes.shownBoxes.size(), 2);
        EXPECT_TRUE(boxes.shownBoxes[1].text.contains(QStringLiteral("Quiblo.ini")));
    }
}

}  // namespace
