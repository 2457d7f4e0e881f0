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
        where = QCoreApplication::translate("PrintKeys", "sway の設定ファイル (~/.config/sway/config) に次の行を加えて、"
            "swaymsg reload で読み込み直してください。");
    else if (request.desktop == KeyDesktop::I3)
        where = QCoreApplication::translate("PrintKeys", "i3 の設定ファイル (~/.config/i3/config) に次の行を加えて、"
            "i3-msg reload で読み込み直してください。");
    else
        where = QCoreApplication::translate("PrintKeys", "このデスクトップのキーボード設定で、次のキーにコマンドを割り当てて"
            "ください。");
    const QString text =
        request.bind
            ? crLf(QCoreApplication::translate("PrintKeys", "クイブロは、このデスクトップのキーを自分では変えられません。\n")) +
                  where + QStringLiteral("\r\n\r\n") + keyLines(request.program, request.desktop)
            : QCoreApplication::translate("PrintKeys", "クイブロは、このデスクトップのキーを変えていません。"
                  "設定ファイルに加えた行があれば、その行を消してください。");
    desktop.message(nullptr, QCoreApplication::translate("PrintKeys", "Print キーの割り当て"), text, MsgIcon::Information);
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
    QString text = crLf(QCoreApplication::translate("PrintKeys", "次のキーで、クイブロが撮影するようにします。\n"));
    for (const OurKey& key : kOurKeys)
        text +=
            QStringLiteral("\r\n%1: %2").arg(QLatin1String(key.label), QCoreApplication::translate("PrintKeys", key.what));
    if (!held.isEmpty())
        text += crLf(QCoreApplication::translate("PrintKeys", "\n\n%1 は、いま %2 が使っています。そこからは外します。"))
                    .arg(held.join(QCoreApplication::translate("PrintKeys", "、")), store.toolName());
    return text + crLf(QCoreApplication::translate("PrintKeys", "\n\nよろしいですか？"));
}

QString unbindQuestion(const KeyStore& store) {
    return crLf(QCoreApplication::translate("PrintKeys", "Print、Alt+Print、Shift+Print に割り当てたクイブロの撮影を外し、"
               "%1 から外したキーを戻します。\n\nよろしいですか？"))
        .arg(store.toolName());
}

QString doneText(bool bind, bool changed) {
    if (bind)
        return changed ? QCoreApplication::translate("PrintKeys", "Print キーにクイブロの撮影を割り当てました。")
                       : QCoreApplication::translate("PrintKeys", "Print キーは既にクイブロに割り当ててあります。"
                             "変えたものはありません。");
    return changed
               ? QCoreApplication::translate("PrintKeys", "Print キーからクイブロの撮影を外しました。")
               : QCoreApplication::translate("PrintKeys", "クイブロに割り当てたキーはありません。変えたものはありません。");
}

// The failure, and whether what was written before it went back.
QString failureText(bool bind, const QString& error, bool wrote, const QStringList& notUndone) {
    QString text = (bind ? QCoreApplication::translate("PrintKeys", "キーを割り当てられませんでした。")
                         : QCoreApplication::translate("PrintKeys", "キーの割り当てを外せませんでした。")) +
                   QStringLiteral("\r\n") + error;
    if (!notUndone.isEmpty())
        text += crLf(QCoreApplication::translate("PrintKeys", "\n\n途中まで変えた設定を元に戻せませんでした。\n")) +
                notUndone.join(QStringLiteral("\r\n"));
    else if (wrote)
        text += crLf(QCoreApplication::translate("PrintKeys", "\n\n途中まで変えた設定は元に戻しました。"));
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
        if (desktop.message(nullptr, QCoreApplication::translate("PrintKeys", "確認"), question, MsgIcon::Question,
                            MsgButtons::YesNo, MsgAnswer::Yes) != MsgAnswer::Yes)
            return 2;
        const Outcome outcome =
            request.bind ? store->bind(request.program, memory, log) : store->unbind(memory, log);
        desktop.message(nullptr, QCoreApplication::translate("PrintKeys", "確認"), doneText(request.bind, outcome.changed),
                        MsgIcon::Information);
        return 0;
    } catch (const StepFailed& failure) {
        const bool wrote = !log.empty();
        const QStringList notUndone = log.undoAll();
        desktop.message(nullptr, QCoreApplication::translate("PrintKeys", "エラー"),
                        failureText(request.bind, failure.error, wrote, notUndone),
                        MsgIcon::Critical);
        return 1;
    }
}

}  // namespace quiblo
