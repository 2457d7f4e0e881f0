#include "KdeKeys.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusReply>

namespace quiblo {

namespace {

const QString kSpectacle = QStringLiteral("org.kde.spectacle.desktop");

QStringList ourAction(const OurKey& key) {
    return {QStringLiteral("io.github.quiblo.Quiblo.desktop"), QLatin1String(key.kdeName),
            QCoreApplication::translate("PrintKeys", "Quiblo"),
            QCoreApplication::translate("PrintKeys", "Capture %1")
                .arg(QCoreApplication::translate("PrintKeys", key.what))};
}

QString memoryKey(const QStringList& action) {
    return QStringLiteral("Kde.") + action[1];
}

QString codesText(const QList<int>& codes) {
    QStringList parts;
    for (int code : codes) parts << QString::number(code);
    return QStringLiteral("[") + parts.join(QLatin1Char(' ')) + QStringLiteral("]");
}

QList<int> codesOf(const QString& text) {
    QList<int> codes;
    for (const QString& part :
         text.mid(1, text.size() - 2).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        codes << part.toInt();
    return codes;
}

std::optional<FreedKeys<QList<int>>> remembered(const KeyMemory& memory,
                                                const QStringList& action) {
    const QString before = memory.get(memoryKey(action));
    if (before.isEmpty()) return {};
    return FreedKeys<QList<int>>{codesOf(before),
                                 codesOf(memory.get(memoryKey(action) + QStringLiteral(".Set")))};
}

// Each call a plain message: a QDBusInterface would first introspect the service (a blocking
// call more) and keep the meta-object it builds for good.
class DBusGlobalAccel : public GlobalAccel {
public:
    DBusGlobalAccel() { qDBusRegisterMetaType<QList<QStringList>>(); }
    QList<QStringList> actionsOf(const QString& component) override {
        QDBusReply<QList<QStringList>> reply =
            call(QStringLiteral("allActionsForComponent"),
                 {QStringList{component, QString(), QString(), QString()}});
        if (!reply.isValid()) return {};
        QList<QStringList> actions = reply.value();
        actions.removeIf([](const QStringList& action) { return action.size() < 4; });
        return actions;
    }
    QList<int> shortcut(const QStringList& action) override {
        QDBusReply<QList<int>> reply = call(QStringLiteral("shortcut"), {action});
        if (!reply.isValid() && reply.error().type() == QDBusError::ServiceUnknown)
            throw StepFailed{QCoreApplication::translate(
                "PrintKeys", "KDE's shortcut service (kglobalaccel) is not running.")};
        return reply.isValid() ? reply.value() : QList<int>();
    }
    void setForeignShortcut(const QStringList& action, const QList<int>& keys) override {
        check(call(QStringLiteral("setForeignShortcut"), {action, QVariant::fromValue(keys)}));
    }
    void registerAction(const QStringList& action) override {
        check(call(QStringLiteral("doRegister"), {action}));
    }
    void setShortcut(const QStringList& action, const QList<int>& keys) override {
        check(call(QStringLiteral("setShortcut"),
                   {action, QVariant::fromValue(keys), uint(kSetPresent)}));
    }
    void unregister(const QStringList& action) override {
        check(call(QStringLiteral("unregister"), {action[0], action[1]}));
    }

private:
    static constexpr uint kSetPresent = 2 | 4;  // present, and not loaded from the saved file
    static QDBusMessage call(const QString& method, const QVariantList& arguments) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QStringLiteral("org.kde.kglobalaccel"), QStringLiteral("/kglobalaccel"),
            QStringLiteral("org.kde.KGlobalAccel"), method);
        message.setArguments(arguments);
        return QDBusConnection::sessionBus().call(message);
    }
    static void check(const QDBusMessage& reply) {
        if (reply.type() == QDBusMessage::ErrorMessage)
            throw StepFailed{
                QCoreApplication::translate("PrintKeys", "Could not change the KDE shortcuts: ") +
                reply.errorMessage()};
    }
};

}  // namespace

std::unique_ptr<GlobalAccel> sessionGlobalAccel() {
    return std::make_unique<DBusGlobalAccel>();
}

QStringList KdeKeys::keysHeldByTool() {
    QStringList held;
    for (const QStringList& action : spectacleActions())
        for (const OurKey& key : kOurKeys)
            if (accel_.shortcut(action).contains(key.qt) &&
                !held.contains(QLatin1String(key.label)))
                held << QLatin1String(key.label);
    return held;
}

// Spectacle's keys first: what they held is remembered before anything is written.
Outcome KdeKeys::bind(const QString&, KeyMemory& memory, WriteLog& log) {
    Outcome outcome;
    for (const QStringList& action : spectacleActions()) {
        const QList<int> current = accel_.shortcut(action);
        QList<int> left = current;
        left.removeIf(isOurCode);
        if (sameKeys(left, current)) continue;
        memory.remember(memoryKey(action),
                        codesText(toolKeys(remembered(memory, action), current)));
        memory.remember(memoryKey(action) + QStringLiteral(".Set"), codesText(left));
        accel_.setForeignShortcut(action, left);
        log.add([=, this] { accel_.setForeignShortcut(action, current); });
        outcome.changed = true;
    }
    for (const OurKey& key : kOurKeys) bindOurs(key, outcome, log);
    return outcome;
}

// An action of the program's that had no key is unused: taking the bind back unregisters it.
void KdeKeys::bindOurs(const OurKey& key, Outcome& outcome, WriteLog& log) {
    const QStringList action = ourAction(key);
    const QList<int> old = accel_.shortcut(action);
    if (sameKeys(old, QList<int>{key.qt})) return;
    accel_.registerAction(action);
    if (old.isEmpty()) log.add([=, this] { accel_.unregister(action); });
    accel_.setShortcut(action, {key.qt});
    if (!old.isEmpty()) log.add([=, this] { accel_.setShortcut(action, old); });
    outcome.changed = true;
}

Outcome KdeKeys::unbind(KeyMemory& memory, WriteLog& log) {
    Outcome outcome;
    for (const OurKey& key : kOurKeys) {
        const QStringList action = ourAction(key);
        const QList<int> old = accel_.shortcut(action);
        if (old.isEmpty()) continue;
        accel_.unregister(action);
        log.add([=, this] {
            accel_.registerAction(action);
            accel_.setShortcut(action, old);
        });
        outcome.changed = true;
    }
    for (const QStringList& action : spectacleActions()) {
        const std::optional<FreedKeys<QList<int>>> freed = remembered(memory, action);
        if (!freed) continue;
        const QList<int> current = accel_.shortcut(action);
        const QList<int> restored = toolKeys(freed, current);
        memory.forget(memoryKey(action));
        memory.forget(memoryKey(action) + QStringLiteral(".Set"));
        if (sameKeys(restored, current)) continue;
        accel_.setForeignShortcut(action, restored);
        log.add([=, this] { accel_.setForeignShortcut(action, current); });
        outcome.changed = true;
    }
    return outcome;
}

QList<QStringList> KdeKeys::spectacleActions() {
    return accel_.actionsOf(kSpectacle);
}

}  // namespace quiblo
