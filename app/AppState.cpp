#include "AppState.h"

#include "settings/ServiceSetting.h"

namespace quiblo {

AppState::AppState(const AppSeams& seams)
    : desktop_(seams.desktop),
      programFolder_(seams.programFolder),
      imgctl_(seams.libraryFolder.isEmpty() ? seams.programFolder : seams.libraryFolder),
      instanceLock_(seams.instanceLockPath),
      instanceServer_(InstanceLock::socketPathFor(seams.instanceLockPath)),
      programFolderWritable_(seams.programFolderWritable),
      programFolderWarning_(seams.programFolderWarning),
      handOverToRunningCopy_(seams.handOverToRunningCopy),
      screen_(seams.screen ? seams.screen : &noScreen_),
      makeUploadCodes_(seams.makeUploadCodes),
      httpLimits_(seams.httpLimits) {}

ServiceSettings AppState::serviceSettings() const {
    return quiblo::serviceSettings(readStoredServiceSetting(programFolder_));
}

}  // namespace quiblo
