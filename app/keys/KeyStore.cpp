#include "KeyStore.h"

#include <QCoreApplication>
#include <QProcess>

#include "settings/IniFile.h"

namespace quiblo {

namespace {

constexpr char kMemorySection[] = "PrintKeys";
constexpr int kCommandMilliseconds = 10000;

}  // namespace

QStringList WriteLog::undoAll() {
    QStringList errors;
    while (!undo_.empty()) {
        const std::function<void()> undo = std::move(undo_.back());
        undo_.pop_back();
        try {
            undo();
        } catch (const StepFailed& failure) {
            errors << failure.error;
        }
    }
    return errors;
}

QString KeyMemory::get(const QString& key) const {
    return readIniString(folder_, QString::fromLatin1(kMemorySection), key);
}

void KeyMemory::remember(const QString& key, const QString& value) {
    const QString old = get(key);
    if (old == value) return;
    write(key, value);
    log_.add([this, key, old] { write(key, old); });
}

void KeyMemory::write(const QString& key, const QString& value) const {
    if (!WriteIniValue(folder_, QString::fromLatin1(kMemorySection), key, value))
        throw StepFailed{QCoreApplication::translate(
            "PrintKeys", "Could not write the settings file Quiblo.ini.")};
}

QString CommandStore::call(const QString& program, const QStringList& arguments) const {
    QString error;
    std::optional<QString> output = run_(program, arguments, &error);
    if (!output) throw StepFailed{error};
    return *output;
}

std::optional<QString> runSettingsCommand(const QString& program, const QStringList& arguments,
                                          QString* error) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(kCommandMilliseconds)) {
        *error = QCoreApplication::translate("PrintKeys", "%1 was not found.").arg(program);
        return {};
    }
    if (!process.waitForFinished(kCommandMilliseconds)) {
        process.kill();
        process.waitForFinished();
        *error = QCoreApplication::translate("PrintKeys", "%1 does not answer.").arg(program);
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

}  // namespace quiblo
