// Where a dragged preview may stand inside its viewport: never uncovering the viewport on a
// side where the picture is larger, and at the top-left corner on a side where it fits.
#pragma once

#include <QPoint>
#include <QSize>

namespace quiblo {

QPoint clampPreviewPosition(QPoint next, QSize picture, QSize viewport);

}  // namespace quiblo
