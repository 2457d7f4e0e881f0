// One picture from KDE Plasma's compositor through its own screenshot interface
// (org.kde.KWin.ScreenShot2 on the session bus). KWin writes the raw pixels into a pipe that the
// caller passes and answers with their size and format. It lets in only programs whose installed
// launcher lists the interface in X-KDE-DBUS-Restricted-Interfaces.
#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QString>

namespace quiblo {

struct KWinShot {
    // Absent: the interface is not on the bus, or KWin refused this program (the portal may
    // still serve). Failed: KWin took nothing (no active window) or sent a broken picture.
    enum class Outcome { Taken, Absent, Failed };
    Outcome outcome = Outcome::Absent;
    QImage picture;  // Format_RGB32 in device pixels when taken
};

// Whether the desktop is KDE Plasma: KWin on the bus, or XDG_CURRENT_DESKTOP names KDE.
bool kwinDesktop(const QDBusConnection& bus);

// The screen that KWin names `screen` (QScreen::name()); the active screen when empty.
KWinShot takeKWinScreen(const QDBusConnection& bus, const QString& screen);
// The active window with its frame, without its shadow.
KWinShot takeKWinActiveWindow(const QDBusConnection& bus);

// The picture of KWin's answer: raw `bytes` as its results map describes them (a null picture
// when they do not fit). Public for tests.
QImage kwinPicture(const QByteArray& bytes, const QVariantMap& results);

}  // namespace quiblo
