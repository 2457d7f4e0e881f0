// The history file: whatever Quiblo.dat holds, appending a record and removing it again gives
// back the file (with a last line end added where it lacked one), and the record is listed in
// between as the last entry.
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "Property.h"
#include "history/HistoryFile.h"
#include "platform/CodePage.h"

using namespace quiblo;

namespace {

const QTemporaryDir& folder() {
    static const QTemporaryDir dir;
    return dir;
}

QByteArray stored() {
    QFile file(historyFilePath(folder().path()));
    FUZZ_REQUIRE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

QByteArray withLastLineEnded(const QByteArray& content) {
    if (content.isEmpty() || content.endsWith('\n')) return content;
    return content + (content.endsWith('\r') ? "\n" : "\r\n");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray content(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString pngcode = QStringLiteral("918273645546372819");
    const QString delid = QStringLiteral("20261207230509");
    // The append brings an older header's wording up to date; such files are another property.
    if (content.contains(pngcode.toLatin1()) || content.contains(toCp932(QStringLiteral("ッ!!"))))
        return 0;
    {
        QFile file(historyFilePath(folder().path()));
        FUZZ_REQUIRE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_REQUIRE(file.write(content) == content.size());
    }
    AppendHistoryRecord(folder().path(), pngcode, delid);
    const QByteArray record = (pngcode + QLatin1Char(',') + delid).toLatin1() + "\r\n";
    FUZZ_REQUIRE(stored() == withLastLineEnded(content) + record);
    const HistoryEntries listed = LoadHistoryEntries(folder().path());
    FUZZ_REQUIRE(listed.problem == HistoryProblem::None);
    FUZZ_REQUIRE(!listed.entries.isEmpty());
    FUZZ_REQUIRE(listed.entries.back() == historyDisplayForm(pngcode + QLatin1Char(',') + delid));
    const HistoryRecord back = historyRecordOf(listed.entries.back());
    FUZZ_REQUIRE(back.pngcode == pngcode && back.delid == delid);

    FUZZ_REQUIRE(RemoveHistoryRecord(folder().path(), back.pngcode, back.delid) ==
                 HistoryProblem::None);
    FUZZ_REQUIRE(stored() == withLastLineEnded(content));
    return 0;
}
