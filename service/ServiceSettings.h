// The service's settings as one value: read once where a run starts (an upload, the history
// window, the usage check) and passed whole to what it does, so that a change in the settings
// applies from the next run. Made from the environment, the stored settings and the build's.
#pragma once

#include <QString>

#include "service/ServiceAddress.h"

namespace quiblo {

// The address, FTP port, upload key and lifetime as stored in the settings (empty when not set
// there); settings/ reads them.
struct StoredServiceSetting {
    QString host;
    QString ftpPort;
    QString uploadKey;
    QString lifetime;  // the pictures' lifetime: "1h", "1d" or "7d"; empty: the service's own
    // A setting present but unreadable, named with its file ("ServiceHost in Quiblo.ini"; empty
    // when none): it is not passed over for the next source, and no service is contacted.
    QString problem;
};

struct ServiceSettings {
    // The first that applies: QUIBLO_SERVICE_HOST, the stored setting, the build-time setting.
    ServiceAddress address;
    // The upload server's: QUIBLO_FTP_PORT, the stored setting, the build-time setting.
    int ftpPort = 0;
    // Empty when none (or not a key): it goes with the user check, the registration and the
    // upload, but never in plain text to another machine.
    QString uploadKey;
    // "1h", "1d" or "7d", sent with each registration; empty for the service's own time.
    QString lifetime;
    // What to tell the user when the stored address cannot be read (empty when it can, or when
    // QUIBLO_SERVICE_HOST names a service instead): then no service is contacted.
    QString unreadable;

    // The host alone, without the HTTP port: the upload server's host.
    QString hostName() const;
    // The upload password, with the upload key after a colon when there is one to send.
    QString ftpPasswordWithKey(const QString& password) const;
};

// The settings that apply, given what is stored (nothing: the environment's and the build's).
ServiceSettings serviceSettings(const StoredServiceSetting& stored = {});

}  // namespace quiblo
