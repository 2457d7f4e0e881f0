#include "GnomeKeys.h"

#include <QCoreApplication>

namespace quiblo {

namespace {

const QString kMediaKeys = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
const QString kShellSchema = QStringLiteral("org.gnome.shell.keybindings");
constexpr const char* kShellKeys[] = {"show-screenshot-ui", "screenshot-window", "screenshot"};
constexpr const char* kFields[] = {"name", "command", "binding"};

QString customPath(const OurKey& key) {
    return QStringLiteral(
               "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/"
               "quiblo-%1/")
        .arg(QLatin1String(key.type));
}

QString custom(const OurKey& key) {
    return kMediaKeys + QStringLiteral(".custom-keybinding:") + customPath(key);
}

QString memoryKey(const char* shellKey) {
    return QStringLiteral("Gnome.%1").arg(QLatin1String(shellKey));
}

std::optional<FreedKeys<QStringList>> remembered(const KeyMemory& memory, const char* shellKey) {
    const std::optional<QStringList> before = parseStringList(memory.get(memoryKey(shellKey)));
    if (!before) return {};
    return FreedKeys<QStringList>{
        *before, parseStringList(memory.get(memoryKey(shellKey) + QStringLiteral(".Set")))
                     .value_or(QStringList())};
}

// A field's value as the store prints it, read back as the plain text it holds.
QString fieldText(const QString& printed) {
    const std::optional<QStringList> list =
        parseStringList(QLatin1Char('[') + printed + QLatin1Char(']'));
    return list && list->size() == 1 ? list->front() : QString();
}

}  // namespace

QStringList GnomeKeys::keysHeldByTool() {
    QStringList held;
    for (const char* name : kShellKeys) {
        const std::optional<QStringList> accelerators = shellKey(name);
        for (const OurKey& key : kOurKeys)
            if (accelerators &&
                accelerators->contains(QLatin1String(key.gnome), Qt::CaseInsensitive) &&
                !held.contains(QLatin1String(key.label)))
                held << QLatin1String(key.label);
    }
    return held;
}

// The shell's keys first: what they held is remembered before anything is written.
Outcome GnomeKeys::bind(const QString& program, KeyMemory& memory, WriteLog& log) {
    Outcome outcome;
    for (const char* name : kShellKeys) {
        const QStringList current = shellKey(name).value_or(QStringList());
        QStringList left = current;
        left.removeIf(isOurAccelerator);
        if (left == current) continue;
        memory.remember(memoryKey(name),
                        stringListText(toolKeys(remembered(memory, name), current)));
        memory.remember(memoryKey(name) + QStringLiteral(".Set"), stringListText(left));
        set(kShellSchema, QLatin1String(name), stringListText(left), stringListText(current), log);
        outcome.changed = true;
    }
    const QStringList before = customPaths();
    QStringList paths = before;
    for (const OurKey& key : kOurKeys) {
        bindCustom(key, program, before.contains(customPath(key)), outcome, log);
        if (!paths.contains(customPath(key))) paths << customPath(key);
    }
    if (paths != before) {
        set(kMediaKeys, QStringLiteral("custom-keybindings"), stringListText(paths),
            stringListText(before), log);
        outcome.changed = true;
    }
    return outcome;
}

// An entry not listed before is unused: taking a write back resets it.
void GnomeKeys::bindCustom(const OurKey& key, const QString& program, bool listed, Outcome& outcome,
                           WriteLog& log) {
    const QString values[] = {QCoreApplication::translate("PrintKeys", "Quiblo: capture %1")
                                  .arg(QCoreApplication::translate("PrintKeys", key.what)),
                              captureCommand(program, QLatin1String(key.type)),
                              QLatin1String(key.gnome)};
    for (int i = 0; i < 3; ++i) {
        const QString field = QLatin1String(kFields[i]);
        const QString old = get(custom(key), field);
        if (fieldText(old) == values[i]) continue;
        set(custom(key), field, quoted(values[i]), listed ? std::optional(old) : std::nullopt, log);
        outcome.changed = true;
    }
}

Outcome GnomeKeys::unbind(KeyMemory& memory, WriteLog& log) {
    Outcome outcome;
    const QStringList before = customPaths();
    QStringList paths = before;
    for (const OurKey& key : kOurKeys) {
        if (!paths.removeOne(customPath(key))) continue;
        for (const char* field : kFields) {
            const QString old = get(custom(key), QLatin1String(field));
            reset(custom(key), QLatin1String(field));
            log.add([=, this] { write(custom(key), QLatin1String(field), old); });
        }
        outcome.changed = true;
    }
    if (outcome.changed)
        set(kMediaKeys, QStringLiteral("custom-keybindings"), stringListText(paths),
            stringListText(before), log);
    for (const char* name : kShellKeys) {
        const std::optional<FreedKeys<QStringList>> freed = remembered(memory, name);
        if (!freed) continue;
        const QStringList current = shellKey(name).value_or(QStringList());
        const QStringList restored = toolKeys(freed, current);
        memory.forget(memoryKey(name));
        memory.forget(memoryKey(name) + QStringLiteral(".Set"));
        if (restored == current) continue;
        set(kShellSchema, QLatin1String(name), stringListText(restored), stringListText(current),
            log);
        outcome.changed = true;
    }
    return outcome;
}

QString GnomeKeys::get(const QString& schema, const QString& key) const {
    return call(QStringLiteral("gsettings"), {QStringLiteral("get"), schema, key}).trimmed();
}

void GnomeKeys::set(const QString& schema, const QString& key, const QString& value,
                    const std::optional<QString>& old, WriteLog& log) {
    write(schema, key, value);
    log.add([=, this] {
        if (old)
            write(schema, key, *old);
        else
            reset(schema, key);
    });
}

void GnomeKeys::write(const QString& schema, const QString& key, const QString& value) const {
    call(QStringLiteral("gsettings"), {QStringLiteral("set"), schema, key, value});
}

void GnomeKeys::reset(const QString& schema, const QString& key) const {
    call(QStringLiteral("gsettings"), {QStringLiteral("reset"), schema, key});
}

QStringList GnomeKeys::customPaths() const {
    const QString text = get(kMediaKeys, QStringLiteral("custom-keybindings"));
    const std::optional<QStringList> paths = parseStringList(text);
    if (!paths)
        throw StepFailed{
            QCoreApplication::translate("PrintKeys", "Cannot read the GNOME settings: ") + text};
    return *paths;
}

std::optional<QStringList> GnomeKeys::shellKey(const char* name) const {
    return parseStringList(get(kShellSchema, QLatin1String(name)));
}

}  // namespace quiblo
