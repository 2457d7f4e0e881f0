// KDE Plasma: the global shortcuts service. The program's keys run the launcher's actions;
// Spectacle's keys are freed of them.
#pragma once

#include <QList>
#include <memory>

#include "KeyRules.h"
#include "KeyStore.h"

namespace quiblo {

// The calls of KDE's global shortcuts service (kglobalaccel) the change makes. An action is
// {component, action, component's friendly name, action's friendly name}.
class GlobalAccel {
public:
    virtual ~GlobalAccel() = default;
    virtual QList<QStringList> actionsOf(const QString& component) = 0;
    // Throws when the service is not running.
    virtual QList<int> shortcut(const QStringList& action) = 0;
    virtual void setForeignShortcut(const QStringList& action, const QList<int>& keys) = 0;
    virtual void registerAction(const QStringList& action) = 0;
    virtual void setShortcut(const QStringList& action, const QList<int>& keys) = 0;
    virtual void unregister(const QStringList& action) = 0;
};

// The service on the session bus.
std::unique_ptr<GlobalAccel> sessionGlobalAccel();

class KdeKeys : public KeyStore {
public:
    explicit KdeKeys(GlobalAccel& accel) : accel_(accel) {}
    QString toolName() const override { return QStringLiteral("Spectacle"); }
    QStringList keysHeldByTool() override;
    Outcome bind(const QString& program, KeyMemory& memory, WriteLog& log) override;
    Outcome unbind(KeyMemory& memory, WriteLog& log) override;

private:
    void bindOurs(const OurKey& key, Outcome& outcome, WriteLog& log);
    QList<QStringList> spectacleActions();
    GlobalAccel& accel_;
};

}  // namespace quiblo
