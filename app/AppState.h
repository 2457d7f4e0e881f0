// The application state shared by every window, and the seams through which the windows reach
// the desktop and the program folder. One object, made in main and handed to each window.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "capture/ScreenSource.h"
#include "imagelib/ImgctlLibrary.h"
#include "platform/Desktop.h"
#include "platform/SingleInstance.h"
#include "platform/Version.h"
#include "service/Codes.h"
#include "service/ServiceSettings.h"
#include "service/SimpleHttp.h"

namespace quiblo {

// The part of the held picture that is shown and encoded, in screen pixels.
struct CaptureRectangle {
    qint16 Left = 0;
    qint16 Top = 0;
    qint16 Width = 0;
    qint16 Height = 0;
};

struct AppSeams {
    Desktop* desktop = nullptr;  // message boxes, dialogs, the browser, the editor
    QString programFolder;       // image library, settings, history and work files
    QString instanceLockPath = InstanceLock::defaultPath();
    ScreenSource* screen = nullptr;  // null: no screen (the null source)
    // The picture code and deletion id of an upload: the clock and random digits by default.
    std::function<UploadCodes()> makeUploadCodes = [] { return MakeUploadCodes(); };
    // Where the image library is looked for first; empty: the program folder.
    QString libraryFolder = {};
    // False when neither the executable's folder nor the user's folder could be written.
    bool programFolderWritable = true;
    QString programFolderWarning = {};  // what the start says when the folder cannot be written
    // Asked when another copy holds the lock: true when a request was handed to it instead.
    std::function<bool()> handOverToRunningCopy = nullptr;
    // How long the requests to the service may wait and how much they may take.
    HttpLimits httpLimits = {};
};

class AppState {
public:
    explicit AppState(const AppSeams& seams);

    // 1 full screen, 2 active window, 3 region marked with the mouse.
    qint16 CaptureType = 1;
    // The last capture chain ended in a failure or a cancellation.
    bool UploadFailed = false;
    CaptureRectangle CaptureRect;
    bool RegionCancelled = false;
    // The size limit the service announced at the last upload (0 until one did).
    qint64 sizeLimit = 0;

    Desktop& desktop() const { return *desktop_; }
    const QString& programFolder() const { return programFolder_; }
    ImgctlLibrary& imgctl() { return imgctl_; }
    InstanceLock& instanceLock() { return instanceLock_; }
    InstanceServer& instanceServer() { return instanceServer_; }
    bool programFolderWritable() const { return programFolderWritable_; }
    const QString& programFolderWarning() const { return programFolderWarning_; }
    bool handOverToRunningCopy() const {
        return handOverToRunningCopy_ && handOverToRunningCopy_();
    }
    ScreenSource& screen() { return *screen_; }
    UploadCodes makeUploadCodes() const { return makeUploadCodes_(); }
    const HttpLimits& httpLimits() const { return httpLimits_; }
    // The service's settings as they are now: read once where a run starts, and passed whole.
    ServiceSettings serviceSettings() const;

private:
    Desktop* desktop_;
    QString programFolder_;
    ImgctlLibrary imgctl_;
    InstanceLock instanceLock_;
    InstanceServer instanceServer_;
    bool programFolderWritable_;
    QString programFolderWarning_;
    std::function<bool()> handOverToRunningCopy_;
    NullScreenSource noScreen_;
    ScreenSource* screen_;
    std::function<UploadCodes()> makeUploadCodes_;
    HttpLimits httpLimits_;
};

}  // namespace quiblo
