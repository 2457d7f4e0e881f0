#include "WaylandSession.h"

#include <QDBusArgument>

#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>

#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QPainter>
#include <QTest>
#include <QWidget>

#include "../screen/ScreenPictures.h"

namespace quiblo::test {

namespace {

// Paints its picture at one device pixel a pixel.
class PictureWidget : public QWidget {
public:
    explicit PictureWidget(QImage picture) : picture_(std::move(picture)) {
        setFixedSize(picture_.size());
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, picture_); }

private:
    QImage picture_;
};

std::optional<QJsonObject> findWindow(const QJsonObject& node,
                                      const std::function<bool(const QJsonObject&)>& match) {
    if (node.contains(QLatin1String("pid")) && match(node)) return node;
    for (const char* key : {"nodes", "floating_nodes"}) {
        for (const QJsonValue& child : node.value(QLatin1String(key)).toArray()) {
            if (auto found = findWindow(child.toObject(), match)) return found;
        }
    }
    return std::nullopt;
}

}  // namespace

bool enterWaylandSession(QString* failure) {
    const QString folder = qEnvironmentVariable("QUIBLO_WAYLAND_SESSION");
    QFile env(folder + QStringLiteral("/env"));
    if (folder.isEmpty() || !env.open(QIODevice::ReadOnly)) {
        *failure = QStringLiteral("no Wayland session (QUIBLO_WAYLAND_SESSION=%1)").arg(folder);
        return false;
    }
    for (const QByteArray& line : env.readAll().split('\n')) {
        const int equals = line.indexOf('=');
        if (equals > 0) qputenv(line.left(equals).constData(), line.mid(equals + 1));
    }
    return true;
}

std::optional<int> runPatternWindowIfAsked(int argc, char** argv) {
    if (argc < 6 || QByteArray(argv[1]) != "--pattern-window") return std::nullopt;
    QApplication app(argc, argv);
    const QSize size(QByteArray(argv[3]).toInt(), QByteArray(argv[4]).toInt());
    PictureWidget window(pattern(size, QByteArray(argv[5]).toInt()));
    window.setWindowTitle(QString::fromUtf8(argv[2]));
    window.setWindowFlag(Qt::FramelessWindowHint);
    window.show();
    return app.exec();
}

SwayIpc sessionIpc() {
    return SwayIpc::fromEnvironment();
}

QRect rectOf(const QJsonObject& node, const char* key) {
    const QJsonObject r = node.value(QLatin1String(key)).toObject();
    return QRect(r.value(QLatin1String("x")).toInt(), r.value(QLatin1String("y")).toInt(),
                 r.value(QLatin1String("width")).toInt(), r.value(QLatin1String("height")).toInt());
}

std::optional<QJsonObject> awaitAnyWindow(const std::function<bool(const QJsonObject&)>& ready) {
    const SwayIpc ipc = sessionIpc();
    for (int i = 0; i < 100; ++i) {
        if (const auto tree = ipc.tree()) {
            if (auto node = findWindow(*tree, ready)) return node;
        }
        QTest::qWait(50);
    }
    return std::nullopt;
}

std::optional<QJsonObject> awaitWindow(const QString& title,
                                       const std::function<bool(const QJsonObject&)>& ready) {
    return awaitAnyWindow([&](const QJsonObject& node) {
        return node.value(QLatin1String("name")).toString() == title && ready(node);
    });
}

PatternWindow::PatternWindow(const QString& title, const QRect& place, int variant,
                             const QString& platform)
    : title_(title), place_(place), variant_(variant) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QCoreApplication::applicationFilePath(),
                   {QStringLiteral("--pattern-window"), title, QString::number(place.width()),
                    QString::number(place.height()), QString::number(variant)});
    if (!process_.waitForStarted()) return;
    if (!awaitWindow(title, [](const QJsonObject&) { return true; })) return;
    const QString criteria = QStringLiteral("[title=\"^%1$\"] ").arg(title);
    sessionIpc().command(criteria + QStringLiteral("floating enable, border none, "
                                                   "move absolute position %1 %2, focus")
                                        .arg(place.x())
                                        .arg(place.y()));
    shown_ = awaitWindow(title, [&](const QJsonObject& node) {
                 return rectOf(node) == place && node.value(QLatin1String("focused")).toBool();
             }).has_value();
    // Drawn, as grim (the desktop's own screenshot tool) sees the screen.
    for (int i = 0; shown_ && i < 50 && !onScreen(); ++i) QTest::qWait(100);
    shown_ = shown_ && onScreen();
}

bool PatternWindow::onScreen() const {
    QProcess grim;
    grim.start(QStringLiteral("grim"),
               {QStringLiteral("-g"),
                QStringLiteral("%1,%2 %3x%4")
                    .arg(place_.x())
                    .arg(place_.y())
                    .arg(place_.width())
                    .arg(place_.height()),
                QStringLiteral("-t"), QStringLiteral("ppm"), QStringLiteral("-")});
    if (!grim.waitForFinished(5000) || grim.exitCode() != 0) return false;
    const QImage shown = QImage::fromData(grim.readAllStandardOutput(), "PPM");
    return shown.convertToFormat(QImage::Format_RGB32) == content();
}

PatternWindow::~PatternWindow() {
    process_.kill();
    process_.waitForFinished();
}

QImage PatternWindow::content() const {
    return pattern(place_.size(), variant_);
}

bool PatternWindow::focus() const {
    const bool done = sessionIpc().command(QStringLiteral("[title=\"^%1$\"] focus").arg(title_));
    settle();
    return done;
}

QImage desktopPicture(QSize size, const std::vector<const PatternWindow*>& windows, QPoint origin) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(kBackground);
    for (const PatternWindow* window : windows) {
        const auto node = awaitWindow(window->title(), [](const QJsonObject&) { return true; });
        if (!node) continue;
        picture = composed(picture, window->content(), rectOf(*node).translated(-origin));
    }
    return picture;
}

void settle() {
    QTest::qWait(150);
}

namespace {
const QString kRemoteDesktop = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
}  // namespace

bool ShellKeyboard::start() {
    QDBusInterface desktop(kRemoteDesktop, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"),
                           QStringLiteral("org.gnome.Mutter.RemoteDesktop"));
    const QDBusReply<QDBusObjectPath> path = desktop.call(QStringLiteral("CreateSession"));
    if (!path.isValid()) return false;
    session_ =
        std::make_unique<QDBusInterface>(kRemoteDesktop, path.value().path(),
                                         QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session"));
    if (session_->call(QStringLiteral("Start")).type() != QDBusMessage::ReplyMessage) return false;
    // The compositor sets the new virtual keyboard up on its first key, which reaches no window:
    // a Shift press does that before any key that counts.
    return press(kShiftL);
}

bool ShellKeyboard::press(uint keysym) {
    for (bool down : {true, false}) {
        const QDBusMessage sent =
            session_->call(QStringLiteral("NotifyKeyboardKeysym"), keysym, down);
        if (sent.type() != QDBusMessage::ReplyMessage) return false;
    }
    return true;
}

ShellKeyboard::~ShellKeyboard() {
    if (session_) session_->call(QStringLiteral("Stop"));
}

std::optional<QList<ShellWindow>> shellWindows() {
    QDBusInterface shell(QStringLiteral("org.gnome.Shell.Introspect"),
                         QStringLiteral("/org/gnome/Shell/Introspect"),
                         QStringLiteral("org.gnome.Shell.Introspect"));
    const QDBusMessage reply = shell.call(QStringLiteral("GetWindows"));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    const QDBusArgument map = reply.arguments().first().value<QDBusArgument>();
    QList<ShellWindow> windows;
    map.beginMap();
    while (!map.atEnd()) {
        ShellWindow window;
        QVariantMap properties;
        map.beginMapEntry();
        map >> window.id >> properties;
        map.endMapEntry();
        window.title = properties.value(QStringLiteral("title")).toString();
        window.appId = properties.value(QStringLiteral("app-id")).toString();
        window.focused = properties.value(QStringLiteral("has-focus")).toBool();
        windows << window;
    }
    map.endMap();
    return windows;
}

}  // namespace quiblo::test
