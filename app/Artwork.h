// The program's icon and the main window's banner, drawn at run time.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace quiblo {

QIcon programIcon();
// The program's mark at size by size pixels; the launcher's icons are made from it.
QImage programIconImage(int size);
QPixmap bannerPicture();  // 300 by 60 pixels

}  // namespace quiblo

class QApplication;

namespace quiblo {

// A compact Japanese UI font, so that the designed texts fit their controls.
void useProgramFont(QApplication& app);

}  // namespace quiblo
