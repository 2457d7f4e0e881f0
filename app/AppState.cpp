#include "AppState.h"

namespace quiblo {

AppState::AppState(const AppSeams& seams)
    : desktop_(seams.desktop),
      programFolder_(seams.programFolder),
      imgctl_(seams.programFolder),
      instanceLock_(seams.instanceLockPath),
      screen_(seams.screen ? seams.screen : &noScreen_),
      makeUploadCodes_(seams.makeUploadCodes) {}

}  // namespace quiblo
