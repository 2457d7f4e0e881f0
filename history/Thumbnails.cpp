#include "history/Thumbnails.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QRegularExpression>
#include <QSet>

#include "history/HistoryFile.h"
#include "imagelib/ImgctlLibrary.h"
#include "platform/ProgramFolder.h"

namespace quiblo {

namespace {

// A small picture from elsewhere larger than this a side is not one.
constexpr int kLargestForeignSide = 1024;

bool isPictureCode(const QString& text) {
    static const QRegularExpression code(QStringLiteral("^[0-9]{18}$"));
    return code.match(text).hasMatch();
}

// lstat: what the name itself is, a link not followed.
bool isRegularFile(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

bool existsAsAnything(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// The folder, made private when missing; refused when it is a link or someone else's.
bool readyFolder(const QString& folder) {
    if (!existsAsAnything(folder)) ::mkdir(QFile::encodeName(folder).constData(), 0700);
    return isOwnFolder(folder, 022);
}

QImage readSmallPng(QImageReader& reader) {
    reader.setFormat("png");
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kLargestForeignSide ||
        size.height() > kLargestForeignSide)
        return {};
    QImage picture;
    if (!reader.read(&picture)) return {};
    // A file of few colours reads as a palette picture, which shrinks by dithering.
    return picture.convertToFormat(picture.hasAlphaChannel() ? QImage::Format_ARGB32
                                                             : QImage::Format_RGB32);
}

}  // namespace

QString thumbnailFolder(const QString& programFolder) {
    return programFile(programFolder, QStringLiteral("thumbs"));
}

QString thumbnailPath(const QString& programFolder, const QString& pngcode) {
    if (!isPictureCode(pngcode)) return {};
    return programFile(thumbnailFolder(programFolder), pngcode + QStringLiteral(".png"));
}

QImage thumbnailOf(const QImage& picture) {
    if (picture.width() <= kThumbnailSide && picture.height() <= kThumbnailSide) return picture;
    return picture.scaled(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio,
                          Qt::SmoothTransformation);
}

bool keepThumbnail(ImgctlLibrary& imgctl, const QString& programFolder, const QString& pngcode,
                   const QImage& picture) {
    const QString path = thumbnailPath(programFolder, pngcode);
    if (path.isEmpty() || picture.isNull() || !readyFolder(thumbnailFolder(programFolder)))
        return false;
    // The library follows a link at the path; whatever is there that is not a file goes first.
    if (existsAsAnything(path) && !isRegularFile(path))
        ::unlink(QFile::encodeName(path).constData());
    return imgctl.writePng(thumbnailOf(picture), path).written;
}

QImage readThumbnail(const QString& programFolder, const QString& pngcode) {
    const QString path = thumbnailPath(programFolder, pngcode);
    if (path.isEmpty() || !isRegularFile(path)) return {};
    QImageReader reader(path);
    return thumbnailOf(readSmallPng(reader));
}

QImage thumbnailFromService(const QByteArray& png) {
    // A cut file would read as far as it goes, the rest blank: a whole one ends with IEND.
    static const QByteArray end = QByteArray::fromHex("0000000049454e44ae426082");
    if (!png.endsWith(end)) return {};
    QBuffer buffer;
    buffer.setData(png);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return thumbnailOf(readSmallPng(reader));
}

void removeThumbnail(const QString& programFolder, const QString& pngcode) {
    const QString path = thumbnailPath(programFolder, pngcode);
    if (!path.isEmpty()) ::unlink(QFile::encodeName(path).constData());
}

bool removeOrphanThumbnails(const QString& programFolder) {
    const QString folder = thumbnailFolder(programFolder);
    if (folder.isEmpty() || !isOwnFolder(folder, 0)) return true;  // none kept here
    const HistoryEntries history = LoadHistoryEntries(programFolder);
    if (history.problem == HistoryProblem::Unreadable) return false;
    QSet<QString> listed;
    for (const HistoryRecord& record : history.records) listed.insert(record.pngcode);
    bool allRemoved = true;
    const QStringList names = QDir(folder).entryList({QStringLiteral("*.png")},
                                                     QDir::System | QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        const QString code = name.chopped(4);
        if (!isPictureCode(code) || listed.contains(code)) continue;
        if (::unlink(QFile::encodeName(folder + QLatin1Char('/') + name).constData()) != 0)
            allRemoved = false;
    }
    return allRemoved;
}

}  // namespace quiblo
