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
const QColor kPale(0xf4, 0xf8, 0xfd);

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

// The program's name in bold white letters `pixels` high, at the left of box: both banners'.
void drawName(QPainter& p, const QRect& box, int pixels) {
    QFont title = p.font();
    title.setPixelSize(pixels);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter,
               QCoreApplication::translate("Artwork", "Quiblo"));
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

    drawName(p, QRect(70, 4, 220, 34), 26);
    QFont sub = p.font();
    sub.setPixelSize(11);
    sub.setBold(false);
    p.setFont(sub);
    p.setPen(kSun);
    p.drawText(QRect(72, 38, 220, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Quick screenshot to URL"));
    return pixmap;
}

QPixmap versionBackgroundPicture() {
    QPixmap picture(500, 294);
    QPainter p(&picture);
    QLinearGradient shade(0, 0, 0, 294);
    shade.setColorAt(0, Qt::white);
    shade.setColorAt(1, kPale);
    p.fillRect(picture.rect(), shade);
    return picture;
}

// The version window's banner: the name beside the program icon, fading out towards the version.
QPixmap versionBannerPicture() {
    QPixmap picture(500, 50);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient band(0, 0, 500, 0);
    band.setColorAt(0, kDeep);
    band.setColorAt(0.45, kSky);
    band.setColorAt(0.7, Qt::white);
    p.fillRect(picture.rect(), band);
    drawName(p, QRect(52, 0, 200, 50), 24);
    return picture;
}

QPixmap developerPicture() {
    QPixmap picture(202, 42);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.drawPixmap(156, 5, programIcon().pixmap(32, 32));
    QFont name = p.font();
    name.setPixelSize(18);
    name.setBold(true);
    p.setFont(name);
    p.setPen(kDeep);
    p.drawText(QRect(0, 0, 146, 42), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Quiblo Project"));
    return picture;
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
