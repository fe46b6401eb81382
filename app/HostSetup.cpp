#include "app/HostSetup.h"

#include "app/BuildConfig.h"
#include "storage/HostLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

namespace {

const QString kProgramFile = QStringLiteral("kennel");

// Copies through a temporary name and renames it into place: a Kennel running from the
// target keeps its old file, and a failed copy leaves the old one whole.
bool installFile(const QString& source, const QString& target, QFile::Permissions permissions, QString* why)
{
    const QString temporary = target + QStringLiteral(".kennel-setup");
    QFile::remove(temporary);
    QFile in(source);
    QFile out(temporary);
    bool ok = in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly);
    while (ok && !in.atEnd()) {
        const QByteArray block = in.read(1 << 20);
        ok = !block.isEmpty() && out.write(block) == block.size();
    }
    ok = ok && out.flush() && out.setPermissions(permissions);
    out.close();
    if (ok && std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) == 0)
        return true;
    *why = (in.error() != QFile::NoError ? in.errorString() : out.errorString());
    QFile::remove(temporary);
    return false;
}

bool writeText(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
}

} // namespace

int printSetup(const SetupOutcome& outcome)
{
    for (const QString& line : outcome.lines)
        std::fputs(((outcome.done ? QString() : QStringLiteral("kennel: ")) + line + QLatin1Char('\n')).toLocal8Bit().constData(),
                   outcome.done ? stdout : stderr);
    return outcome.done ? 0 : 1;
}

QString dataHomeFolder()
{
    const QString set = qEnvironmentVariable("XDG_DATA_HOME");
    if (QDir::isAbsolutePath(set))
        return QDir::cleanPath(set);
    return QDir::homePath() + QStringLiteral("/.local/share");
}

QString quoteExecArgument(const QString& argument)
{
    // Inside double quotes, " ` $ and \ take a backslash; then, as in every string value of a
    // desktop entry, each backslash is doubled; and % is doubled as it is no field code.
    QString quoted;
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1String("\\\\");
        if (c == QLatin1Char('\\'))
            quoted += QLatin1String("\\\\");
        else if (c == QLatin1Char('%'))
            quoted += QLatin1String("%%");
        else if (c == QLatin1Char('\n'))
            quoted += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            quoted += QLatin1String("\\t");
        else if (c == QLatin1Char('\r'))
            quoted += QLatin1String("\\r");
        else
            quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString desktopEntryText(const QString& program)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Kennel 2001\n"
                          "GenericName=ペットセレクター\n"
                          "Comment=Mew Mail 2001 対応 ペットセレクター（%1）\n"
                          "Exec=%2\n"
                          "Icon=kennel\n"
                          "Terminal=false\n"
                          "Categories=Utility;\n"
                          "Keywords=pet;mail;Mewmail;ペット;ミューメール;\n")
        .arg(QString(QFileInfo(program).absolutePath()).replace(QLatin1Char('\\'), QLatin1String("\\\\"))
                 .replace(QLatin1Char('\n'), QLatin1String("\\n")),
             quoteExecArgument(program));
}

SetupOutcome setupHostFolder(const SetupSources& from, const QString& hostFolder, const QString& dataHome)
{
    SetupOutcome outcome;
    const QFileInfo host(hostFolder);
    const QString folder = host.absoluteFilePath();
    if (!host.isDir()) {
        outcome.lines << QStringLiteral("フォルダ %1 がありません。").arg(folder);
        return outcome;
    }
    if (!QFileInfo(folder + QLatin1Char('/') + texts::kHostExe).isFile()) {
        outcome.lines << QStringLiteral("%1 に %2 がありません。ミューメールのフォルダを指定してください。")
                             .arg(folder, texts::kHostExe);
        return outcome;
    }

    // The program, then the archiver library when there is one beside it; a copy that is
    // already the source (a setup run from the host folder) stays as it is.
    if (!QFileInfo(from.program).isFile()) {
        outcome.lines << QStringLiteral("コピーするプログラム %1 が見つかりません。").arg(from.program);
        return outcome;
    }
    const QString sourceFolder = QFileInfo(from.program).absolutePath();
    struct Part {
        QString source;
        QString name;
    };
    const Part parts[] = {{from.program, kProgramFile},
                          {sourceFolder + QLatin1Char('/') + texts::kLibraryFile, texts::kLibraryFile}};
    for (const Part& part : parts) {
        const QString target = folder + QLatin1Char('/') + part.name;
        const QFileInfo existing(target);
        if (!QFileInfo(part.source).isFile()) {
            outcome.notes << QStringLiteral("%1 がないため、書庫（LZH）でのバックアップとリストアは使えません。")
                                 .arg(part.source);
            outcome.lines << outcome.notes.constLast();
            continue;
        }
        if (existing.exists() && !existing.isFile()) {
            outcome.lines << QStringLiteral("%1 はファイルではないため、置き換えません。").arg(target);
            return outcome;
        }
        if (existing.exists() && existing.canonicalFilePath() == QFileInfo(part.source).canonicalFilePath())
            continue;
        QString why;
        if (!installFile(part.source, target, QFile::Permissions(0x7755) /* rwxr-xr-x */, &why)) {
            outcome.lines << QStringLiteral("%1 をコピーできませんでした: %2").arg(target, why);
            return outcome;
        }
        outcome.lines << QStringLiteral("%1 をコピーしました。").arg(target);
    }
    outcome.program = folder + QLatin1Char('/') + kProgramFile;

    // The icon, so that the entry shows it even where no package installed it.
    const QDir icons(from.iconFolder);
    for (const QString& file : icons.entryList({QStringLiteral("kennel-*.png")})) {
        const QString size = file.mid(7).chopped(4);
        QFile picture(icons.filePath(file));
        if (picture.open(QIODevice::ReadOnly))
            writeText(QStringLiteral("%1/icons/hicolor/%2x%2/apps/kennel.png").arg(dataHome, size), picture.readAll());
    }
    outcome.desktopFile = dataHome + QStringLiteral("/applications/") + buildconfig::kAppId + QStringLiteral(".desktop");
    if (!writeText(outcome.desktopFile, desktopEntryText(outcome.program).toUtf8())) {
        outcome.lines << QStringLiteral("デスクトップ項目 %1 を書けませんでした。").arg(outcome.desktopFile);
        return outcome;
    }
    outcome.lines << QStringLiteral("デスクトップ項目 %1 を作りました。メニューの「Kennel 2001」から %2 を起動できます。")
                         .arg(outcome.desktopFile, outcome.program);
    outcome.done = true;
    return outcome;
}
