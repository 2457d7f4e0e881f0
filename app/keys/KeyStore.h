// One desktop's store of shortcuts, as the Print key change sees it: what the desktop's tool
// holds, binding the program's keys, unbinding them; every write logged with the write that
// takes it back, so that a change failing midway leaves the store as it was.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace quiblo {

// A step that failed ends the change with its reason.
struct StepFailed {
    QString error;
};

// The writes of one change, each with the write that takes it back.
class WriteLog {
public:
    void add(std::function<void()> undo) { undo_.push_back(std::move(undo)); }
    bool empty() const { return undo_.empty(); }
    // Takes back every write, newest first: the reasons of those that could not be.
    QStringList undoAll();

private:
    std::vector<std::function<void()>> undo_;
};

// What was taken from the desktop's tool, in Quiblo.ini, so that unbinding can give it back.
class KeyMemory {
public:
    KeyMemory(const QString& folder, WriteLog& log) : folder_(folder), log_(log) {}
    QString get(const QString& key) const;
    // A memory that cannot be kept ends the change: what it holds could not be given back.
    void remember(const QString& key, const QString& value);
    void forget(const QString& key) { remember(key, QString()); }

private:
    void write(const QString& key, const QString& value) const;
    QString folder_;
    WriteLog& log_;
};

struct Outcome {
    bool changed = false;
};

class KeyStore {
public:
    virtual ~KeyStore() = default;
    virtual QString toolName() const = 0;
    // Which of the program's keys the desktop's own tool holds now, as the boxes show them.
    virtual QStringList keysHeldByTool() = 0;
    virtual Outcome bind(const QString& program, KeyMemory& memory, WriteLog& log) = 0;
    virtual Outcome unbind(KeyMemory& memory, WriteLog& log) = 0;
};

// Runs a settings command (gsettings, xfconf-query, ...): its output, or nothing with the error.
using SettingsCommand = std::function<std::optional<QString>(
    const QString& program, const QStringList& arguments, QString* error)>;
std::optional<QString> runSettingsCommand(const QString& program, const QStringList& arguments,
                                          QString* error);

// A store kept by a settings command.
class CommandStore : public KeyStore {
public:
    explicit CommandStore(const SettingsCommand& run) : run_(run) {}

protected:
    QString call(const QString& program, const QStringList& arguments) const;

private:
    SettingsCommand run_;
};

}  // namespace quiblo
