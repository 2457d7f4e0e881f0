#include "PrintKeys.h"

#include <QCoreApplication>

#include <memory>

#include "GnomeKeys.h"
#include "KdeKeys.h"
#include "KeyRules.h"
#include "XfceKeys.h"
#include "platform/Desktop.h"
#include "platform/Lines.h"

namespace quiblo {

namespace {

QString keyLines(const QString& program, KeyDesktop desktop) {
    QStringList lines;
    for (const OurKey& key : kOurKeys) {
        const QString command = captureCommand(program, QLatin1String(key.type));
        if (desktop == KeyDesktop::Sway)
            lines << QStringLiteral("bindsym %1 exec %2").arg(QLatin1String(key.label), command);
        else if (desktop == KeyDesktop::I3)
            lines << QStringLiteral("bindsym %1 exec --no-startup-id %2")
                         .arg(QLatin1String(key.label), command);
        else
            lines << QStringLiteral("%1: %2").arg(QLatin1String(key.label), command);
    }
    return lines.join(QStringLiteral("\r\n"));
}

// Where the desktop keeps its keys out of the program's reach: the lines to add by hand.
int showKeyLines(Desktop& desktop, const KeyRequest& request) {
    QString where;
    if (request.desktop == KeyDesktop::Sway)
        where = QCoreApplication::translate("PrintKeys",
                                            "Add these lines to the sway configuration "
                                            "(~/.config/sway/config), then run swaymsg reload.");
    else if (request.desktop == KeyDesktop::I3)
        where = QCoreApplication::translate("PrintKeys",
                                            "Add these lines to the i3 configuration "
                                            "(~/.config/i3/config), then run i3-msg reload.");
    else
        where = QCoreApplication::translate(
            "PrintKeys", "In this desktop's keyboard settings, give these keys these commands.");
    const QString text =
        request.bind
            ? crLf(QCoreApplication::translate(
                  "PrintKeys", "Quiblo cannot change this desktop's keys itself.\n")) +
                  where + QStringLiteral("\r\n\r\n") + keyLines(request.program, request.desktop)
            : QCoreApplication::translate("PrintKeys",
                                          "Quiblo has not changed this desktop's keys. If you "
                                          "added lines to a configuration file, remove them.");
    desktop.message(nullptr, QCoreApplication::translate("PrintKeys", "Print key"), text,
                    MsgIcon::Information);
    return 0;
}

// The desktop's store; KDE's service, when it is the session bus's, is kept in `owned`.
std::unique_ptr<KeyStore> storeFor(const KeyRequest& request, std::unique_ptr<GlobalAccel>& owned) {
    switch (request.desktop) {
        case KeyDesktop::Gnome:
            return std::make_unique<GnomeKeys>(request.run);
        case KeyDesktop::Xfce:
            return std::make_unique<XfceKeys>(request.run);
        case KeyDesktop::Kde:
            if (!request.kde) owned = sessionGlobalAccel();
            return std::make_unique<KdeKeys>(request.kde ? *request.kde : *owned);
        default:
            return nullptr;
    }
}

QString bindQuestion(const KeyStore& store, const QStringList& held) {
    QString text =
        crLf(QCoreApplication::translate("PrintKeys", "These keys will capture with Quiblo:\n"));
    for (const OurKey& key : kOurKeys)
        text +=
            QStringLiteral("\r\n%1: %2")
                .arg(QLatin1String(key.label), QCoreApplication::translate("PrintKeys", key.what));
    if (!held.isEmpty())
        text +=
            crLf(QCoreApplication::translate("PrintKeys",
                                             "\n"
                                             "\n"
                                             "%2 uses %1 now; they will be taken from it."))
                .arg(held.join(QCoreApplication::translate("PrintKeys", ", ")), store.toolName());
    return text + crLf(QCoreApplication::translate("PrintKeys",
                                                   "\n"
                                                   "\n"
                                                   "Continue?"));
}

QString unbindQuestion(const KeyStore& store) {
    return crLf(QCoreApplication::translate(
                    "PrintKeys",
                    "Print, Alt+Print and Shift+Print will no longer capture with Quiblo, and the "
                    "keys taken from %1 go back to it.\n"
                    "\n"
                    "Continue?"))
        .arg(store.toolName());
}

QString doneText(bool bind, bool changed) {
    if (bind)
        return changed ? QCoreApplication::translate("PrintKeys",
                                                     "The Print key now captures with Quiblo.")
                       : QCoreApplication::translate(
                             "PrintKeys",
                             "The Print key already captures with Quiblo. Nothing was changed.");
    return changed ? QCoreApplication::translate("PrintKeys",
                                                 "The Print key no longer captures with Quiblo.")
                   : QCoreApplication::translate(
                         "PrintKeys", "No keys capture with Quiblo. Nothing was changed.");
}

// The failure, and whether what was written before it went back.
QString failureText(bool bind, const QString& error, bool wrote, const QStringList& notUndone) {
    QString text = (bind ? QCoreApplication::translate("PrintKeys", "Could not set the keys.")
                         : QCoreApplication::translate("PrintKeys", "Could not remove the keys.")) +
                   QStringLiteral("\r\n") + error;
    if (!notUndone.isEmpty())
        text += crLf(QCoreApplication::translate("PrintKeys",
                                                 "\n"
                                                 "\n"
                                                 "These changes could not be undone:\n")) +
                notUndone.join(QStringLiteral("\r\n"));
    else if (wrote)
        text += crLf(QCoreApplication::translate("PrintKeys",
                                                 "\n"
                                                 "\n"
                                                 "The changes made so far were undone."));
    return text;
}

}  // namespace

KeyDesktop keyDesktopOf(const QString& currentDesktop, bool swaySocket, bool i3Socket) {
    const QStringList names = currentDesktop.toLower().split(QLatin1Char(':'));
    if (names.contains(QLatin1String("gnome"))) return KeyDesktop::Gnome;
    if (names.contains(QLatin1String("kde"))) return KeyDesktop::Kde;
    if (names.contains(QLatin1String("xfce"))) return KeyDesktop::Xfce;
    if (names.contains(QLatin1String("sway")) || swaySocket) return KeyDesktop::Sway;
    if (names.contains(QLatin1String("i3")) || i3Socket) return KeyDesktop::I3;
    return KeyDesktop::Other;
}

KeyDesktop currentKeyDesktop() {
    return keyDesktopOf(qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
                        qEnvironmentVariableIsSet("SWAYSOCK"), qEnvironmentVariableIsSet("I3SOCK"));
}

int changePrintKeys(Desktop& desktop, const KeyRequest& request) {
    std::unique_ptr<GlobalAccel> sessionAccel;
    const std::unique_ptr<KeyStore> store = storeFor(request, sessionAccel);
    if (!store) return showKeyLines(desktop, request);
    WriteLog log;
    KeyMemory memory(request.programFolder, log);
    try {
        const QString question =
            request.bind ? bindQuestion(*store, store->keysHeldByTool()) : unbindQuestion(*store);
        if (desktop.message(nullptr, QCoreApplication::translate("PrintKeys", "Confirm"), question,
                            MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::Yes) != MsgAnswer::Yes)
            return 2;
        const Outcome outcome =
            request.bind ? store->bind(request.program, memory, log) : store->unbind(memory, log);
        desktop.message(nullptr, QCoreApplication::translate("PrintKeys", "Confirm"),
                        doneText(request.bind, outcome.changed), MsgIcon::Information);
        return 0;
    } catch (const StepFailed& failure) {
        const bool wrote = !log.empty();
        const QStringList notUndone = log.undoAll();
        desktop.message(nullptr, QCoreApplication::translate("PrintKeys", "Error"),
                        failureText(request.bind, failure.error, wrote, notUndone),
                        MsgIcon::Critical);
        return 1;
    }
}

}  // namespace quiblo
