#include "history/HistoryPictures.h"

#include "history/Thumbnails.h"
#include "service/Existence.h"

namespace quiblo {

namespace {

// Reports the icons of the kept pictures; the codes without one.
QStringList reportKeptPictures(QPromise<HistoryPictureNews>& promise,
                               const HistoryPictureSource& source) {
    QStringList missing;
    for (const QString& code : source.codes) {
        if (promise.isCanceled()) break;
        const QImage kept = readThumbnail(source.programFolder, code);
        if (kept.isNull())
            missing << code;
        else
            promise.addResult(HistoryPictureNews{code, listIconOf(kept), {}});
    }
    return missing;
}

// Fetches the service's small pictures of the codes, keeps and reports each. A 404 is a picture
// the service has no small copy of; any other failure ends the fetching.
void fetchPictures(QPromise<HistoryPictureNews>& promise, const HistoryPictureSource& source,
                   const QStringList& codes) {
    const auto abandoned = [&promise] { return promise.isCanceled(); };
    for (const QString& code : codes) {
        if (promise.isCanceled()) return;
        const HttpReply reply = httpGet({source.thumbnailBase + code + QStringLiteral(".png"),
                                         {},
                                         source.limits,
                                         {},
                                         abandoned});
        if (reply.status == 404) continue;
        if (reply.status != 200) return;
        const QImage picture = thumbnailFromService(reply.body);
        if (picture.isNull()) continue;
        keepThumbnail(*source.imgctl, source.programFolder, code, picture);
        promise.addResult(HistoryPictureNews{code, listIconOf(picture), {}});
    }
}

}  // namespace

QImage listIconOf(const QImage& thumbnail) {
    if (thumbnail.width() <= kListIconSize.width() && thumbnail.height() <= kListIconSize.height())
        return thumbnail;
    return thumbnail.scaled(kListIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

void findHistoryPictures(QPromise<HistoryPictureNews>& promise,
                         const HistoryPictureSource& source) {
    QStringList missing = reportKeptPictures(promise, source);
    if (source.existsUrl.isEmpty() || promise.isCanceled()) return;
    const ExistsAnswer answer =
        askWhichAreGone(source.existsUrl, source.uploadKey, source.codes, source.limits,
                        [&promise] { return promise.isCanceled(); });
    if (!answer.gone.isEmpty()) promise.addResult(HistoryPictureNews{{}, {}, answer.gone});
    // A service that cannot say which pictures it has is not asked for them one by one.
    if (!answer.answered || !source.imgctl) return;
    missing.removeIf([&](const QString& code) { return answer.gone.contains(code); });
    fetchPictures(promise, source, missing);
}

}  // namespace quiblo
