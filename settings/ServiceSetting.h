// The service's address and FTP port as stored: the user's Quiblo.ini, else the system-wide
// quiblo/Quiblo.ini of the configuration folders (/etc/xdg unless XDG_CONFIG_DIRS names others),
// for administrators and distributions.
#pragma once

#include <QString>
#include <QStringList>

#include "service/ServiceSettings.h"

namespace quiblo {

inline constexpr char kServiceHostKey[] = "ServiceHost";
inline constexpr char kFtpPortKey[] = "FtpPort";
inline constexpr char kUploadKeyKey[] = "UploadKey";
inline constexpr char kLifetimeKey[] = "Lifetime";

// The folders holding the system-wide settings file, first the one that counts most.
QStringList systemSettingsFolders();
// What the user's file says, else what the system-wide files say; each value on its own.
StoredServiceSetting readStoredServiceSetting(const QString& programFolder);

}  // namespace quiblo
