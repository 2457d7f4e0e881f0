// The small pictures of past uploads, kept on this computer in the program folder's thumbs/,
// one PNG per picture code, at most 320 by 320: the history window shows them. They are a
// convenience: a picture that cannot be written, read or removed loses nothing else.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace quiblo {

class ImgctlLibrary;

inline constexpr int kThumbnailSide = 320;
// The list's small pictures: about 64 pixels high, as wide as a wide screen's needs.
inline constexpr QSize kListIconSize(112, 64);

// program folder + "/thumbs".
QString thumbnailFolder(const QString& programFolder);
// The file of a picture code's small picture; empty for anything but 18 digits, so that a
// damaged history line never names a path.
QString thumbnailPath(const QString& programFolder, const QString& pngcode);

// The picture shrunk to fit kThumbnailSide by kThumbnailSide, smoothly; a smaller one as it is.
QImage thumbnailOf(const QImage& picture);

// Writes thumbnailOf(picture) through the image library. The folder is made private when
// missing and refused when it is a link or not the user's; a link at the file's place is
// replaced, never followed. False when nothing was written.
bool keepThumbnail(ImgctlLibrary& imgctl, const QString& programFolder, const QString& pngcode,
                   const QImage& picture);

// A kept small picture, or a null image when there is none (or it is a link, or larger than a
// small picture may be).
QImage readThumbnail(const QString& programFolder, const QString& pngcode);

// A small picture as the service sent it: decoded only when it is a PNG of at most 1024 pixels
// a side, and shrunk as a kept one would be; else a null image.
QImage thumbnailFromService(const QByteArray& png);

void removeThumbnail(const QString& programFolder, const QString& pngcode);

// Removes the small pictures of codes that are no longer in the history (all of them when
// there is no history file; none when it cannot be read). False when one stays.
bool removeOrphanThumbnails(const QString& programFolder);

}  // namespace quiblo
