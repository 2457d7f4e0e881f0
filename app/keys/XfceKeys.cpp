#include "XfceKeys.h"

namespace quiblo {

namespace {

const QString kChannel = QStringLiteral("xfce4-keyboard-shortcuts");

QString property(const OurKey& key) {
    return QStringLiteral("/commands/custom/") + QLatin1String(key.gnome);
}

// "1" and the command the key ran before the program bound it, or "0" when it ran none.
QString memoryKey(const OurKey& key) {
    return QStringLiteral("Xfce.") + QLatin1String(key.type);
}

}  // namespace

QStringList XfceKeys::keysHeldByTool() {
    QStringList held;
    const QStringList properties = existing();
    for (const OurKey& key : kOurKeys)
        if (properties.contains(property(key)) && !isCaptureCommand(value(key)))
            held << QLatin1String(key.label);
    return held;
}

Outcome XfceKeys::bind(const QString& program, KeyMemory& memory, WriteLog& log) {
    Outcome outcome;
    const QStringList properties = existing();
    for (const OurKey& key : kOurKeys) {
        const QString command = captureCommand(program, QLatin1String(key.type));
        const bool exists = properties.contains(property(key));
        const QString old = exists ? value(key) : QString();
        if (exists && old == command) continue;
        // What the user bound since the last bind is what unbinding gives back.
        if (!exists || !isCaptureCommand(old))
            memory.remember(memoryKey(key), exists ? QLatin1Char('1') + old : QStringLiteral("0"));
        write(key, command, !exists);
        log.add([=, this] { write(key, exists ? std::optional(old) : std::nullopt, false); });
        outcome.changed = true;
    }
    return outcome;
}

Outcome XfceKeys::unbind(KeyMemory& memory, WriteLog& log) {
    Outcome outcome;
    const QStringList properties = existing();
    for (const OurKey& key : kOurKeys) {
        const QString remembered = memory.get(memoryKey(key));
        if (remembered.isEmpty()) continue;
        memory.forget(memoryKey(key));
        // A key the user has bound to something else since is left as it is.
        if (!properties.contains(property(key))) continue;
        const QString current = value(key);
        if (!isCaptureCommand(current)) continue;
        const bool had = remembered.startsWith(QLatin1Char('1'));
        write(key, had ? std::optional(remembered.mid(1)) : std::nullopt, false);
        log.add([=, this] { write(key, current, !had); });
        outcome.changed = true;
    }
    return outcome;
}

QStringList XfceKeys::existing() const {
    return call(QStringLiteral("xfconf-query"),
                {QStringLiteral("-c"), kChannel, QStringLiteral("-l")})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString XfceKeys::value(const OurKey& key) const {
    return call(QStringLiteral("xfconf-query"),
                {QStringLiteral("-c"), kChannel, QStringLiteral("-p"), property(key)})
        .trimmed();
}

void XfceKeys::write(const OurKey& key, const std::optional<QString>& command, bool create) const {
    QStringList arguments = {QStringLiteral("-c"), kChannel, QStringLiteral("-p"), property(key)};
    if (!command)
        arguments << QStringLiteral("-r");
    else if (create)
        arguments << QStringLiteral("-n") << QStringLiteral("-t") << QStringLiteral("string")
                  << QStringLiteral("-s") << *command;
    else
        arguments << QStringLiteral("-s") << *command;
    call(QStringLiteral("xfconf-query"), arguments);
}

}  // namespace quiblo
