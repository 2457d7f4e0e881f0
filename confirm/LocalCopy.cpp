#include "LocalCopy.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "imagelib/ImgctlLibrary.h"
#include "platform/Lines.h"

namespace quiblo {

SaveFileRequest localCopyRequest(const QDateTime& now) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
    return {QCoreApplication::translate("LocalCopy", "Quiblo - Save a copy of the picture"), folder,
            QStringLiteral("quiblo-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                QStringLiteral(".png"),
            QStringLiteral("Portable Network Graphics (*.png)")};
}

QString saveFailureReason(const QString& path, int errorCode) {
    const QFileInfo folder(QFileInfo(path).absolutePath());
    if (!folder.isDir())
        return QCoreApplication::translate("LocalCopy", "The folder does not exist.");
    if (!folder.isWritable())
        return QCoreApplication::translate("LocalCopy", "Cannot write to the folder.");
    return QCoreApplication::translate("LocalCopy", "Error code: %1").arg(errorCode);
}

bool offerToKeepPicture(Desktop& desktop, QWidget* parent, ImgctlLibrary& imgctl,
                        const QImage& picture) {
    if (desktop.message(parent, QCoreApplication::translate("LocalCopy", "Confirm"),
                        QCoreApplication::translate("LocalCopy", "Save a copy of the picture?"),
                        MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::Yes) != MsgAnswer::Yes)
        return false;
    for (;;) {
        const QString path = desktop.saveFileName(parent, localCopyRequest());
        if (path.isEmpty()) return false;
        const ImgctlLibrary::PngResult result = imgctl.writePng(picture, path);
        if (result.written) return true;
        desktop.message(
            parent, QCoreApplication::translate("LocalCopy", "Error"),
            crLf(QCoreApplication::translate("LocalCopy",
                                             "Could not save the picture.\n"
                                             "%1\n"
                                             "%2"))
                .arg(QDir::toNativeSeparators(path), saveFailureReason(path, result.errorCode)),
            MsgIcon::Critical);
    }
}

}  // namespace quiblo
