#include "ReducedPicture.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include "platform/Lines.h"

namespace quiblo {

namespace {

// The stronger level takes a reduced picture's bytes down by little, for many times the time:
// tried only where that may be enough.
constexpr double kStrongReach = 0.88;

}  // namespace

ReducedPicture makeReducedPicture(ImgctlLibrary& imgctl, const QImage& picture, const QString& path,
                                  qint64 limit) {
    ReducedPicture reduced;
    for (const auto size : {ImgctlLibrary::Size::Full, ImgctlLibrary::Size::Half}) {
        reduced.halved = size == ImgctlLibrary::Size::Half;
        // Halved sizes round down, as the library halves.
        reduced.size =
            reduced.halved ? QSize(picture.width() / 2, picture.height() / 2) : picture.size();
        if (reduced.size.isEmpty()) break;
        for (const auto effort : {ImgctlLibrary::Effort::Normal, ImgctlLibrary::Effort::Strong}) {
            if (effort == ImgctlLibrary::Effort::Strong &&
                double(reduced.bytes) * kStrongReach > limit)
                break;
            const ImgctlLibrary::PngResult result =
                imgctl.writeReducedPng(picture, path, size, effort);
            if (!result.written) {
                QFile::remove(path);
                reduced.outcome = ReducedPicture::Outcome::Failed;
                reduced.errorCode = result.errorCode;
                return reduced;
            }
            reduced.bytes = QFileInfo(path).size();
            if (reduced.bytes <= limit) {
                reduced.outcome = ReducedPicture::Outcome::Fits;
                return reduced;
            }
        }
    }
    QFile::remove(path);
    reduced.outcome = ReducedPicture::Outcome::TooLarge;
    return reduced;
}

QString reducedOfferText(const ReducedPicture& reduced) {
    const QString bytes = groupedDigits(reduced.bytes);
    if (!reduced.halved)
        return crLf(QCoreApplication::translate(
                        "ReducedPicture",
                        "The picture is too large to upload as it is.\n"
                        "Upload it with fewer colours (256 colours, %1 bytes)?"))
            .arg(bytes);
    return crLf(QCoreApplication::translate(
                    "ReducedPicture",
                    "The picture is too large to upload as it is.\n"
                    "Upload it at half size with fewer colours (%1x%2, 256 colours, %3 bytes)?"))
        .arg(QString::number(reduced.size.width()), QString::number(reduced.size.height()), bytes);
}

QString groupedDigits(qint64 value) {
    QString digits = QString::number(value);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, QLatin1Char(','));
    return digits;
}

}  // namespace quiblo
