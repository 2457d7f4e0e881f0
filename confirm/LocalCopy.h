// A picture kept on this computer: the save dialog of the local copy, and the picture of a run
// that sent nothing, offered for saving before it is gone.
#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>

#include "platform/Desktop.h"

class QWidget;

namespace quiblo {

class ImgctlLibrary;

// The save dialog: the user's pictures folder (home where there is none) and the name
// quiblo-YYYYMMDD-hhmmss.png of that moment.
SaveFileRequest localCopyRequest(const QDateTime& now = QDateTime::currentDateTime());

// Why a PNG could not be written at path: the folder is missing, cannot be written, or the
// image library's error code.
QString saveFailureReason(const QString& path, int errorCode);

// Asks "画像を保存しますか？"; Yes opens the save dialog and writes the picture there as the local
// copy would be written. A failed save says why and opens the dialog again; No, a closed box or
// a cancelled dialog keeps nothing. True when the picture was written.
bool offerToKeepPicture(Desktop& desktop, QWidget* parent, ImgctlLibrary& imgctl,
                        const QImage& picture);

}  // namespace quiblo
