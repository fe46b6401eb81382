#include "HostData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTextStream>

namespace {
const QString kSettings = QStringLiteral("Mewmail設定.mwc");
const QString kSettingsBackup = QStringLiteral("Mewmail設定.bak");
const QString kFriends = QStringLiteral("おともだち帳");
const QString kInbox = QStringLiteral("受信フォルダ");
const QString kOutbox = QStringLiteral("送信フォルダ");
const QString kSnacks = QStringLiteral("おやつ");
const QString kToys = QStringLiteral("おもちゃ");
const QString kTreasures = QStringLiteral("宝物");
const QStringList kPlaces = {kToys, kSnacks, kInbox, kOutbox, QStringLiteral("添付書類ﾌｫﾙﾀﾞ"), kTreasures};
const QStringList kNames = {QStringLiteral("ミケ"), QStringLiteral("ポチ"), QStringLiteral("タマ"),
                            QStringLiteral("モモ"), QStringLiteral("ハナ"), QStringLiteral("コロ"),
                            QStringLiteral("チビ"), QStringLiteral("ソラ")};
} // namespace

HostData::HostData(const QString& folder) : folder_(folder) {}

QString HostData::path(const QString& name) const
{
    return folder_ + QLatin1Char('/') + name;
}

void HostData::prepare()
{
    QDir dir(folder_);
    for (const QString& place : kPlaces)
        dir.mkpath(place);
    if (!loadSettings()) {
        pet_ = PetState{};
        pet_.name = kNames.at(QRandomGenerator::global()->bounded(kNames.size()));
        pet_.born = QDateTime::currentDateTime();
        saveSettings();
    }
}

bool HostData::loadSettings()
{
    QFile file(path(kSettings));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    PetState state;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = line.left(eq);
        const QString value = line.mid(eq + 1);
        if (key == QStringLiteral("名前"))
            state.name = value;
        else if (key == QStringLiteral("誕生"))
            state.born = QDateTime::fromString(value, Qt::ISODate);
        else if (key == QStringLiteral("満腹度"))
            state.fullness = qBound(0, value.toInt(), 100);
        else if (key == QStringLiteral("受信数"))
            state.received = value.toInt();
        else if (key == QStringLiteral("おでかけ"))
            state.outUntil = QDate::fromString(value, Qt::ISODate);
    }
    if (state.name.isEmpty())
        state.name = QStringLiteral("ななしのペット");
    pet_ = state;
    return true;
}

void HostData::saveSettings()
{
    const QString settings = path(kSettings);
    if (QFileInfo::exists(settings)) {
        QFile::remove(path(kSettingsBackup));
        QFile::copy(settings, path(kSettingsBackup));
    }
    QFile file(settings);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return;
    QTextStream out(&file);
    out << "[Mewmail 2.0]\n"
        << "名前=" << pet_.name << '\n'
        << "誕生=" << pet_.born.toString(Qt::ISODate) << '\n'
        << "満腹度=" << pet_.fullness << '\n'
        << "受信数=" << pet_.received << '\n'
        << "おでかけ=" << (pet_.outUntil.isValid() ? pet_.outUntil.toString(Qt::ISODate) : QString()) << '\n';
}

QString HostData::writeUnique(const QString& place, const QString& stem, const QString& suffix,
                              const QByteArray& content)
{
    const QString base = path(place) + QLatin1Char('/') + stem +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_hhmmss"));
    QString name = base + suffix;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = base + QLatin1Char('_') + QString::number(n) + suffix;
    QFile file(name);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return name;
}

int HostData::countFiles(const QString& place, const QString& pattern) const
{
    return int(QDir(path(place)).entryList({pattern}, QDir::Files).size());
}

int HostData::friendCount() const
{
    QFile file(path(kFriends));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    int count = 0;
    while (!file.atEnd())
        if (!file.readLine().trimmed().isEmpty())
            ++count;
    return count;
}

int HostData::receiveMail(const QDate& today)
{
    int written = 0;
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd hh:mm"));
    writeUnique(kInbox, QStringLiteral("mail_"), QStringLiteral(".mwm"),
                (QStringLiteral("差出人: ミューメール配達係\n日付: ") + stamp +
                 QStringLiteral("\n\n%1 さんへ、おたよりが届きました。\n").arg(pet_.name))
                    .toUtf8());
    ++written;
    if (pet_.outUntil.isValid() && today >= pet_.outUntil) {
        // Back from the errand, with a letter and a little find.
        writeUnique(kInbox, QStringLiteral("home_"), QStringLiteral(".mwm"),
                    (QStringLiteral("差出人: ") + pet_.name + QStringLiteral("\n日付: ") + stamp +
                     QStringLiteral("\n\nただいま！ おみやげを拾ってきたよ。\n"))
                        .toUtf8());
        writeUnique(kTreasures, QStringLiteral("treasure_"), QStringLiteral(".pac"),
                    QStringLiteral("きれいな貝がら\n").toUtf8());
        pet_.outUntil = QDate();
        ++written;
    }
    pet_.received += written;
    saveSettings();
    return written;
}

bool HostData::eatSnack()
{
    const QStringList snacks = QDir(path(kSnacks)).entryList({QStringLiteral("*.pac")}, QDir::Files, QDir::Name);
    if (snacks.isEmpty())
        return false;
    QFile::remove(path(kSnacks) + QLatin1Char('/') + snacks.first());
    pet_.fullness = qMin(100, pet_.fullness + 10);
    saveSettings();
    return true;
}

void HostData::sendMail(const QDate& today)
{
    writeUnique(
        kOutbox, QStringLiteral("sent_"), QStringLiteral(".mwm"),
        (QStringLiteral("差出人: ") + pet_.name + QStringLiteral("\n\nこんにちは。元気にしていますか？\n")).toUtf8());
    pet_.outUntil = today.addDays(1);
    pet_.fullness = qMax(0, pet_.fullness - 10);
    saveSettings();
}

void HostData::addFriend(const QString& name)
{
    QFile file(path(kFriends));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return;
    file.write((name + QLatin1Char('\n')).toUtf8());
}

void HostData::findToy()
{
    writeUnique(kToys, QStringLiteral("toy_"), QStringLiteral(".pty"), QStringLiteral("ころころボール\n").toUtf8());
}
