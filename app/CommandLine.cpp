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
                return invalid(
                    QCoreApplication::translate("CommandLine", "--capture には full、window、region のどれかを"
                                   "指定してください。"));
            }
            line.captureType = captureTypeOfName(type);
            if (line.captureType == 0)
                return invalid(QCoreApplication::translate("CommandLine", "撮影範囲が正しくありません: ") + type);
        } else {
            return invalid(QCoreApplication::translate("CommandLine", "不明な引数です: ") + argument);
        }
    }
    return line;
}

QString usageText() {
    return QCoreApplication::translate("CommandLine", "使い方: quiblo [--capture full|window|region] [--bind-keys] [--unbind-keys]\n"
        "\n"
        "  --capture full     全画面を撮影する\n"
        "  --capture window   アクティブウィンドウを撮影する\n"
        "  --capture region   任意の指定範囲を撮影する\n"
        "  --bind-keys        Print キーなどに撮影を割り当てる\n"
        "  --unbind-keys      その割り当てを外す\n"
        "  --help             この使い方を表示する\n"
        "  --version          バージョンを表示する\n"
        "\n"
        "クイブロが既に起動しているときは、その画面で撮影が始まります。\n");
}

QString versionText() {
    return QStringLiteral(
               "quiblo %1.%2\n"
               "License GPL-3.0-or-later: GNU GPL version 3 or later "
               "<https://www.gnu.org/licenses/gpl.html>\n")
        .arg(kVersionMajor)
        .arg(kVersionMinor);
}

}  // namespace quiblo
