// Leaks on purpose, once through a library whose own leaks tests/sanitizer/lsan.supp lets pass,
// so that the sanitizer run proves the file still reports a leak of ours made there:
//
//   leak_check imagequant | dbus | qtdbus | qobject | qthread
//
// Each leak is made in a frame of its own, so that its report names it.
#include <dbus/dbus.h>
#include <libimagequant.h>

#include <QCoreApplication>
#include <QDBusMessage>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// A picture handed to libimagequant, its settings and image never destroyed.
__attribute__((noinline)) void leakImagequantImage() {
    static std::vector<unsigned char> pixels(16 * 16 * 4, 0x80);
    liq_attr* attributes = liq_attr_create();
    (void)liq_image_create_rgba(attributes, pixels.data(), 16, 16, 0);
}

// A message of libdbus never released.
__attribute__((noinline)) void leakDbusMessage() {
    (void)dbus_message_new_method_call("io.github.quiblo.Check", "/io/github/quiblo/Check",
                                       "io.github.quiblo.Check", "Leak");
}

// A Qt D-Bus message, its data made inside QtDBus, never released.
__attribute__((noinline)) void leakQtDbusMessage() {
    (void)new QDBusMessage(QDBusMessage::createMethodCall(
        QStringLiteral("io.github.quiblo.Check"), QStringLiteral("/io/github/quiblo/Check"),
        QStringLiteral("io.github.quiblo.Check"), QStringLiteral("Leak")));
}

// A Qt object never deleted.
__attribute__((noinline)) void leakQObject() {
    (void)new QTimer;
}

// A thread object of ours never deleted: the pool threads' line does not hide it.
__attribute__((noinline)) void leakQThread() {
    (void)new QThread;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const char* what = argc > 1 ? argv[1] : "";
    if (std::strcmp(what, "imagequant") == 0)
        leakImagequantImage();
    else if (std::strcmp(what, "dbus") == 0)
        leakDbusMessage();
    else if (std::strcmp(what, "qtdbus") == 0)
        leakQtDbusMessage();
    else if (std::strcmp(what, "qobject") == 0)
        leakQObject();
    else if (std::strcmp(what, "qthread") == 0)
        leakQThread();
    else {
        std::fprintf(stderr, "usage: leak_check imagequant|dbus|qtdbus|qobject|qthread\n");
        return 2;
    }
    return 0;
}
