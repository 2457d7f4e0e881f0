// Pictures that the screen tests put on an X server.
#pragma once

#include <QImage>
#include <QRect>
#include <optional>

namespace quiblo::test {

// Where `part` lies in `whole`, pixel for pixel; nothing when nowhere.
inline std::optional<QPoint> find(const QImage& whole, const QImage& part) {
    const QRgb first = part.pixel(0, 0);
    for (int y = 0; y + part.height() <= whole.height(); ++y) {
        for (int x = 0; x + part.width() <= whole.width(); ++x) {
            if (whole.pixel(x, y) == first && whole.copy(QRect(QPoint(x, y), part.size())) == part)
                return QPoint(x, y);
        }
    }
    return std::nullopt;
}

// Every pixel tells its place and the variant, so a shifted, cut or mixed-up grab shows.
inline QImage pattern(QSize size, int variant) {
    QImage picture(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int high = (x >> 8) * 64 + (y >> 8) * 16;
            row[x] = qRgb((x + variant) & 0xff, (y * 3 + variant) & 0xff,
                          (high + variant * 5 + (x ^ y)) & 0xff);
        }
    }
    return picture;
}

// The picture as a 16-bit (5-6-5) screen shows it: each channel keeps its top bits, which are
// repeated into the low bits when read back as 8 bits (5-bit 0x10 reads 0x84).
inline QImage as16Bit(const QImage& picture) {
    QImage out = picture.copy();
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const int r = qRed(row[x]) >> 3, g = qGreen(row[x]) >> 2, b = qBlue(row[x]) >> 3;
            row[x] = qRgb(r << 3 | r >> 2, g << 2 | g >> 4, b << 3 | b >> 2);
        }
    }
    return out;
}

// `screen` with `content` laid over it at `place` (cut at the edges).
inline QImage composed(const QImage& screen, const QImage& content, const QRect& place) {
    QImage out = screen.copy();
    const QRect visible = place & out.rect();
    for (int y = visible.top(); y <= visible.bottom(); ++y) {
        for (int x = visible.left(); x <= visible.right(); ++x) {
            out.setPixel(x, y, content.pixel(x - place.x(), y - place.y()));
        }
    }
    return out;
}

// `screen` with a rectangle of one colour: a window border.
inline QImage filled(const QImage& screen, const QRect& area, QRgb colour) {
    QImage out = screen.copy();
    const QRect visible = area & out.rect();
    for (int y = visible.top(); y <= visible.bottom(); ++y) {
        for (int x = visible.left(); x <= visible.right(); ++x) out.setPixel(x, y, colour);
    }
    return out;
}

}  // namespace quiblo::test
