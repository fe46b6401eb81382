#include "app/CommandLine.h"

#include "app/BuildConfig.h"

#include <cstdio>

namespace {

// Qt's options for every GUI program; those that take a value take the next argument.
const QStringList kQtOptionsWithValue = {
    QStringLiteral("-platform"), QStringLiteral("-platformpluginpath"), QStringLiteral("-platformtheme"),
    QStringLiteral("-plugin"),   QStringLiteral("-display"),            QStringLiteral("-style"),
    QStringLiteral("-stylesheet"), QStringLiteral("-session"),          QStringLiteral("-qwindowgeometry"),
    QStringLiteral("-qwindowtitle"), QStringLiteral("-qwindowicon"),    QStringLiteral("-geometry")};
const QStringList kQtFlags = {QStringLiteral("-reverse"), QStringLiteral("-nograb"), QStringLiteral("-dograb"),
                              QStringLiteral("-sync"), QStringLiteral("-widgetcount")};

CommandLine wrong(const QString& complaint)
{
    return {CommandLine::Action::Wrong, {}, complaint + QStringLiteral("（kennel --help で使い方を表示します）")};
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    CommandLine line;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("-h") || a == QLatin1String("--help"))
            return {CommandLine::Action::Help, {}, {}}; // answered before anything else is looked at
        if (a == QLatin1String("-v") || a == QLatin1String("--version"))
            return {CommandLine::Action::Version, {}, {}};
        if (a == QLatin1String("--setup") || a.startsWith(QLatin1String("--setup="))) {
            if (line.action == CommandLine::Action::Setup)
                return wrong(QStringLiteral("--setup は一度だけ指定できます。"));
            line.action = CommandLine::Action::Setup;
            if (a.size() > 7)
                line.hostFolder = a.mid(8);
            else if (i + 1 < arguments.size() && !arguments[i + 1].startsWith(QLatin1Char('-')))
                line.hostFolder = arguments[++i];
            if (a.size() > 7 && line.hostFolder.isEmpty())
                return wrong(QStringLiteral("--setup= のあとにフォルダを指定してください。"));
        } else if (kQtOptionsWithValue.contains(a) && i + 1 < arguments.size()) {
            ++i;
        } else if (!kQtFlags.contains(a)) {
            return wrong(a.startsWith(QLatin1Char('-')) ? QStringLiteral("不明なオプションです: ") + a
                                                        : QStringLiteral("余分な引数です: ") + a);
        }
    }
    return line;
}

CommandLine parseCommandLine(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return parseCommandLine(arguments);
}

QString versionText()
{
    return QStringLiteral("Kennel 2001 Ver.%1\n"
                          "Copyright (c) 2026 The Kennel developers\n"
                          "MIT ライセンスで配布されています。\n")
        .arg(buildconfig::kVersion);
}

QString helpText()
{
    return QStringLiteral(
        "使い方: kennel [オプション]\n"
        "\n"
        "Mew Mail 2001 対応 ペットセレクター。ミューメール（Mewmail20.exe）のフォルダに置いた\n"
        "kennel を起動すると、ペットを選んでミューメールを起動できます。\n"
        "\n"
        "オプション:\n"
        "  --setup [フォルダ]  このプログラムと書庫ライブラリ（libunlha32.so）をミューメールの\n"
        "                      フォルダにコピーし、そのコピーを起動するデスクトップ項目を\n"
        "                      作ります。Kennel.ini とペットのデータには触れません。\n"
        "                      フォルダを省くと、ウィンドウで選びます。\n"
        "  -h, --help          この説明を表示して終了します。\n"
        "  -v, --version       バージョンを表示して終了します。\n");
}

std::optional<int> answerCommandLine(const CommandLine& line)
{
    const bool display = !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
                         !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    if (line.action == CommandLine::Action::Setup && line.hostFolder.isEmpty() && !display)
        return answerCommandLine(
            wrong(QStringLiteral("ディスプレイがないため、フォルダをウィンドウで選べません。--setup のあとにフォルダを指定してください。")));
    switch (line.action) {
    case CommandLine::Action::Help:
        std::fputs(helpText().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::fputs(versionText().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Wrong:
        std::fputs(("kennel: " + line.complaint + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
        return 2;
    default:
        return std::nullopt;
    }
}
