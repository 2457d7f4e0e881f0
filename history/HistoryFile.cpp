#include "history/HistoryFile.h"

#include <QByteArrayView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

#include "platform/CodePage.h"
#include "platform/Fault.h"
#include "platform/Lines.h"
#include "platform/ProgramFolder.h"

namespace quiblo {

namespace {

QString historyHeader() {
    return QStringLiteral("### クイブロ アップロードファイルデータ") + kCrLf +
           QStringLiteral(
               "###   警告：このファイルを編集/削除すると、アップロードした画像データが") +
           kCrLf + QStringLiteral("###         あとで手動削除できなくなります。") + kCrLf;
}

// The bytes of the CP932 character at the start of bytes: two for a lead byte followed by a
// trail byte, else one.
qsizetype characterWidth(QByteArrayView bytes) {
    if (bytes.size() < 2) return 1;
    const auto lead = static_cast<unsigned char>(bytes[0]);
    const auto trail = static_cast<unsigned char>(bytes[1]);
    const bool isLead = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
    const bool isTrail = (trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC);
    return isLead && isTrail ? 2 : 1;
}

// Replaces every occurrence of from that starts on a character boundary. Works on the bytes, so
// whatever is not replaced stays byte for byte, even bytes that are not valid CP932.
QByteArray replaceText(const QByteArray& content, const QByteArray& from, const QByteArray& to) {
    QByteArray result;
    result.reserve(content.size());
    qsizetype i = 0;
    while (i < content.size()) {
        const QByteArrayView rest = QByteArrayView(content).sliced(i);
        if (rest.startsWith(from)) {
            result += to;
            i += from.size();
            continue;
        }
        const qsizetype width = characterWidth(rest);
        result += rest.first(width);
        i += width;
    }
    return result;
}

struct FileContent {
    HistoryProblem problem = HistoryProblem::None;
    QByteArray bytes;
};

FileContent readHistoryFile(const QString& path) {
    if (!IsExistingFile(path)) return {HistoryProblem::Missing, {}};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {HistoryProblem::Unreadable, {}};
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return {HistoryProblem::Unreadable, {}};
    return {HistoryProblem::None, bytes};
}

// Writes a temporary file beside the history and renames it over; on failure the old file is
// left as it was.
bool rewriteHistoryFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    // Unbuffered: a short write shows here. Through the buffer, a write that stopped part-way
    // (disk full, size limit) was committed as a cut-off history.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// Lines up to LF, with the CR before it dropped; a last line without its line end counts.
QList<QByteArray> splitLines(const QByteArray& content) {
    QList<QByteArray> lines = content.split('\n');
    if (content.isEmpty() || content.endsWith('\n')) lines.removeLast();
    for (QByteArray& line : lines) {
        if (line.endsWith('\r')) line.chop(1);
    }
    return lines;
}

// Removes every line that starts with prefix followed by a 14-digit time and CR LF (a record
// with its upload time); everything else stays byte for byte.
QByteArray replaceTimedRecords(const QByteArray& content, const QByteArray& prefix) {
    QByteArray result;
    result.reserve(content.size());
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype end = content.indexOf('\n', start);
        end = end < 0 ? content.size() : end + 1;
        const QByteArrayView line = QByteArrayView(content).sliced(start, end - start);
        const bool timed = line.startsWith(prefix) && line.size() == prefix.size() + 16 &&
                           line.endsWith("\r\n") &&
                           std::all_of(line.begin() + prefix.size(), line.end() - 2,
                                       [](char c) { return c >= '0' && c <= '9'; });
        if (!timed) result += line;
        start = end;
    }
    return result;
}

// A last line edited without its line end would otherwise take the new record onto it, and
// the record could never be listed or removed.
void endLastLine(QByteArray& content) {
    if (content.isEmpty() || content.endsWith('\n')) return;
    content += content.endsWith('\r') ? QByteArray("\n") : QByteArray("\r\n");
}

}  // namespace

QString historyFilePath(const QString& programFolder) {
    return programFile(programFolder, QString::fromLatin1(kHistoryFileName));
}

bool IsExistingFile(const QString& path) {
    if (path.isEmpty() || path.contains(QLatin1Char('*')) || path.contains(QLatin1Char('?')))
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

void AppendHistoryRecord(const QString& programFolder, const QString& pngcode, const QString& delid,
                         const QString& uploadedAt) {
    const QString path = historyFilePath(programFolder);
    const FolderLock lock(programFolder);  // another copy's record is read before this one's
    QByteArray content;
    if (!IsExistingFile(path)) {
        if (!QFileInfo(programFolder).isDir()) throw RuntimeFault(FaultNumber::PathNotFound);
        content = toCp932(historyHeader());
    } else {
        const FileContent old = readHistoryFile(path);
        if (old.problem == HistoryProblem::Missing) throw RuntimeFault(FaultNumber::FileNotFound);
        if (old.problem != HistoryProblem::None) throw RuntimeFault(FaultNumber::FileAccess);
        // Files of older versions carry this wording in their first header line.
        content = replaceText(old.bytes, toCp932(QStringLiteral("クイブロッ!!")),
                              toCp932(QStringLiteral("クイブロ")));
        endLastLine(content);
    }
    QString record = pngcode + QLatin1Char(',') + delid;
    if (!uploadedAt.isEmpty()) record += QLatin1Char(',') + uploadedAt;
    content += toCp932(record + kCrLf);
    if (!rewriteHistoryFile(path, content)) throw RuntimeFault(FaultNumber::WriteFailed);
}

HistoryEntries LoadHistoryEntries(const QString& programFolder) {
    const FileContent file = readHistoryFile(historyFilePath(programFolder));
    HistoryEntries result;
    result.problem = file.problem;
    for (const QByteArray& line : splitLines(file.bytes)) {
        const QString text = fromCp932(line);
        if (text.startsWith(QLatin1Char('#'))) continue;
        result.entries << historyDisplayForm(text);
        result.records << historyRecordOfLine(text);
    }
    return result;
}

QString historyDisplayForm(const QString& line) {
    const QString code = line.left(18);
    // "code,delid,time": the time is the third field; older records' deletion id was the time.
    const bool timed = line.size() > 33 && line.at(33) == QLatin1Char(',');
    const QString stamp = timed ? line.mid(34, 14) : line.mid(19, 14);
    return code + QStringLiteral(".png  -  ") + stamp.mid(0, 4) + QLatin1Char('/') +
           stamp.mid(4, 2) + QLatin1Char('/') + stamp.mid(6, 2) + QLatin1Char(' ') +
           stamp.mid(8, 2) + QLatin1Char(':') + stamp.mid(10, 2) + QLatin1Char(':') +
           stamp.mid(12, 2);
}

HistoryRecord historyRecordOfLine(const QString& line) {
    return {line.left(18), line.mid(19, 14)};
}

HistoryRecord historyRecordOf(const QString& displayForm) {
    QString delid = displayForm.right(19);
    delid.remove(QLatin1Char('/')).remove(QLatin1Char(':')).remove(QLatin1Char(' '));
    return {displayForm.left(18), delid};
}

HistoryProblem RemoveHistoryRecord(const QString& programFolder, const QString& pngcode,
                                   const QString& delid) {
    const QString path = historyFilePath(programFolder);
    const FolderLock lock(programFolder);
    const FileContent old = readHistoryFile(path);
    if (old.problem != HistoryProblem::None) return old.problem;
    const QString record = pngcode + QLatin1Char(',') + delid;
    QByteArray content = replaceText(old.bytes, toCp932(record + kCrLf), {});
    content = replaceTimedRecords(content, toCp932(record + QLatin1Char(',')));
    return rewriteHistoryFile(path, content) ? HistoryProblem::None : HistoryProblem::NotWritten;
}

}  // namespace quiblo
