// The program folder chosen at start, and the tidying of what killed rewrites left in it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/ProgramFolder.h"
#include "support/ReferenceService.h"
#include "support/TestSupport.h"
#include "support/UserFaults.h"

using namespace quiblo;

namespace {

// r-x for everyone: nobody may write it, the owner neither unless it is root.
void makeReadOnly(const QString& folder) {
    ::chmod(QFile::encodeName(folder).constData(), 0555);
}

int modeOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) return -1;
    return int(info.st_mode & 07777);
}

}  // namespace

TEST(ProgramFolder, WritableExecutableFolderStaysTheProgramFolder) {
    test::TempFolder executable, home;
    const QString user = home.file(QStringLiteral("share/quiblo"));
    const ProgramFolderChoice choice = chooseProgramFolder(executable.path(), user);
    EXPECT_EQ(choice.folder, executable.path());
    EXPECT_TRUE(choice.writable);
    EXPECT_FALSE(QFileInfo::exists(user)) << "nothing is made for a portable copy";
    EXPECT_TRUE(QDir(executable.path())
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty())
        << "the probe left a file";
}

// Writable by its mode but not searchable: no file can be made in it, so it is no program folder.
TEST(ProgramFolder, FolderThatCannotBeSearchedIsNotTheProgramFolder) {
    test::TempFolder executable, home;
    test::openToUnprivileged(executable.path());
    ::chmod(QFile::encodeName(executable.path()).constData(), 0666);
    test::openToUnprivileged(home.path(), /*own=*/true);
    const QString user = home.file(QStringLiteral("share/quiblo"));
    const int result = test::runUnprivileged(
        [&] { return chooseProgramFolder(executable.path(), user).folder == user ? 0 : 1; });
    ::chmod(QFile::encodeName(executable.path()).constData(), 0700);
    EXPECT_EQ(result, 0) << "the folder that no file can be made in was taken";
}

TEST(ProgramFolder, ReadOnlyExecutableFolderGivesTheUserAPrivateFolder) {
    test::TempFolder executable, home;
    test::openToUnprivileged(executable.path());
    makeReadOnly(executable.path());
    test::openToUnprivileged(home.path(), /*own=*/true);
    const QString user = home.file(QStringLiteral("share/quiblo"));
    const int result = test::runUnprivileged([&] {
        const ProgramFolderChoice choice = chooseProgramFolder(executable.path(), user);
        if (choice.folder != user) return 1;
        if (!choice.writable) return 2;
        if (modeOf(user) != 0700) return 3;
        // Decided once: a second start finds the folder and keeps it as it is.
        if (chooseProgramFolder(executable.path(), user).folder != user) return 4;
        return 0;
    });
    EXPECT_EQ(result, 0) << "1 other folder, 2 not writable, 3 not private, 4 changed";
}

TEST(ProgramFolder, NeitherFolderWritableIsToldAndNamesTheUsersFolder) {
    test::TempFolder executable, home;
    test::openToUnprivileged(executable.path());
    makeReadOnly(executable.path());
    test::openToUnprivileged(home.path());
    makeReadOnly(home.path());
    const QString user = home.file(QStringLiteral("share/quiblo"));
    const int result = test::runUnprivileged([&] {
        const ProgramFolderChoice choice = chooseProgramFolder(executable.path(), user);
        if (choice.folder != user) return 1;
        return choice.writable ? 2 : 0;
    });
    EXPECT_EQ(result, 0) << "1 other folder, 2 said to be writable";
}

TEST(ProgramFolder, StaleRewriteFilesOfTheProgramsOwnNamingAreRemoved) {
    test::TempFolder folder;
    const QStringList stale = {QStringLiteral("Quiblo.dat.aB3xYz"),
                               QStringLiteral("Quiblo.ini.Q1w2E3"),
                               QStringLiteral("Quiblo.dat.000000")};
    const QStringList kept = {QStringLiteral("Quiblo.dat"),
                              QStringLiteral("Quiblo.ini"),
                              QStringLiteral("Quiblo.dat.bak"),
                              QStringLiteral("Quiblo.dat.aB3xY"),
                              QStringLiteral("Quiblo.dat.aB3xYz7"),
                              QStringLiteral("Quiblo.dat.aB3-Yz"),
                              QStringLiteral("other.ini.aB3xYz"),
                              QStringLiteral("tmp_123.png"),
                              QStringLiteral("target")};
    for (const QString& name : stale + kept) folder.write(name, "x");
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("Quiblo.ini.DiRdIr")));
    ASSERT_TRUE(QFile::link(folder.file(QStringLiteral("target")),
                            folder.file(QStringLiteral("Quiblo.dat.LiNk00"))));

    removeStaleRewriteFiles(folder.path(),
                            {QStringLiteral("Quiblo.dat"), QStringLiteral("Quiblo.ini")});

    for (const QString& name : stale)
        EXPECT_FALSE(QFileInfo::exists(folder.file(name))) << name.toStdString();
    for (const QString& name : kept)
        EXPECT_TRUE(QFileInfo::exists(folder.file(name))) << name.toStdString();
    EXPECT_TRUE(QFileInfo(folder.file(QStringLiteral("Quiblo.ini.DiRdIr"))).isDir());
    EXPECT_TRUE(QFileInfo(folder.file(QStringLiteral("Quiblo.dat.LiNk00"))).isSymLink());
}

// An installed copy keeps its data in the user's folder even where it may write its own folder,
// as root may write /usr/bin; a build or a portable copy (the library beside it) uses its own.
TEST(ProgramFolder, InstalledCopyUsesTheUsersFolderEvenWhereItCanWriteItsOwn) {
    test::TempFolder prefix, home;
    ASSERT_TRUE(QDir(prefix.path()).mkpath(QStringLiteral("bin")));
    ASSERT_TRUE(QDir(prefix.path()).mkpath(QStringLiteral("lib/quiblo")));
    prefix.write(QStringLiteral("lib/quiblo/libimgctl.so"), "library");
    const QString bin = prefix.file(QStringLiteral("bin"));
    ASSERT_TRUE(isWritableFolder(bin));
    EXPECT_TRUE(isInstalledCopy(bin));
    const QString user = home.file(QStringLiteral("share/quiblo"));
    const ProgramFolderChoice choice = chooseProgramFolder(bin, user, isInstalledCopy(bin));
    EXPECT_EQ(choice.folder, user);
    EXPECT_TRUE(choice.writable);
    EXPECT_EQ(modeOf(user), 0700);
    EXPECT_TRUE(QDir(bin).isEmpty()) << "the installed copy wrote into its bin folder";

    prefix.write(QStringLiteral("bin/libimgctl.so"), "library");  // a portable copy's layout
    EXPECT_FALSE(isInstalledCopy(bin));
}

TEST(ProgramFolder, UsersFolderFollowsOnlyAnAbsoluteDataHomeAndNeedsHome) {
    test::TempFolder home;
    test::ScopedEnv homeEnv("HOME", home.path().toUtf8());
    {
        test::ScopedEnv data("XDG_DATA_HOME", "relative/data");
        EXPECT_EQ(userDataFolder(), home.path() + QStringLiteral("/.local/share/quiblo"));
    }
    {
        test::ScopedEnv data("XDG_DATA_HOME", home.file(QStringLiteral("data")).toUtf8());
        EXPECT_EQ(userDataFolder(), home.file(QStringLiteral("data/quiblo")));
    }
    test::ScopedEnv data("XDG_DATA_HOME", QByteArray());
    ::unsetenv("HOME");
    EXPECT_TRUE(userDataFolder().isEmpty());
    const bool rootHadOne = QFileInfo::exists(QStringLiteral("/.local/share/quiblo"));
    const ProgramFolderChoice choice = chooseProgramFolder(home.path(), userDataFolder(), true);
    EXPECT_TRUE(choice.folder.isEmpty());
    EXPECT_FALSE(choice.writable);
    EXPECT_TRUE(choice.warning.contains(QStringLiteral("HOME"))) << choice.warning.toStdString();
    EXPECT_EQ(QFileInfo::exists(QStringLiteral("/.local/share/quiblo")), rootHadOne);
    EXPECT_TRUE(programFile(choice.folder, QStringLiteral("Quiblo.ini")).isEmpty())
        << "a file at the root instead";
}

// An existing data folder that is a link, open to others or another user's is refused with a
// message naming it, and nothing is written through it.
TEST(ProgramFolder, DataFolderThatIsALinkOpenOrAnothersIsRefused) {
    test::TempFolder home, elsewhere;
    const QString user = home.file(QStringLiteral("quiblo"));
    auto refused = [&](const char* what) {
        const ProgramFolderChoice choice = chooseProgramFolder(home.path(), user, true);
        EXPECT_TRUE(choice.folder.isEmpty()) << what;
        EXPECT_FALSE(choice.writable) << what;
        EXPECT_TRUE(choice.warning.contains(user)) << what << ": " << choice.warning.toStdString();
    };
    ASSERT_TRUE(QFile::link(elsewhere.path(), user));
    refused("a link");
    ASSERT_TRUE(QFile::remove(user));
    ASSERT_EQ(::mkdir(QFile::encodeName(user).constData(), 0755), 0);
    refused("open to others");
    if (test::runningAsRoot()) {
        ::chmod(QFile::encodeName(user).constData(), 0700);
        ASSERT_EQ(::chown(QFile::encodeName(user).constData(), 65534, 65534), 0);
        refused("another user's");
    }
    EXPECT_TRUE(QDir(elsewhere.path()).isEmpty());
}
