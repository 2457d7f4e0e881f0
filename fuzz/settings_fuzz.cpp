// The settings file: whatever Quiblo.ini holds, a value written reads back, and a second
// key's value is untouched by the write.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

#include "Property.h"
#include "settings/IniFile.h"

using namespace quiblo;

namespace {

const QTemporaryDir& folder() {
    static const QTemporaryDir dir;
    return dir;
}

void store(const QByteArray& content) {
    QFile file(folder().filePath(QStringLiteral("Quiblo.ini")));
    FUZZ_REQUIRE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_REQUIRE(file.write(content) == content.size());
}

}  // namespace

// Input: one byte choosing the value, one choosing the key, then the file's content.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int value = 100 * (data[0] % 10 + 1);
    const QString key = data[1] % 2 ? QStringLiteral("Wait") : QStringLiteral("wAIT");
    const QByteArray content(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    store(content);
    const QString path = folder().path();
    const QString section = QStringLiteral("Quiblo");
    const int otherBefore = ReadIniInt(path, QStringLiteral("Other"), QStringLiteral("Key"), -1);

    FUZZ_REQUIRE(WriteIniValue(path, section, key, value));
    FUZZ_REQUIRE(ReadIniInt(path, section, QStringLiteral("Wait"), -1) == value);
    FUZZ_REQUIRE(readCaptureWait(path) == value);
    FUZZ_REQUIRE(ReadIniInt(path, QStringLiteral("Other"), QStringLiteral("Key"), -1) ==
                 otherBefore);
    // Writing it again changes nothing more.
    QFile file(folder().filePath(QStringLiteral("Quiblo.ini")));
    FUZZ_REQUIRE(file.open(QIODevice::ReadOnly));
    const QByteArray once = file.readAll();
    file.close();
    FUZZ_REQUIRE(WriteIniValue(path, section, key, value));
    FUZZ_REQUIRE(file.open(QIODevice::ReadOnly));
    FUZZ_REQUIRE(file.readAll() == once);
    return 0;
}
