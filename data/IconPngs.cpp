// Writes the launcher's PNG icons from the program's own mark:
// <folder>/<size>x<size>/apps/<name>.png for every size given.
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "app/Artwork.h"

int main(int argc, char* argv[]) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: quiblo_icon_pngs FOLDER NAME SIZE...\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");  // no display is needed to draw into an image
    QGuiApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        const QString apps = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        if (size <= 0 || !QDir().mkpath(apps) ||
            !quiblo::programIconImage(size).save(apps + QLatin1Char('/') + name + ".png")) {
            std::fprintf(stderr, "quiblo_icon_pngs: cannot write the %s icon\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
