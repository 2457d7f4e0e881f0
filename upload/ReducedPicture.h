// The picture offered in place of one that no lossless file brings under the upload limit: at
// most 256 dithered colours at full size, else halved and reduced the same way.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include "imagelib/ImgctlLibrary.h"

namespace quiblo {

struct ReducedPicture {
    enum class Outcome {
        Fits,      // written at path, within the limit
        TooLarge,  // neither size fits: nothing is left at path
        Failed,    // the image library failed: errorCode tells why, nothing is left at path
    };
    Outcome outcome = Outcome::TooLarge;
    bool halved = false;
    QSize size;  // the reduced picture's pixels
    qint64 bytes = 0;
    int errorCode = 0;
};

// Writes the first reduced picture that fits `limit` bytes to path. Runs on any thread.
ReducedPicture makeReducedPicture(ImgctlLibrary& imgctl, const QImage& picture, const QString& path,
                                  qint64 limit);

// The question that offers it, two lines joined by CR LF.
QString reducedOfferText(const ReducedPicture& reduced);

// A count (not negative) with a comma every three digits: 432,173.
QString groupedDigits(qint64 value);

}  // namespace quiblo
