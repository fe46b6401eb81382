#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// How the host's file is started. A native program runs as it is. A Windows program (its
// file starts with "MZ") runs through Wine: the program named by WINE, else "wine" on PATH,
// in the Wine prefix WINEPREFIX names, else in the prefix the file lies in (the nearest
// folder above it that holds "drive_c"), else in Wine's default one.
struct HostCommand {
    QString program;
    QStringList arguments;
    QProcessEnvironment environment;
    bool throughWine = false;
    QString error; // why it cannot be started, in Japanese; empty when it can
};

HostCommand commandForHost(const QString& file, const QProcessEnvironment& environment);

// The reasons a host cannot be started, shown below the launch failure message.
namespace hosttexts {
inline const QString kNoWine =
    QStringLiteral("Windows 版のミューメールを動かすには Wine が必要です。Wine をインストールするか"
                   "（Debian: apt install wine）、環境変数 WINE に Wine のパスを設定してください。");
inline const QString kWineVariableBad = QStringLiteral("環境変数 WINE の「%1」が見つからないか、実行できません。");
inline const QString kPrefixNotOwned =
    QStringLiteral("Wine の環境「%1」は別のユーザーのものです。そのユーザーで Kennel を起動するか、"
                   "環境変数 WINEPREFIX に自分の Wine の環境を設定してください。");
inline const QString kNotExecutable = QStringLiteral("「%1」に実行の許可がありません（chmod +x で許可できます）。");
inline const QString kNotRunnable = QStringLiteral("「%1」はこのシステムでは実行できない形式です。");
inline const QString kWineNotStarted = QStringLiteral("Wine「%1」を起動できませんでした。");
} // namespace hosttexts
