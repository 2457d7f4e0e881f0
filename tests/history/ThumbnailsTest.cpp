// The kept pictures of past uploads: written small through the image library, never through a
// link or to a path a damaged history names, read and taken from the service only when small,
// and removed with their entries.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include "history/HistoryFile.h"
#include "history/Thumbnails.h"
#include "imagelib/ImgctlLibrary.h"
#include "support/TestSupport.h"

using namespace quiblo;
using namespace quiblo::test;

namespace {

const QString kCode = QStringLiteral("123456789012345678");

QImage filled(int width, int height, QRgb colour) {
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

QByteArray pngOf(const QImage& picture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

class ThumbnailsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(imgctl.probe(), ImgctlLibrary::Probe::Loaded); }

    ImgctlLibrary imgctl{buildProgramFolder()};
    TempFolder folder;
};

}  // namespace

TEST_F(ThumbnailsTest, KeptPictureIsAShrunkPngInAPrivateFolder) {
    ASSERT_TRUE(keepThumbnail(imgctl, folder.path(), kCode, filled(4000, 1000, 0xff2080c0)));
    const QImage kept(thumbnailPath(folder.path(), kCode), "PNG");
    EXPECT_EQ(kept.size(), QSize(320, 80));
    EXPECT_EQ(kept.pixel(160, 40), 0xff2080c0u);
    EXPECT_EQ(readThumbnail(folder.path(), kCode).size(), QSize(320, 80));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(thumbnailFolder(folder.path())).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // A small picture is kept as it is, never enlarged.
    const QImage small = patternPicture(100, 50);
    ASSERT_TRUE(keepThumbnail(imgctl, folder.path(), kCode, small));
    EXPECT_EQ(readThumbnail(folder.path(), kCode).convertToFormat(QImage::Format_RGB32),
              small.convertToFormat(QImage::Format_RGB32));

    removeThumbnail(folder.path(), kCode);
    EXPECT_FALSE(QFile::exists(thumbnailPath(folder.path(), kCode)));
    EXPECT_TRUE(readThumbnail(folder.path(), kCode).isNull());
}

TEST_F(ThumbnailsTest, NothingIsWrittenThroughALinkOrWhereADamagedRecordPoints) {
    // A code that is not 18 digits names no file.
    for (const QString& bad :
         {QStringLiteral("../../../../tmp/x"), QStringLiteral("12345678901234567"), QString()}) {
        EXPECT_TRUE(thumbnailPath(folder.path(), bad).isEmpty()) << bad.toStdString();
        EXPECT_FALSE(keepThumbnail(imgctl, folder.path(), bad, filled(10, 10, 0xff000000)));
    }
    // A link at the file's place is replaced; what it pointed at stays as it was.
    TempFolder outside;
    outside.write(QStringLiteral("precious"), "keep");
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("thumbs")));
    ASSERT_TRUE(
        QFile::link(outside.file(QStringLiteral("precious")), thumbnailPath(folder.path(), kCode)));
    ASSERT_TRUE(keepThumbnail(imgctl, folder.path(), kCode, filled(10, 10, 0xff000000)));
    EXPECT_FALSE(QFileInfo(thumbnailPath(folder.path(), kCode)).isSymLink());
    EXPECT_EQ(outside.read(QStringLiteral("precious")), "keep");
    // A linked folder is not used at all.
    TempFolder other;
    ASSERT_TRUE(QDir(thumbnailFolder(folder.path())).removeRecursively());
    ASSERT_TRUE(QFile::link(other.path(), thumbnailFolder(folder.path())));
    EXPECT_FALSE(keepThumbnail(imgctl, folder.path(), kCode, filled(10, 10, 0xff000000)));
    EXPECT_TRUE(QDir(other.path()).isEmpty());
    // Nor is a file in place of the folder.
    ASSERT_TRUE(QFile::remove(thumbnailFolder(folder.path())));
    folder.write(QStringLiteral("thumbs"), "a file");
    EXPECT_FALSE(keepThumbnail(imgctl, folder.path(), kCode, filled(10, 10, 0xff000000)));
    EXPECT_EQ(folder.read(QStringLiteral("thumbs")), "a file");
}

TEST_F(ThumbnailsTest, ServicePicturesAreTakenOnlyWhenSmallPngs) {
    EXPECT_EQ(thumbnailFromService(pngOf(filled(320, 180, 0xff00ff00))).size(), QSize(320, 180));
    EXPECT_EQ(thumbnailFromService(pngOf(filled(1000, 500, 0xff00ff00))).size(), QSize(320, 160));
    EXPECT_TRUE(thumbnailFromService(pngOf(filled(2000, 10, 0xff00ff00))).isNull());
    EXPECT_TRUE(thumbnailFromService("<html>404</html>").isNull());
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    filled(20, 20, 0xff00ff00).save(&buffer, "JPEG");
    EXPECT_TRUE(thumbnailFromService(jpeg).isNull()) << "only PNG is read";
    const QByteArray whole = pngOf(patternPicture(300, 300));
    EXPECT_FALSE(thumbnailFromService(whole).isNull());
    EXPECT_TRUE(thumbnailFromService(whole.left(whole.size() / 2)).isNull()) << "a cut one is none";
}

TEST_F(ThumbnailsTest, OnlyPicturesOfEntriesGoneFromTheHistoryAreRemoved) {
    const QString other = QStringLiteral("999999999999999999");
    EXPECT_TRUE(removeOrphanThumbnails(folder.path())) << "no folder: nothing to do";
    AppendHistoryRecord(folder.path(), kCode, QStringLiteral("20261210120000"));
    for (const QString& code : {kCode, other})
        ASSERT_TRUE(keepThumbnail(imgctl, folder.path(), code, filled(10, 10, 0xff000000)));
    folder.write(QStringLiteral("thumbs/notes.txt"), "mine");

    EXPECT_TRUE(removeOrphanThumbnails(folder.path()));
    EXPECT_TRUE(QFile::exists(thumbnailPath(folder.path(), kCode)));
    EXPECT_FALSE(QFile::exists(thumbnailPath(folder.path(), other)));
    EXPECT_EQ(folder.read(QStringLiteral("thumbs/notes.txt")), "mine");

    // A history that cannot be read removes nothing; one that is missing lists nothing.
    ASSERT_TRUE(QFile::remove(historyFilePath(folder.path())));
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/mem"), historyFilePath(folder.path())));
    EXPECT_FALSE(removeOrphanThumbnails(folder.path()));
    EXPECT_TRUE(QFile::exists(thumbnailPath(folder.path(), kCode)));
    ASSERT_TRUE(QFile::remove(historyFilePath(folder.path())));
    EXPECT_TRUE(removeOrphanThumbnails(folder.path()));
    EXPECT_FALSE(QFile::exists(thumbnailPath(folder.path(), kCode)));
}
