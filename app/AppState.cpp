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
      httpLimits_(seams.httpLimits) {
    // The service's address as the settings give it, read again for each request.
    setStoredServiceSetting([folder = programFolder_] { return readStoredServiceSetting(folder); });
}

}  // namespace quiblo
