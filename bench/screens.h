// Pictures that look like real screens, made from real rendering: Qt widgets and dialogs drawn
// offscreen, anti-aliased text in the installed fonts (Latin and Japanese), web-like pages with
// pictures, and photographic wallpapers under windows. Needs a QApplication.
#pragma once

#include <vector>

#include "pictures.h"

namespace bench {

// Six pictures at 1920x1080, then two at 3840x2160.
std::vector<Picture> makeScreenPictures();

}  // namespace bench
