// Text the program put on the clipboard outlives the program. On X11 a running clipboard manager
// takes it (Qt hands the clipboard over as the program ends); without one, and on a Wayland
// compositor with the data-control protocol, a small holder process (this program in a hidden
// mode) keeps offering the text until another program takes the clipboard.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace quiblo {

// What a holder reports on its standard output before it goes on alone.
inline constexpr char kHolderReady[] = "ready";  // it owns the clipboard now
inline constexpr char kHolderNone[] = "none";    // the desktop offers no way to hold it
// The most text (bytes of UTF-8) a holder keeps. Another program's text above it is left with
// that program: a capture does not take the clipboard then.
inline constexpr qsizetype kMostHeldText = qsizetype(64) << 20;

// Called as the program ends, with the program to start in the hidden mode. Starts a holder
// when the clipboard holds text of this program's that would otherwise vanish, and waits (at
// most two seconds) until the holder owns it. Returns what the holder reported, empty when none
// was started or it said nothing.
QString keepClipboardText(const QString& program);

// The hidden mode, "x11" or "wayland": reads the text from standard input, takes the clipboard,
// reports, and runs until another program takes the clipboard. The exit code of the process.
int runClipboardHolder(const QString& kind, int argc, char* argv[]);

// The Wayland side of the holder (data-control protocol); false when the compositor offers no
// such protocol (GNOME keeps the clipboard itself). Reports through the callback once it owns
// the selection, then returns when another client takes it or the compositor goes away.
bool holdWaylandSelection(const QByteArray& text, const std::function<void(const char*)>& report);

}  // namespace quiblo
