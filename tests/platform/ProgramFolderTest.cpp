// The program folder chosen at start, and the tidying of what killed rewrites left in it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/ProgramFolder.h"
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
