// GNOME: the program's keys as custom keybindings of the settings daemon; the shell's
// screenshot keys freed of them. Kept with `gsettings`.
#pragma once

#include <QCoreApplication>

#include "KeyRules.h"
#include "KeyStore.h"

namespace quiblo {

class GnomeKeys : public CommandStore {
public:
    using CommandStore::CommandStore;
    QString toolName() const override {
        return QCoreApplication::translate("PrintKeys", "GNOME's screenshot tool");
    }
    QStringList keysHeldByTool() override;
    Outcome bind(const QString& program, KeyMemory& memory, WriteLog& log) override;
    Outcome unbind(KeyMemory& memory, WriteLog& log) override;

private:
    void bindCustom(const OurKey& key, const QString& program, bool listed, Outcome& outcome,
                    WriteLog& log);
    QString get(const QString& schema, const QString& key) const;
    // Sets the key, logging the write that gives back `old`, or resets it when there was none.
    void set(const QString& schema, const QString& key, const QString& value,
             const std::optional<QString>& old, WriteLog& log);
    void write(const QString& schema, const QString& key, const QString& value) const;
    void reset(const QString& schema, const QString& key) const;
    QStringList customPaths() const;
    std::optional<QStringList> shellKey(const char* name) const;
};

}  // namespace quiblo
