#include "KeyRules.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

namespace quiblo {

const std::array<OurKey, 3> kOurKeys = {{
    {"full", "Print", "Print", Qt::Key_Print, "CaptureFull",
     QT_TRANSLATE_NOOP("PrintKeys", "the whole screen")},
    {"window", "Alt+Print", "<Alt>Print", int(Qt::AltModifier) | Qt::Key_Print, "CaptureWindow",
     QT_TRANSLATE_NOOP("PrintKeys", "the active window")},
    {"region", "Shift+Print", "<Shift>Print", int(Qt::ShiftModifier) | Qt::Key_Print,
     "CaptureRegion", QT_TRANSLATE_NOOP("PrintKeys", "a region")},
}};

bool isOurAccelerator(const QString& accelerator) {
    for (const OurKey& key : kOurKeys)
        if (accelerator.compare(QLatin1String(key.gnome), Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool isOurCode(int code) {
    for (const OurKey& key : kOurKeys)
        if (key.qt == code) return true;
    return false;
}

QString captureCommand(const QString& program, const QString& typeName) {
    const QString found = QStandardPaths::findExecutable(QStringLiteral("quiblo"));
    const bool onPath = !found.isEmpty() && QFileInfo(found).canonicalFilePath() ==
                                                QFileInfo(program).canonicalFilePath();
    QString name = onPath ? QStringLiteral("quiblo") : program;
    if (name.contains(QLatin1Char(' '))) name = QLatin1Char('"') + name + QLatin1Char('"');
    return name + QStringLiteral(" --capture ") + typeName;
}

bool isCaptureCommand(const QString& command) {
    return command.contains(QLatin1String("quiblo")) &&
           command.contains(QLatin1String(" --capture "));
}

QString quoted(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
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

}  // namespace quiblo
