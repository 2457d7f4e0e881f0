#include "Artwork.h"

#include <QCoreApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace quiblo {

namespace {

const QColor kSky(0x2f, 0x80, 0xd0);
const QColor kDeep(0x18, 0x4a, 0x8c);
const QColor kSun(0xff, 0xc8, 0x3c);

// A camera-like square with a lens and a flash: the program's mark.
void drawMark(QPainter& p, const QRectF& box) {
    const qreal s = box.width();
    QRectF body(box.left() + s * 0.06, box.top() + s * 0.26, s * 0.88, s * 0.64);
    p.setPen(QPen(kDeep, s * 0.05));
    p.setBrush(Qt::white);
    p.drawRoundedRect(body, s * 0.12, s * 0.12);
    p.setBrush(kDeep);
    p.drawRect(QRectF(box.left() + s * 0.24, box.top() + s * 0.14, s * 0.26, s * 0.14));
    p.setBrush(kSky);
    p.drawEllipse(body.center(), s * 0.22, s * 0.22);
    p.setPen(Qt::NoPen);
    p.setBrush(kSun);
    p.drawEllipse(QPointF(body.right() - s * 0.14, body.top() + s * 0.12), s * 0.06, s * 0.06);
}

}  // namespace

QImage programIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawMark(p, QRectF(0, 0, size, size));
    return image;
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) icon.addPixmap(QPixmap::fromImage(programIconImage(size)));
    return icon;
}

QPixmap bannerPicture() {
    QPixmap pixmap(300, 60);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 300, 60);
    sky.setColorAt(0, kSky);
    sky.setColorAt(1, kDeep);
    p.fillRect(pixmap.rect(), sky);
    drawMark(p, QRectF(10, 6, 48, 48));

    QFont title = p.font();
    title.setPixelSize(26);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(70, 4, 220, 34), Qt::AlignLeft | Qt::AlignVCenter,
               QCoreApplication::translate("Artwork", "Quiblo"));
    QFont sub = title;
    sub.setPixelSize(11);
    sub.setBold(false);
    p.setFont(sub);
    p.setPen(kSun);
    p.drawText(QRect(72, 38, 220, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Quick screenshot to URL"));
    return pixmap;
}

}  // namespace quiblo

#include <QApplication>
#include <QFontDatabase>

namespace quiblo {

void useProgramFont(QApplication& app) {
    QFont font = app.font();
    const QStringList families = QFontDatabase::families();
    for (const char* candidate : {"IPAPGothic", "IPAGothic", "Noto Sans CJK JP"}) {
        if (families.contains(QString::fromLatin1(candidate))) {
            font.setFamilies({QString::fromLatin1(candidate)});
            break;
        }
    }
    font.setPixelSize(12);
    QApplication::setFont(font);
}

}  // namespace quiblo
