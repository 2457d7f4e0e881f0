/* imgctl: the image library that turns a picture into a PNG file.
 *
 * C ABI, bound by name at run time by the program. Handles are pointer-sized.
 * A "device context" is a read-only view of a picture's pixels (ImgctlDC); the caller passes
 * its address as the handle. A "DIB" is an opaque handle to a copy of a rectangle of those
 * pixels, owned by the library until DeleteDIB releases it. */
#ifndef IMGCTL_H
#define IMGCTL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define IMGCTL_API __attribute__((visibility("default")))

/* Pixel formats of a device context. */
enum {
    IMGCTL_FORMAT_BGRX32 = 1, /* 4 bytes per pixel, B G R X in memory (QImage::Format_RGB32) */
    IMGCTL_FORMAT_RGB24 = 2   /* 3 bytes per pixel, R G B in memory (QImage::Format_RGB888) */
};

/* Error codes reported by ImgctlError for the last failed call of the calling thread. */
enum {
    IMGCTL_OK = 0,
    IMGCTL_ERR_BAD_HANDLE = 1,   /* null or unknown device context or DIB */
    IMGCTL_ERR_BAD_ARGUMENT = 2, /* rectangle outside the picture, bad size, stride or format */
    IMGCTL_ERR_NO_MEMORY = 3,
    IMGCTL_ERR_OPEN_FILE = 4,  /* the output file could not be created */
    IMGCTL_ERR_WRITE_FILE = 5, /* writing or closing the output file failed */
    IMGCTL_ERR_ENCODE = 6,     /* the compressor failed */
    IMGCTL_ERR_NOT_A_FILE = 7, /* the path names a folder, device, pipe or socket: left alone */
    IMGCTL_ERR_QUANTIZE = 8,   /* DIBtoReducedPNG: the colour quantiser failed */
    IMGCTL_ERR_PROOF = 9       /* the encoded file did not decode to the picture, nor did the
                                  plainest encoding: nothing was written, the path left as it was */
};

typedef struct ImgctlDC {
    const void* pixels;
    int32_t width;
    int32_t height;
    int32_t stride; /* bytes from one row to the next */
    int32_t format; /* IMGCTL_FORMAT_* */
} ImgctlDC;

/* Version as major * 100 + minor. */
IMGCTL_API int32_t ImgctlVersion(void);

/* Copies the rectangle (x, y, width, height) of the device context *(const ImgctlDC*)dc into a
 * new DIB. Returns the DIB handle, or 0 on failure (see ImgctlError). */
IMGCTL_API intptr_t DCtoDIB(intptr_t dc, int32_t x, int32_t y, int32_t width, int32_t height);

/* DIBtoPNG options. */
enum {
    IMGCTL_OPTION_STRONG =
        1 /* compress harder: a smaller file for many times the time (png_bench has the figures) */
};

/* Writes the DIB as a PNG file. path: zero-terminated, in the system's file-name encoding.
 * Every file is proved before it is written: its bytes are decoded again (inflated, unfiltered)
 * and compared with the picture's pixels; on a mismatch the picture is encoded again the plainest
 * way (unfiltered rows, one libdeflate stream), and when that fails its proof too the call fails
 * with IMGCTL_ERR_PROOF.
 * options: 0 or IMGCTL_OPTION_STRONG. Returns non-zero when the file was written, 0 on failure
 * (see ImgctlError); a failed call leaves no partial file behind. A symbolic link is followed and
 * the file it points at is written; an existing file keeps its permissions and owner; anything at
 * the path that is not a regular file is refused with IMGCTL_ERR_NOT_A_FILE. */
IMGCTL_API int32_t DIBtoPNG(const char* path, intptr_t dib, int32_t options);

/* DIBtoReducedPNG options. */
enum {
    IMGCTL_OPTION_HALF = 2 /* halve the picture in both directions first (odd sizes rounded down),
                              each pixel the average of the four it stands for */
};

/* Writes the DIB as a palette PNG of at most 256 colours chosen for the picture, dithered: a
 * lossy picture for when no lossless one fits a size limit. options: 0, or IMGCTL_OPTION_HALF,
 * IMGCTL_OPTION_STRONG or both.
 * Returns and fails as DIBtoPNG does (IMGCTL_ERR_QUANTIZE when the quantiser fails; a DIB
 * smaller than 2x2 cannot be halved: IMGCTL_ERR_BAD_ARGUMENT). */
IMGCTL_API int32_t DIBtoReducedPNG(const char* path, intptr_t dib, int32_t options);

/* The error code of the last failed call on this thread (IMGCTL_OK if none). */
IMGCTL_API int32_t ImgctlError(void);

/* Releases a DIB. Returns non-zero on success, 0 for an unknown handle. */
IMGCTL_API int32_t DeleteDIB(intptr_t dib);

#ifdef __cplusplus
}
#endif

#endif
