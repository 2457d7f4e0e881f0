#include "LocalCopy.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "imagelib/ImgctlLibrary.h"

namespace quiblo {

SaveFileRequest localCopyRequest(const QDateTime& now) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
    return {QStringLiteral("クイブロ - 画像ファイルのローカル保存"), folder,
            QStringLiteral("quiblo-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                QStringLiteral(".png"),
            QStringLiteral("Portable Network Graphics (*.png)")};
}

QString saveFailureReason(const QString& path, int errorCode) {
    const QFileInfo folder(QFileInfo(path).absolutePath());
    if (!folder.isDir()) return QStringLiteral("保存先のフォルダーがありません。");
    if (!folder.isWritable()) return QStringLiteral("保存先のフォルダーに書き込めません。");
    return QStringLiteral("エラーコード:") + QString::number(errorCode);
}

bool offerToKeepPicture(Desktop& desktop, QWidget* parent, ImgctlLibrary& imgctl,
                        const QImage& picture) {
    if (desktop.message(parent, QStringLiteral("確認"), QStringLiteral("画像を保存しますか？"),
                        MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::Yes) != MsgAnswer::Yes)
        return false;
    for (;;) {
        const QString path = desktop.saveFileName(parent, localCopyRequest());
        if (path.isEmpty()) return false;
        const ImgctlLibrary::PngResult result = imgctl.writePng(picture, path);
        if (result.written) return true;
        desktop.message(parent, QStringLiteral("エラー"),
                        QStringLiteral("画像を保存できませんでした。\r\n") +
                            QDir::toNativeSeparators(path) + QStringLiteral("\r\n") +
                            saveFailureReason(path, result.errorCode),
                        MsgIcon::Critical);
    }
}

}  // namespace quiblo
