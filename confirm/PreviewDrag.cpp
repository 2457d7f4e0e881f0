#include "PreviewDrag.h"

namespace quiblo {

QPoint clampPreviewPosition(QPoint next, QSize picture, QSize viewport) {
    int left = next.x();
    int top = next.y();
    if (left >= 0) left = 0;
    if (top >= 0) top = 0;
    if (left + picture.width() <= viewport.width()) left = viewport.width() - picture.width();
    if (top + picture.height() <= viewport.height()) top = viewport.height() - picture.height();
    if (picture.width() <= viewport.width()) left = 0;
    if (picture.height() <= viewport.height()) top = 0;
    return QPoint(left, top);
}

}  // namespace quiblo
