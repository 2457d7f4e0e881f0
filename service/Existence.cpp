#include "service/Existence.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quiblo {

QByteArray existsQuery(const QStringList& codes) {
    return QJsonDocument(QJsonArray::fromStringList(codes)).toJson(QJsonDocument::Compact);
}

ExistsAnswer readExistsReply(const HttpReply& reply) {
    ExistsAnswer answer;
    if (reply.status != 200) return answer;
    const QJsonDocument document = QJsonDocument::fromJson(reply.body);
    if (!document.isObject()) return answer;
    answer.answered = true;
    const QJsonObject said = document.object();
    for (auto it = said.begin(); it != said.end(); ++it)
        if (it.value().isBool() && !it.value().toBool()) answer.gone.insert(it.key());
    return answer;
}

ExistsAnswer askWhichAreGone(const QString& url, const QString& uploadKey, const QStringList& codes,
                             const HttpLimits& limits, const std::function<bool()>& abandoned) {
    ExistsAnswer all;
    for (qsizetype first = 0; first < codes.size(); first += kCodesPerExistsRequest) {
        const QStringList some = codes.mid(first, kCodesPerExistsRequest);
        ExistsAnswer answer =
            readExistsReply(httpGet({url, uploadKey, limits, existsQuery(some), abandoned}));
        if (!answer.answered) break;
        all.answered = true;
        const QSet<QString> asked(some.begin(), some.end());
        all.gone.unite(answer.gone.intersect(asked));  // only what was asked
    }
    return all;
}

}  // namespace quiblo
