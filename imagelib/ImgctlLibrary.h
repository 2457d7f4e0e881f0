// The program's binding to the image library, found by name at run time: the program's own
// folder first, then ../lib/quiblo beside it (an installed copy), then the system's library path. A
// missing or broken library is reported at start-up.
#pragma once

#include <QImage>
#include <QLibrary>
#include <QString>
#include <cstdint>

namespace quiblo {

class ImgctlLibrary {
public:
    enum class Probe { Loaded, NotLoadable, Unusable };

    explicit ImgctlLibrary(QString programFolder);
    ~ImgctlLibrary();
    ImgctlLibrary(const ImgctlLibrary&) = delete;
    ImgctlLibrary& operator=(const ImgctlLibrary&) = delete;

    // Loads the library and calls ImgctlVersion. NotLoadable: no library file could be found or
    // loaded. Unusable: it loaded but lacks one of its functions.
    Probe probe();

    struct PngResult {
        bool written = false;
        int errorCode = 0;  // the library's code when not written
    };
    // Normal, or Strong: many times the time for a smaller file (DIBtoPNG's option).
    enum class Effort { Normal, Strong };
    // Writes the picture as a PNG file: DCtoDIB, DIBtoPNG, ImgctlError after a failure, and
    // DeleteDIB once the file is written or has failed.
    PngResult writePng(const QImage& picture, const QString& path, Effort effort = Effort::Normal);
    // Writes the picture in at most 256 dithered colours, halved first when asked
    // (DIBtoReducedPNG): lossy, for a picture that no lossless file brings under a size limit.
    enum class Size { Full, Half };
    PngResult writeReducedPng(const QImage& picture, const QString& path, Size size,
                              Effort effort = Effort::Normal);

private:
    using VersionFn = int32_t (*)();
    using DcToDibFn = intptr_t (*)(intptr_t, int32_t, int32_t, int32_t, int32_t);
    using DibToPngFn = int32_t (*)(const char*, intptr_t, int32_t);
    using ErrorFn = int32_t (*)();
    using DeleteDibFn = int32_t (*)(intptr_t);

    bool load();
    bool resolve();
    // DCtoDIB, write(dib), ImgctlError after a failure, DeleteDIB.
    template <typename Write>
    PngResult withDib(const QImage& picture, Write write);

    QString programFolder_;
    QLibrary library_;
    VersionFn version_ = nullptr;
    DcToDibFn dcToDib_ = nullptr;
    DibToPngFn dibToPng_ = nullptr;
    DibToPngFn dibToReducedPng_ = nullptr;
    ErrorFn error_ = nullptr;
    DeleteDibFn deleteDib_ = nullptr;
};

}  // namespace quiblo
