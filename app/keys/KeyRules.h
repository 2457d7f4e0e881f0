// The program's three keys and the rules every desktop's store shares: which keys are the
// program's, how a desktop's key lists are read and written, and what a tool gets back.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <array>
#include <optional>

namespace quiblo {

struct OurKey {
    const char* type;     // the capture type name
    const char* label;    // as the boxes show it
    const char* gnome;    // GTK's spelling, which GNOME and Xfce use
    int qt;               // Qt's key code, which KDE uses
    const char* kdeName;  // the launcher's action
    const char* what;     // the capture, in the boxes
};

extern const std::array<OurKey, 3> kOurKeys;

bool isOurAccelerator(const QString& accelerator);
bool isOurCode(int code);

// The command a shortcut runs for a capture type name ("full", "window", "region"): "quiblo"
// when that is the program the PATH finds, else the program's own path.
QString captureCommand(const QString& program, const QString& typeName);
// Whether a shortcut's command is one of the program's captures.
bool isCaptureCommand(const QString& command);

// A GSettings string and string list as `gsettings` prints them ("['Print', '<Super>p']",
// "@as []"), and back.
QString quoted(const QString& text);
std::optional<QStringList> parseStringList(const QString& text);
QString stringListText(const QStringList& list);

// What the program remembers of a tool's key list that it freed of the program's keys.
template <typename Keys>
struct FreedKeys {
    Keys before;  // the list the tool would hold had the program never bound
    Keys left;    // the list the program left it
};

// Whether two key lists are the same. (Qt 6.4 compares two empty QList<int> by memcmp on null
// pointers, which the undefined-behaviour sanitizer rightly refuses.)
template <typename Keys>
bool sameKeys(const Keys& a, const Keys& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

// The list the tool would hold now had the program never taken keys from it: all it had when
// it still holds what it was left; otherwise (the user changed it since) its present keys and
// those that were taken from it.
template <typename Keys>
Keys toolKeys(const std::optional<FreedKeys<Keys>>& freed, const Keys& current) {
    if (!freed) return current;
    if (sameKeys(current, freed->left)) return freed->before;
    Keys restored = current;
    for (const auto& key : freed->before)
        if (!freed->left.contains(key) && !restored.contains(key)) restored << key;
    return restored;
}

}  // namespace quiblo
