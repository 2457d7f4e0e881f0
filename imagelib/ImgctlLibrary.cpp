#include "ImgctlLibrary.h"

#include <QFile>
#include <QFileInfo>

#include "imgctl/imgctl.h"
#include "platform/Fault.h"
#include "platform/ProgramFolder.h"

namespace quiblo {

ImgctlLibrary::ImgctlLibrary(QString programFolder) : programFolder_(std::move(programFolder)) {
    // Bind every symbol at load, so a library with unresolved dependencies fails here and not
    // in the middle of writing a picture.
    // The code itself is never unmapped: the colour quantiser leaves worker threads (OpenMP's)
    // waiting for the next picture, and unloading code under live threads is unsafe.
    library_.setLoadHints(QLibrary::ResolveAllSymbolsHint | QLibrary::PreventUnloadHint);
}

ImgctlLibrary::~ImgctlLibrary() {
    if (library_.isLoaded()) library_.unload();  // Qt's record goes; the code stays mapped
}

bool ImgctlLibrary::load() {
    if (library_.isLoaded()) return true;
    // Beside the program (a build, a portable copy), then where an install puts it.
    for (const QString& folder :
         {programFolder_, programFolder_ + QStringLiteral("/../lib/quiblo")}) {
        const QString file = programFile(folder, QStringLiteral("libimgctl.so"));
        if (QFileInfo::exists(file)) {
            library_.setFileName(QFileInfo(file).absoluteFilePath());
            return library_.load();
        }
    }
    library_.setFileName(QStringLiteral("imgctl"));  // the system's library path
    return library_.load();
}

bool ImgctlLibrary::resolve() {
    version_ = reinterpret_cast<VersionFn>(library_.resolve("ImgctlVersion"));
    dcToDib_ = reinterpret_cast<DcToDibFn>(library_.resolve("DCtoDIB"));
    dibToPng_ = reinterpret_cast<DibToPngFn>(library_.resolve("DIBtoPNG"));
    dibToReducedPng_ = reinterpret_cast<DibToPngFn>(library_.resolve("DIBtoReducedPNG"));
    error_ = reinterpret_cast<ErrorFn>(library_.resolve("ImgctlError"));
    deleteDib_ = reinterpret_cast<DeleteDibFn>(library_.resolve("DeleteDIB"));
    return version_ && dcToDib_ && dibToPng_ && dibToReducedPng_ && error_ && deleteDib_;
}

ImgctlLibrary::Probe ImgctlLibrary::probe() {
    if (!load()) return Probe::NotLoadable;
    if (!resolve()) return Probe::Unusable;
    version_();  // the result is not needed: the call proves the library works
    return Probe::Loaded;
}

template <typename Write>
ImgctlLibrary::PngResult ImgctlLibrary::withDib(const QImage& picture, Write write) {
    if (!dcToDib_ && probe() != Probe::Loaded) throw RuntimeFault(FaultNumber::FileNotFound);
    const QImage pixels = picture.convertToFormat(QImage::Format_RGB32);
    ImgctlDC dc{pixels.constBits(), pixels.width(), pixels.height(),
                static_cast<int32_t>(pixels.bytesPerLine()), IMGCTL_FORMAT_BGRX32};
    intptr_t dib = dcToDib_(reinterpret_cast<intptr_t>(&dc), 0, 0, pixels.width(), pixels.height());
    PngResult result;
    if (dib == 0) {  // the copy failed: its code tells why
        result.errorCode = error_();
        return result;
    }
    result.written = write(dib) != 0;
    if (!result.written) result.errorCode = error_();
    deleteDib_(dib);
    return result;
}

ImgctlLibrary::PngResult ImgctlLibrary::writePng(const QImage& picture, const QString& path,
                                                 Effort effort) {
    const int32_t options = effort == Effort::Strong ? IMGCTL_OPTION_STRONG : 0;
    return withDib(picture, [&](intptr_t dib) {
        return dibToPng_(QFile::encodeName(path).constData(), dib, options);
    });
}

ImgctlLibrary::PngResult ImgctlLibrary::writeReducedPng(const QImage& picture, const QString& path,
                                                        Size size, Effort effort) {
    const int32_t options = (size == Size::Half ? IMGCTL_OPTION_HALF : 0) |
                            (effort == Effort::Strong ? IMGCTL_OPTION_STRONG : 0);
    return withDib(picture, [&](intptr_t dib) {
        return dibToReducedPng_(QFile::encodeName(path).constData(), dib, options);
    });
}

}  // namespace quiblo
