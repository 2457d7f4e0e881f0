// The upload history Quiblo.dat in the program folder: one record per upload, picture code and
// deletion id, so that a picture can be deleted from the service later. CP932 text with CR LF
// line ends under a three-line comment header. Every change rewrites the whole file through a
// temporary file and a rename, so an interruption never loses the history.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace quiblo {

inline constexpr char kHistoryFileName[] = "Quiblo.dat";

// program folder + "/Quiblo.dat".
QString historyFilePath(const QString& programFolder);

// True when path names something that is not a folder; false for an empty path or one with a
// wildcard ("*", "?").
bool IsExistingFile(const QString& path);

// Adds the record pngcode + "," + delid, and + "," + uploadedAt (YYYYMMDDhhmmss) when given: the
// time the list shows, which older records took from their deletion id. A missing file is created
// with the header; an existing file keeps its content, with the older header wording brought up to
// date and a last line that lacks its line end ended with CR LF, so the new record gets a line of
// its own. Throws RuntimeFault when the folder is missing (76), the file cannot be read (75) or
// cannot be written (70); the old file then stays as it was.
void AppendHistoryRecord(const QString& programFolder, const QString& pngcode, const QString& delid,
                         const QString& uploadedAt = QString());

enum class HistoryProblem {
    None,
    Missing,     // no history file
    Unreadable,  // it exists but reading it failed
    NotWritten,  // the rewrite failed; the old file is whole
};

struct HistoryRecord {
    QString pngcode;
    QString delid;
};

struct HistoryEntries {
    HistoryProblem problem = HistoryProblem::None;
    QStringList entries;           // display forms, in file order
    QList<HistoryRecord> records;  // the record behind each display form
};

// The display forms of every line that is not a comment ("#" first), in file order.
HistoryEntries LoadHistoryEntries(const QString& programFolder);

// code + ".png  -  " + YYYY/MM/DD hh:mm:ss: the upload time of a record "code,delid,time", or
// of an older record "code,delid", whose deletion id was that time (its first 33 characters).
// Short or odd lines are shown as they fall apart.
QString historyDisplayForm(const QString& line);

// The record of a line: the code is its first 18 characters, the deletion id the 14 after the
// comma.
HistoryRecord historyRecordOfLine(const QString& line);

// The record behind the display form of an older record: its first 18 characters, and its last
// 19 without "/", ":" and " ". (A newer record's display form shows its time, not its deletion
// id: take its record from HistoryEntries::records.)
HistoryRecord historyRecordOf(const QString& displayForm);

// Removes every record pngcode + "," + delid + CR LF, with or without its time; everything else
// stays byte for byte.
// A record that is not there leaves the content as it was.
HistoryProblem RemoveHistoryRecord(const QString& programFolder, const QString& pngcode,
                                   const QString& delid);

}  // namespace quiblo
