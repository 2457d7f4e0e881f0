#include "CommandLine.h"

#include <QCoreApplication>

#include "AppState.h"

namespace quiblo {

namespace {

const char* const kTypeNames[] = {"full", "window", "region"};

}  // namespace

int captureTypeOfName(const QString& name) {
    for (int i = 0; i < 3; ++i) {
        if (name == QLatin1String(kTypeNames[i])) return i + 1;
    }
    return 0;
}

QString captureRequest(int captureType) {
    return QStringLiteral("capture ") + QLatin1String(kTypeNames[captureType - 1]);
}

CommandLine parseCommandLine(const QStringList& arguments) {
    CommandLine line;
    auto invalid = [&line](const QString& error) {
        line.action = CommandLine::Action::Invalid;
        line.error = error;
        return line;
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            line.action = CommandLine::Action::Help;
        } else if (argument == QLatin1String("--version")) {
            if (line.action == CommandLine::Action::Run) line.action = CommandLine::Action::Version;
        } else if (argument == QLatin1String("--bind-keys") ||
                   argument == QLatin1String("--unbind-keys")) {
            if (line.action == CommandLine::Action::Run)
                line.action = argument == QLatin1String("--bind-keys")
                                  ? CommandLine::Action::BindKeys
                                  : CommandLine::Action::UnbindKeys;
        } else if (argument == QLatin1String("--capture") ||
                   argument.startsWith(QLatin1String("--capture="))) {
            QString type;
            if (argument.contains(QLatin1Char('='))) {
                type = argument.section(QLatin1Char('='), 1);
            } else if (i + 1 < arguments.size()) {
                type = arguments[++i];
            } else {
                return invalid(QCoreApplication::translate(
                    "CommandLine", "--capture needs one of full, window or region."));
            }
            line.captureType = captureTypeOfName(type);
            if (line.captureType == 0)
                return invalid(
                    QCoreApplication::translate("CommandLine", "Unknown capture area: ") + type);
        } else {
            return invalid(QCoreApplication::translate("CommandLine", "Unknown argument: ") +
                           argument);
        }
    }
    return line;
}

QString usageText() {
    return QCoreApplication::translate(
        "CommandLine",
        "Usage: quiblo [--capture full|window|region] [--bind-keys] [--unbind-keys]\n"
        "\n"
        "  --capture full     capture the whole screen\n"
        "  --capture window   capture the active window\n"
        "  --capture region   capture a region you select\n"
        "  --bind-keys        capture with the Print key and its variants\n"
        "  --unbind-keys      remove those keys again\n"
        "  --help             show this help\n"
        "  --version          show the version\n"
        "\n"
        "If Quiblo is already running, the capture starts in its window.\n");
}

QString versionText() {
    return QCoreApplication::translate("CommandLine",
                                       "quiblo %1.%2\n"
                                       "License GPL-3.0-or-later: GNU GPL version 3 or later "
                                       "<https://www.gnu.org/licenses/gpl.html>\n")
        .arg(kVersionMajor)
        .arg(kVersionMinor);
}

}  // namespace quiblo
