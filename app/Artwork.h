// The program's icon, the main window's banner and the version window's pictures, drawn at run
// time.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace quiblo {

QIcon programIcon();
// The program's mark at size by size pixels; the launcher's icons are made from it.
QImage programIconImage(int size);
QPixmap bannerPicture();             // 300 by 60 pixels
QPixmap versionBackgroundPicture();  // 500 by 294 pixels
QPixmap versionBannerPicture();      // 500 by 50 pixels
QPixmap developerPicture();          // 202 by 42 pixels: the developer's name and the mark

}  // namespace quiblo

class QApplication;

namespace quiblo {

// A compact Japanese UI font, so that the designed texts fit their controls.
void useProgramFont(QApplication& app);

}  // namespace quiblo
