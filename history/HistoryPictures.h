// What the history window learns about its entries without making the user wait: each entry's
// small picture (kept here, or fetched once from the service and kept), and which pictures the
// service no longer has. Runs on a worker thread; the window takes the news as it comes.
#pragma once

#include <QImage>
#include <QPromise>
#include <QSet>
#include <QString>
#include <QStringList>

#include "service/SimpleHttp.h"

namespace quiblo {

class ImgctlLibrary;

// Where to look. Made on the window's thread, from the settings as they are when it opens.
struct HistoryPictureSource {
    QString programFolder;
    QStringList codes;      // the listed picture codes
    QString existsUrl;      // the service's /api/exists; empty: the service is not asked
    QString thumbnailBase;  // the service's /thumb/, to which CODE.png is added
    QString uploadKey;
    HttpLimits limits;
    ImgctlLibrary* imgctl = nullptr;  // keeps what is fetched; none: nothing is fetched
};

// One piece of news: an entry's list icon, or the codes the service said are gone.
struct HistoryPictureNews {
    QString pngcode;  // empty for the gone codes
    QImage icon;
    QSet<QString> gone;
};

// The list's icon of a small picture: shrunk to kListIconSize, never enlarged.
QImage listIconOf(const QImage& thumbnail);

// First every kept picture's icon, then the service's answer on which are gone, then the
// pictures the service still has and this computer lacks, one at a time: fetched, kept and
// reported. It stops fetching at the first request that gets no answer or a refusal, and
// stops altogether when the promise is cancelled.
void findHistoryPictures(QPromise<HistoryPictureNews>& promise, const HistoryPictureSource& source);

}  // namespace quiblo
