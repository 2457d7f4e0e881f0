#include "IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <optional>

#include "platform/CodePage.h"
#include "platform/ProgramFolder.h"

namespace quiblo {

namespace {

QString settingsPath(const QString& programFolder) {
    return programFile(programFolder, QString::fromLatin1(kSettingsFileName));
}

// One line of the file as stored, with its line end, and its text without the line end.
struct Line {
    QByteArray raw;
    QString text;
};

QList<Line> splitLines(const QByteArray& content) {
    QList<Line> lines;
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype end = content.indexOf('\n', start);
        qsizetype next = end < 0 ? content.size() : end + 1;
        QByteArray raw = content.mid(start, next - start);
        QByteArray bare = raw;
        while (bare.endsWith('\n') || bare.endsWith('\r')) bare.chop(1);
        lines.append({raw, fromCp932(bare)});
        start = next;
    }
    return lines;
}

std::optional<QString> sectionName(const QString& text) {
    QString t = text.trimmed();
    if (!t.startsWith(QLatin1Char('['))) return std::nullopt;
    qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0) return std::nullopt;
    return t.mid(1, close - 1).trimmed();
}

std::optional<QString> keyName(const QString& text) {
    qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq < 0) return std::nullopt;
    return text.left(eq).trimmed();
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Where the section and the key stand in the file.
struct Position {
    qsizetype section = -1;        // line of "[section]"
    qsizetype lastInSection = -1;  // last non-blank line of the section
    qsizetype key = -1;            // line of "key=value"
};

Position find(const QList<Line>& lines, const QString& section, const QString& key) {
    Position pos;
    bool inside = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (auto name = sectionName(lines[i].text)) {
            if (inside) break;  // only the first section of that name counts
            inside = sameName(*name, section);
            if (inside) pos.section = pos.lastInSection = i;
            continue;
        }
        if (!inside) continue;
        if (!lines[i].text.trimmed().isEmpty()) pos.lastInSection = i;
        auto name = keyName(lines[i].text);
        if (name && sameName(*name, key)) {
            pos.key = i;
            break;
        }
    }
    return pos;
}

std::optional<QByteArray> readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return content;
}

// Writes a temporary file beside the settings and renames it over them. Unbuffered, so a write
// that stops part-way (disk full) shows here: through a buffer the failed flush went unnoticed
// and an empty file was renamed over the settings.
bool replaceFile(const QString& path, const QList<QByteArray>& parts) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    for (const QByteArray& part : parts) {
        if (file.write(part) != part.size()) {
            file.cancelWriting();
            return false;
        }
    }
    return file.commit();
}

QString valueOf(const QString& line) {
    QString value = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
    bool quoted = value.size() >= 2 &&
                  (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')) &&
                  value.back() == value.front();
    return quoted ? value.mid(1, value.size() - 2) : value;
}

// The leading decimal number of a value; 0 when it has none. A number past 32 bits wraps
// around, as files written by earlier copies were read, so that they read the same.
int leadingNumber(const QString& value) {
    qsizetype i = 0;
    bool negative = false;
    if (i < value.size() && (value[i] == QLatin1Char('-') || value[i] == QLatin1Char('+')))
        negative = value[i++] == QLatin1Char('-');
    quint32 number = 0;
    for (; i < value.size() && value[i] >= QLatin1Char('0') && value[i] <= QLatin1Char('9'); ++i)
        number = number * 10 + static_cast<quint32>(value[i].unicode() - '0');
    return static_cast<int>(negative ? 0u - number : number);
}

QByteArray withLineEnd(const QString& text) {
    return toCp932(text) + "\r\n";
}

}  // namespace

int ReadIniInt(const QString& programFolder, const QString& section, const QString& key,
               qint16 defaultValue) {
    std::optional<QByteArray> content = readFile(settingsPath(programFolder));
    if (!content) return defaultValue;
    QList<Line> lines = splitLines(*content);
    Position pos = find(lines, section, key);
    if (pos.key < 0) return defaultValue;
    QString value = valueOf(lines[pos.key].text);
    if (value.isEmpty()) return defaultValue;
    return leadingNumber(value);
}

QString readIniString(const QString& programFolder, const QString& section, const QString& key,
                      const QString& defaultValue) {
    std::optional<QByteArray> content = readFile(settingsPath(programFolder));
    if (!content) return defaultValue;
    QList<Line> lines = splitLines(*content);
    Position pos = find(lines, section, key);
    return pos.key < 0 ? defaultValue : valueOf(lines[pos.key].text);
}

bool WriteIniValue(const QString& programFolder, const QString& section, const QString& key,
                   const QString& value) {
    const QString path = settingsPath(programFolder);
    const FolderLock lock(programFolder);  // another copy's change is read before this one
    QByteArray content;
    if (QFileInfo::exists(path)) {
        // A file that is there but cannot be read is left alone: rewriting it from nothing
        // would drop every other line.
        std::optional<QByteArray> old = readFile(path);
        if (!old) return false;
        content = *old;
    }
    QList<Line> lines = splitLines(content);
    Position pos = find(lines, section, key);
    QByteArray entry = withLineEnd(key + QLatin1Char('=') + value);

    if (pos.key >= 0) {
        lines[pos.key].raw = entry;
    } else if (pos.section >= 0) {
        Line& last = lines[pos.lastInSection];
        if (!last.raw.endsWith('\n')) last.raw += "\r\n";
        lines.insert(pos.lastInSection + 1, Line{entry, {}});
    } else {
        if (!lines.isEmpty() && !lines.back().raw.endsWith('\n')) lines.back().raw += "\r\n";
        lines.append(Line{withLineEnd(QLatin1Char('[') + section + QLatin1Char(']')), {}});
        lines.append(Line{entry, {}});
    }

    QList<QByteArray> parts;
    for (const Line& line : lines) parts.append(line.raw);
    return replaceFile(path, parts);
}

bool WriteIniValue(const QString& programFolder, const QString& section, const QString& key,
                   long long value) {
    return WriteIniValue(programFolder, section, key, QString::number(value));
}

int readCaptureWait(const QString& programFolder) {
    int wait = ReadIniInt(programFolder, QString::fromLatin1(kSettingsSection),
                          QString::fromLatin1(kWaitKey), 100);
    if (wait > 1000 || wait < 100) wait = 100;
    if (wait % 100 != 0) wait = 100;
    return wait;
}

}  // namespace quiblo
