#include "PrintKeys.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <memory>

#include "platform/Desktop.h"
#include "settings/IniFile.h"

namespace quiblo {

namespace {

constexpr char kMemorySection[] = "PrintKeys";
constexpr int kCommandMilliseconds = 10000;

struct OurKey {
    const char* type;     // the capture type name
    const char* label;    // as the boxes show it
    const char* gnome;    // GTK's spelling, which GNOME and Xfce use
    int qt;               // Qt's key code, which KDE uses
    const char* kdeName;  // the launcher's action
    const char* what;     // the capture, in the boxes
};

const OurKey kKeys[] = {
    {"full", "Print", "Print", Qt::Key_Print, "CaptureFull", "全画面"},
    {"window", "Alt+Print", "<Alt>Print", int(Qt::AltModifier) | Qt::Key_Print, "CaptureWindow",
     "アクティブウィンドウ"},
    {"region", "Shift+Print", "<Shift>Print", int(Qt::ShiftModifier) | Qt::Key_Print,
     "CaptureRegion", "任意の指定範囲"},
};

bool isOurAccelerator(const QString& accelerator) {
    for (const OurKey& key : kKeys)
        if (accelerator.compare(QLatin1String(key.gnome), Qt::CaseInsensitive) == 0) return true;
    return false;
}

QString quoted(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

// A step that failed ends the change with its reason.
struct StepFailed {
    QString error;
};

// What was taken from the desktop's tool, in Quiblo.ini, so that unbinding can give it back.
class Memory {
public:
    explicit Memory(const QString& folder) : folder_(folder) {}
    QString get(const QString& key) const {
        return ReadIniString(folder_, QString::fromLatin1(kMemorySection), key);
    }
    // A memory that cannot be kept ends the change: what it holds could not be given back.
    void remember(const QString& key, const QString& value) const {
        if (!WriteIniValue(folder_, QString::fromLatin1(kMemorySection), key, value))
            throw StepFailed{QStringLiteral("設定ファイル Quiblo.ini に書き込めませんでした。")};
    }

private:
    QString folder_;
};

struct Outcome {
    bool changed = false;
};

// The keys to give back to the tool: all it had when it still has what it was left with;
// otherwise (the user changed them since) its present keys and those that were taken.
template <typename Keys>
Keys restoredKeys(const Keys& original, const Keys& freed, const Keys& current) {
    if (current == freed) return original;
    Keys restored = current;
    for (const auto& key : original)
        if (!freed.contains(key) && !restored.contains(key)) restored << key;
    return restored;
}

// One desktop's shortcut settings.
class KeyStore {
public:
    virtual ~KeyStore() = default;
    virtual QString toolName() const = 0;
    // Which of the program's keys the desktop's own tool holds now, as the boxes show them.
    virtual QStringList keysHeldByTool() = 0;
    virtual Outcome bind(const QString& program, const Memory& memory) = 0;
    virtual Outcome unbind(const Memory& memory) = 0;
};

class CommandStore : public KeyStore {
public:
    explicit CommandStore(const SettingsCommand& run) : run_(run) {}

protected:
    QString call(const QString& program, const QStringList& arguments) {
        QString error;
        std::optional<QString> output = run_(program, arguments, &error);
        if (!output) throw StepFailed{error};
        return *output;
    }

private:
    SettingsCommand run_;
};

// GNOME: custom keybindings of the settings daemon; the shell's screenshot keys freed.
class GnomeKeys : public CommandStore {
public:
    using CommandStore::CommandStore;
    QString toolName() const override { return QStringLiteral("GNOME のスクリーンショット機能"); }

    QStringList keysHeldByTool() override {
        QStringList held;
        for (const char* name : kShellKeys) {
            const std::optional<QStringList> accelerators = shellKey(name);
            for (const OurKey& key : kKeys)
                if (accelerators &&
                    accelerators->contains(QLatin1String(key.gnome), Qt::CaseInsensitive) &&
                    !held.contains(QLatin1String(key.label)))
                    held << QLatin1String(key.label);
        }
        return held;
    }

    Outcome bind(const QString& program, const Memory& memory) override {
        Outcome outcome;
        QStringList paths = customPaths();
        const QStringList before = paths;
        for (const OurKey& key : kKeys) {
            const QString path = customPath(key);
            if (!paths.contains(path)) paths << path;
            const QString values[][2] = {
                {QStringLiteral("name"),
                 QStringLiteral("クイブロ: %1を撮影").arg(QString::fromUtf8(key.what))},
                {QStringLiteral("command"), captureCommand(program, QLatin1String(key.type))},
                {QStringLiteral("binding"), QLatin1String(key.gnome)}};
            for (const auto& [field, value] : values) {
                if (parseStringList(QLatin1Char('[') + get(custom(key), field) + QLatin1Char(']'))
                        .value_or(QStringList()) == QStringList{value})
                    continue;
                set(custom(key), field, quoted(value));
                outcome.changed = true;
            }
        }
        if (paths != before) {
            set(QString::fromLatin1(kMediaKeys), QStringLiteral("custom-keybindings"),
                stringListText(paths));
            outcome.changed = true;
        }
        for (const char* name : kShellKeys) {
            const QStringList accelerators = shellKey(name).value_or(QStringList());
            QStringList freed = accelerators;
            freed.removeIf(isOurAccelerator);
            if (freed == accelerators) continue;
            const QString key = QStringLiteral("Gnome.%1").arg(QLatin1String(name));
            if (memory.get(key).isEmpty()) memory.remember(key, stringListText(accelerators));
            memory.remember(key + QStringLiteral(".Set"), stringListText(freed));
            set(QString::fromLatin1(kShellSchema), QLatin1String(name), stringListText(freed));
            outcome.changed = true;
        }
        return outcome;
    }

    Outcome unbind(const Memory& memory) override {
        Outcome outcome;
        QStringList paths = customPaths();
        for (const OurKey& key : kKeys) {
            if (!paths.removeOne(customPath(key))) continue;
            for (const char* field : {"name", "command", "binding"})
                call(QStringLiteral("gsettings"),
                     {QStringLiteral("reset"), custom(key), QLatin1String(field)});
            outcome.changed = true;
        }
        if (outcome.changed)
            set(QString::fromLatin1(kMediaKeys), QStringLiteral("custom-keybindings"),
                stringListText(paths));
        for (const char* name : kShellKeys) {
            const QString key = QStringLiteral("Gnome.%1").arg(QLatin1String(name));
            const std::optional<QStringList> original = parseStringList(memory.get(key));
            if (memory.get(key).isEmpty() || !original) continue;
            const QStringList current = shellKey(name).value_or(QStringList());
            const QStringList freed =
                parseStringList(memory.get(key + QStringLiteral(".Set"))).value_or(QStringList());
            const QStringList restored = restoredKeys(*original, freed, current);
            if (restored != current) {
                set(QString::fromLatin1(kShellSchema), QLatin1String(name),
                    stringListText(restored));
                outcome.changed = true;
            }
            memory.remember(key, QString());
            memory.remember(key + QStringLiteral(".Set"), QString());
        }
        return outcome;
    }

private:
    static constexpr char kMediaKeys[] = "org.gnome.settings-daemon.plugins.media-keys";
    static constexpr char kShellSchema[] = "org.gnome.shell.keybindings";
    static constexpr const char* kShellKeys[] = {"show-screenshot-ui", "screenshot-window",
                                                 "screenshot"};

    static QString customPath(const OurKey& key) {
        return QStringLiteral(
                   "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/"
                   "quiblo-%1/")
            .arg(QLatin1String(key.type));
    }
    static QString custom(const OurKey& key) {
        return QString::fromLatin1(kMediaKeys) + QStringLiteral(".custom-keybinding:") +
               customPath(key);
    }
    QString get(const QString& schema, const QString& key) {
        return call(QStringLiteral("gsettings"), {QStringLiteral("get"), schema, key}).trimmed();
    }
    void set(const QString& schema, const QString& key, const QString& value) {
        call(QStringLiteral("gsettings"), {QStringLiteral("set"), schema, key, value});
    }
    QStringList customPaths() {
        const QString text =
            get(QString::fromLatin1(kMediaKeys), QStringLiteral("custom-keybindings"));
        const std::optional<QStringList> paths = parseStringList(text);
        if (!paths) throw StepFailed{QStringLiteral("GNOME の設定が読めません: ") + text};
        return *paths;
    }
    std::optional<QStringList> shellKey(const char* name) {
        return parseStringList(get(QString::fromLatin1(kShellSchema), QLatin1String(name)));
    }
};

// Xfce: application shortcuts keyed by the accelerator, in xfconf.
class XfceKeys : public CommandStore {
public:
    using CommandStore::CommandStore;
    QString toolName() const override {
        return QStringLiteral("Xfce のスクリーンショット機能 (xfce4-screenshooter)");
    }

    QStringList keysHeldByTool() override {
        QStringList held;
        const QStringList properties = existing();
        for (const OurKey& key : kKeys)
            if (properties.contains(property(key)) && !value(key).contains(QLatin1String("quiblo")))
                held << QLatin1String(key.label);
        return held;
    }

    Outcome bind(const QString& program, const Memory& memory) override {
        Outcome outcome;
        const QStringList properties = existing();
        for (const OurKey& key : kKeys) {
            const QString command = captureCommand(program, QLatin1String(key.type));
            const bool exists = properties.contains(property(key));
            const QString old = exists ? value(key) : QString();
            if (exists && old == command) continue;
            const QString remembered = memoryKey(key);
            if (memory.get(remembered).isEmpty())
                memory.remember(remembered, exists ? QLatin1Char('1') + old : QStringLiteral("0"));
            QStringList arguments = {QStringLiteral("-c"), channel(), QStringLiteral("-p"),
                                     property(key)};
            if (!exists)
                arguments << QStringLiteral("-n") << QStringLiteral("-t")
                          << QStringLiteral("string");
            call(QStringLiteral("xfconf-query"), arguments << QStringLiteral("-s") << command);
            outcome.changed = true;
        }
        return outcome;
    }

    Outcome unbind(const Memory& memory) override {
        Outcome outcome;
        const QStringList properties = existing();
        for (const OurKey& key : kKeys) {
            const QString remembered = memory.get(memoryKey(key));
            if (remembered.isEmpty()) continue;
            // A key the user has bound to something else since is left as it is.
            if (properties.contains(property(key)) &&
                value(key).contains(QLatin1String("--capture"))) {
                QStringList arguments = {QStringLiteral("-c"), channel(), QStringLiteral("-p"),
                                         property(key)};
                if (remembered.startsWith(QLatin1Char('1')))
                    arguments << QStringLiteral("-s") << remembered.mid(1);
                else
                    arguments << QStringLiteral("-r");
                call(QStringLiteral("xfconf-query"), arguments);
                outcome.changed = true;
            }
            memory.remember(memoryKey(key), QString());
        }
        return outcome;
    }

private:
    static QString channel() { return QStringLiteral("xfce4-keyboard-shortcuts"); }
    static QString property(const OurKey& key) {
        return QStringLiteral("/commands/custom/") + QLatin1String(key.gnome);
    }
    static QString memoryKey(const OurKey& key) {
        return QStringLiteral("Xfce.") + QLatin1String(key.type);
    }
    QStringList existing() {
        return call(QStringLiteral("xfconf-query"),
                    {QStringLiteral("-c"), channel(), QStringLiteral("-l")})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QString value(const OurKey& key) {
        return call(QStringLiteral("xfconf-query"),
                    {QStringLiteral("-c"), channel(), QStringLiteral("-p"), property(key)})
            .trimmed();
    }
};

// KDE Plasma: the global shortcuts service. The program's keys run the launcher's actions;
// Spectacle's keys are freed of them.
class KdeKeys : public KeyStore {
public:
    KdeKeys()
        : accel_(QStringLiteral("org.kde.kglobalaccel"), QStringLiteral("/kglobalaccel"),
                 QStringLiteral("org.kde.KGlobalAccel"), QDBusConnection::sessionBus()) {
        qDBusRegisterMetaType<QList<QStringList>>();
    }
    QString toolName() const override { return QStringLiteral("Spectacle"); }

    QStringList keysHeldByTool() override {
        QStringList held;
        for (const QStringList& action : spectacleActions())
            for (const OurKey& key : kKeys)
                if (shortcut(action).contains(key.qt) && !held.contains(QLatin1String(key.label)))
                    held << QLatin1String(key.label);
        return held;
    }

    Outcome bind(const QString&, const Memory& memory) override {
        Outcome outcome;
        for (const QStringList& action : spectacleActions()) {
            const QList<int> keys = shortcut(action);
            QList<int> freed = keys;
            freed.removeIf([](int code) { return isOurCode(code); });
            if (freed == keys) continue;
            const QString remembered = QStringLiteral("Kde.") + action[1];
            if (memory.get(remembered).isEmpty()) memory.remember(remembered, codesText(keys));
            memory.remember(remembered + QStringLiteral(".Set"), codesText(freed));
            check(accel_.call(QStringLiteral("setForeignShortcut"), action,
                              QVariant::fromValue(freed)));
            outcome.changed = true;
        }
        for (const OurKey& key : kKeys) {
            const QStringList action = ourAction(key);
            check(accel_.call(QStringLiteral("doRegister"), action));
            if (shortcut(action) == QList<int>{key.qt}) continue;
            check(accel_.call(QStringLiteral("setShortcut"), action,
                              QVariant::fromValue(QList<int>{key.qt}), uint(kSetPresent)));
            outcome.changed = true;
        }
        return outcome;
    }

    Outcome unbind(const Memory& memory) override {
        Outcome outcome;
        for (const OurKey& key : kKeys) {
            const QStringList action = ourAction(key);
            if (shortcut(action).isEmpty()) continue;
            check(accel_.call(QStringLiteral("unregister"), action[0], action[1]));
            outcome.changed = true;
        }
        for (const QStringList& action : spectacleActions()) {
            const QString remembered = QStringLiteral("Kde.") + action[1];
            if (memory.get(remembered).isEmpty()) continue;
            const QList<int> original = codesOf(memory.get(remembered));
            const QList<int> freed = codesOf(memory.get(remembered + QStringLiteral(".Set")));
            const QList<int> current = shortcut(action);
            const QList<int> restored = restoredKeys(original, freed, current);
            if (restored != current) {
                check(accel_.call(QStringLiteral("setForeignShortcut"), action,
                                  QVariant::fromValue(restored)));
                outcome.changed = true;
            }
            memory.remember(remembered, QString());
            memory.remember(remembered + QStringLiteral(".Set"), QString());
        }
        return outcome;
    }

private:
    static constexpr uint kSetPresent = 2 | 4;  // present, and not loaded from the saved file
    QDBusInterface accel_;

    static bool isOurCode(int code) {
        for (const OurKey& key : kKeys)
            if (key.qt == code) return true;
        return false;
    }
    static QStringList ourAction(const OurKey& key) {
        return {QStringLiteral("io.github.quiblo.Quiblo.desktop"), QLatin1String(key.kdeName),
                QStringLiteral("クイブロ"),
                QStringLiteral("%1を撮影").arg(QString::fromUtf8(key.what))};
    }
    static QString codesText(const QList<int>& codes) {
        QStringList parts;
        for (int code : codes) parts << QString::number(code);
        return QStringLiteral("[") + parts.join(QLatin1Char(' ')) + QStringLiteral("]");
    }
    static QList<int> codesOf(const QString& text) {
        QList<int> codes;
        for (const QString& part :
             text.mid(1, text.size() - 2).split(QLatin1Char(' '), Qt::SkipEmptyParts))
            codes << part.toInt();
        return codes;
    }
    static void check(const QDBusMessage& reply) {
        if (reply.type() == QDBusMessage::ErrorMessage)
            throw StepFailed{QStringLiteral("KDE のショートカット設定に書き込めませんでした: ") +
                             reply.errorMessage()};
    }
    QList<QStringList> spectacleActions() {
        QDBusReply<QList<QStringList>> reply =
            accel_.call(QStringLiteral("allActionsForComponent"),
                        QStringList{QStringLiteral("org.kde.spectacle.desktop"), QString(),
                                    QString(), QString()});
        if (!reply.isValid()) return {};
        QList<QStringList> actions = reply.value();
        actions.removeIf([](const QStringList& action) { return action.size() < 4; });
        return actions;
    }
    QList<int> shortcut(const QStringList& action) {
        QDBusReply<QList<int>> reply = accel_.call(QStringLiteral("shortcut"), action);
        if (!reply.isValid() && reply.error().type() == QDBusError::ServiceUnknown)
            throw StepFailed{
                QStringLiteral("KDE のショートカット設定 (kglobalaccel) が動いていません。")};
        return reply.isValid() ? reply.value() : QList<int>();
    }
};

QString keyLines(const QString& program, KeyDesktop desktop) {
    QStringList lines;
    for (const OurKey& key : kKeys) {
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
        where = QStringLiteral(
            "sway の設定ファイル (~/.config/sway/config) に次の行を加えて、"
            "swaymsg reload で読み込み直してください。");
    else if (request.desktop == KeyDesktop::I3)
        where = QStringLiteral(
            "i3 の設定ファイル (~/.config/i3/config) に次の行を加えて、"
            "i3-msg reload で読み込み直してください。");
    else
        where = QStringLiteral(
            "このデスクトップのキーボード設定で、次のキーにコマンドを割り当てて"
            "ください。");
    const QString text =
        request.bind
            ? QStringLiteral("クイブロは、このデスクトップのキーを自分では変えられません。\r\n") +
                  where + QStringLiteral("\r\n\r\n") + keyLines(request.program, request.desktop)
            : QStringLiteral(
                  "クイブロは、このデスクトップのキーを変えていません。"
                  "設定ファイルに加えた行があれば、その行を消してください。");
    desktop.message(nullptr, QStringLiteral("Print キーの割り当て"), text, MsgIcon::Information);
    return 0;
}

std::unique_ptr<KeyStore> storeFor(const KeyRequest& request) {
    switch (request.desktop) {
        case KeyDesktop::Gnome:
            return std::make_unique<GnomeKeys>(request.run);
        case KeyDesktop::Xfce:
            return std::make_unique<XfceKeys>(request.run);
        case KeyDesktop::Kde:
            return std::make_unique<KdeKeys>();
        default:
            return nullptr;
    }
}

QString bindQuestion(const KeyStore& store, const QStringList& held) {
    QString text = QStringLiteral("次のキーで、クイブロが撮影するようにします。\r\n");
    for (const OurKey& key : kKeys)
        text +=
            QStringLiteral("\r\n%1: %2").arg(QLatin1String(key.label), QString::fromUtf8(key.what));
    if (!held.isEmpty())
        text += QStringLiteral("\r\n\r\n%1 は、いま %2 が使っています。そこからは外します。")
                    .arg(held.join(QStringLiteral("、")), store.toolName());
    return text + QStringLiteral("\r\n\r\nよろしいですか？");
}

QString unbindQuestion(const KeyStore& store) {
    return QStringLiteral(
               "Print、Alt+Print、Shift+Print に割り当てたクイブロの撮影を外し、"
               "%1 から外したキーを戻します。\r\n\r\nよろしいですか？")
        .arg(store.toolName());
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

QString captureCommand(const QString& program, const QString& typeName) {
    const QString found = QStandardPaths::findExecutable(QStringLiteral("quiblo"));
    const bool onPath = !found.isEmpty() && QFileInfo(found).canonicalFilePath() ==
                                                QFileInfo(program).canonicalFilePath();
    QString name = onPath ? QStringLiteral("quiblo") : program;
    if (name.contains(QLatin1Char(' '))) name = QLatin1Char('"') + name + QLatin1Char('"');
    return name + QStringLiteral(" --capture ") + typeName;
}

std::optional<QStringList> parseStringList(const QString& text) {
    QString rest = text.trimmed();
    if (rest.startsWith(QLatin1String("@as "))) rest = rest.mid(4).trimmed();
    if (!rest.startsWith(QLatin1Char('[')) || !rest.endsWith(QLatin1Char(']'))) return {};
    QStringList list;
    qsizetype i = 1;
    const qsizetype end = rest.size() - 1;
    auto skipBlanks = [&] {
        while (i < end && rest[i].isSpace()) ++i;
    };
    skipBlanks();
    while (i < end) {
        const QChar quote = rest[i];
        if (quote != QLatin1Char('\'') && quote != QLatin1Char('"')) return {};
        QString item;
        for (++i; i < end && rest[i] != quote; ++i) {
            if (rest[i] == QLatin1Char('\\') && i + 1 < end) ++i;
            item += rest[i];
        }
        if (i >= end) return {};
        ++i;
        list << item;
        skipBlanks();
        if (i < end && rest[i] == QLatin1Char(',')) {
            ++i;
            skipBlanks();
            if (i >= end) return {};
        } else if (i < end) {
            return {};
        }
    }
    return list;
}

QString stringListText(const QStringList& list) {
    QStringList items;
    for (const QString& item : list) items << quoted(item);
    return QLatin1Char('[') + items.join(QStringLiteral(", ")) + QLatin1Char(']');
}

std::optional<QString> runSettingsCommand(const QString& program, const QStringList& arguments,
                                          QString* error) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(kCommandMilliseconds)) {
        *error = program + QStringLiteral(" が見つかりません。");
        return {};
    }
    if (!process.waitForFinished(kCommandMilliseconds)) {
        process.kill();
        process.waitForFinished();
        *error = program + QStringLiteral(" が応答しません。");
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = QStringLiteral("%1 %2: %3")
                     .arg(program, arguments.join(QLatin1Char(' ')),
                          QString::fromLocal8Bit(process.readAllStandardError()).trimmed());
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

int changePrintKeys(Desktop& desktop, const KeyRequest& request) {
    const std::unique_ptr<KeyStore> store = storeFor(request);
    if (!store) return showKeyLines(desktop, request);
    const Memory memory(request.programFolder);
    try {
        const QString question =
            request.bind ? bindQuestion(*store, store->keysHeldByTool()) : unbindQuestion(*store);
        if (desktop.message(nullptr, QStringLiteral("確認"), question, MsgIcon::Question,
                            MsgButtons::YesNo, MsgAnswer::Yes) != MsgAnswer::Yes)
            return 2;
        const Outcome outcome =
            request.bind ? store->bind(request.program, memory) : store->unbind(memory);
        QString text;
        if (request.bind)
            text = outcome.changed ? QStringLiteral("Print キーにクイブロの撮影を割り当てました。")
                                   : QStringLiteral(
                                         "Print キーは既にクイブロに割り当ててあります。"
                                         "変えたものはありません。");
        else
            text = outcome.changed ? QStringLiteral("Print キーからクイブロの撮影を外しました。")
                                   : QStringLiteral(
                                         "クイブロに割り当てたキーはありません。"
                                         "変えたものはありません。");
        desktop.message(nullptr, QStringLiteral("確認"), text, MsgIcon::Information);
        return 0;
    } catch (const StepFailed& failure) {
        desktop.message(nullptr, QStringLiteral("エラー"),
                        (request.bind ? QStringLiteral("キーを割り当てられませんでした。")
                                      : QStringLiteral("キーの割り当てを外せませんでした。")) +
                            QStringLiteral("\r\n") + failure.error,
                        MsgIcon::Critical);
        return 1;
    }
}

}  // namespace quiblo
