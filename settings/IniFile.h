// The settings file Quiblo.ini in the program folder: a standard INI file read and written with
// the rules of the Windows profile functions, so a file written by hand or by an older copy of the
// program reads the same.
#pragma once

#include <QString>

namespace quiblo {

inline constexpr char kSettingsFileName[] = "Quiblo.ini";
inline constexpr char kSettingsSection[] = "Quiblo";
inline constexpr char kWaitKey[] = "Wait";

// Reads an integer: the default when the file, the section or the key is missing or the value is
// empty; otherwise the leading decimal number of the value (an optional sign, then digits;
// 0 when there is none). Section and key names match regardless of case.
int ReadIniInt(const QString& programFolder, const QString& section, const QString& key,
               qint16 defaultValue);

// Reads a string: the value without its enclosing quotes, or the default when the file, the
// section or the key is missing.
QString readIniString(const QString& programFolder, const QString& section, const QString& key,
                      const QString& defaultValue = {});

// Sets key = value in the section, creating the file, section or key as needed and keeping every
// other line. False when the write could not be carried out: the old file then stays as it was,
// and an existing file that cannot be read is never rewritten. Callers may ignore the result.
bool WriteIniValue(const QString& programFolder, const QString& section, const QString& key,
                   const QString& value);
bool WriteIniValue(const QString& programFolder, const QString& section, const QString& key,
                   long long value);

// The capture wait in milliseconds: 100 to 1000 in steps of 100; anything else stored reads 100.
int readCaptureWait(const QString& programFolder);

}  // namespace quiblo
