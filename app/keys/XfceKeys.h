// Xfce: application shortcuts keyed by the accelerator, kept with `xfconf-query`.
#pragma once

#include <QCoreApplication>

#include "KeyRules.h"
#include "KeyStore.h"

namespace quiblo {

class XfceKeys : public CommandStore {
public:
    using CommandStore::CommandStore;
    QString toolName() const override {
        return QCoreApplication::translate("PrintKeys",
                                           "Xfce's screenshot tool (xfce4-screenshooter)");
    }
    QStringList keysHeldByTool() override;
    Outcome bind(const QString& program, KeyMemory& memory, WriteLog& log) override;
    Outcome unbind(KeyMemory& memory, WriteLog& log) override;

private:
    QStringList existing() const;
    QString value(const OurKey& key) const;
    // The key's command set (created when `create`), or the key removed when `command` is null.
    void write(const OurKey& key, const std::optional<QString>& command, bool create) const;
};

}  // namespace quiblo
