#include "CodePage.h"

#include <iconv.h>
#include <QList>

#include <cerrno>
#include <memory>
#include <stdexcept>

namespace quiblo {

namespace {

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using Converter = std::unique_ptr<void, IconvCloser>;

Converter openConverter(const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    return Converter(cd);
}

// Converts in chunks; an input sequence that cannot be converted is skipped (skipBytes bytes)
// and replaced by the replacement bytes.
QByteArray convert(const Converter& cd, const QByteArray& input, const QByteArray& replacement,
                   size_t skipBytes) {
    QByteArray output;
    char* in = const_cast<char*>(input.constData());
    size_t inLeft = static_cast<size_t>(input.size());
    char buffer[4096];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        size_t rc = iconv(static_cast<iconv_t>(cd.get()), &in, &inLeft, &out, &outLeft);
        output.append(buffer, static_cast<qsizetype>(sizeof buffer - outLeft));
        if (rc != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL (a truncated sequence at the end): replace and go on.
        output.append(replacement);
        size_t skip = std::min(skipBytes, inLeft);
        in += skip;
        inLeft -= skip;
    }
    return output;
}

}  // namespace

QByteArray toCp932(const QString& text) {
    Converter cd = openConverter("CP932", "UTF-32LE");
    QByteArray utf32;
    for (char32_t c : text.toUcs4()) {
        for (int shift = 0; shift < 32; shift += 8) utf32.append(char((c >> shift) & 0xFF));
    }
    return convert(cd, utf32, QByteArrayLiteral("?"), 4);
}

QString fromCp932(const QByteArray& bytes) {
    Converter cd = openConverter("UTF-8", "CP932");
    return QString::fromUtf8(convert(cd, bytes, QByteArrayLiteral("\xEF\xBF\xBD"), 1));
}

}  // namespace quiblo
