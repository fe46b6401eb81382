#include "registry/RegistryFormat.h"

#include "registry/Cp932.h"
#include "registry/KeyedLines.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <limits>

// The bytes of Kennel.ini, without files or the program's state: the fuzz targets build
// this file on its own.

namespace {

const QString kVersionLine = QStringLiteral("Version = 2.0");

QByteArray encodeLine(const QString& line)
{
    // Only called with texts checked by formatRegistry.
    return cp932::encode(line).value_or(QByteArray()) + "\r\n";
}

std::optional<int> findNumber(const QStringList& lines, const QString& key)
{
    const auto value = keyedlines::findValue(lines, key);
    if (!value)
        return std::nullopt;
    const long long n = lenientNumber(*value);
    if (n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::min();  // out of every valid range
    return static_cast<int>(n);
}

const QString kFlagKeys[] = {QStringLiteral("Oyatsu = "), QStringLiteral("Treasures = "),
                             QStringLiteral("Friends = "), QStringLiteral("Toys = "),
                             QStringLiteral("Mails = ")};

bool* flagOf(PetTable& t, int k)
{
    bool* flags[] = {&t.Oyatsu, &t.Treasures, &t.Friends, &t.Toys, &t.Mails};
    return flags[k];
}

}  // namespace

QString signBlank(int value)
{
    return value < 0 ? QString::number(value) : QLatin1Char(' ') + QString::number(value);
}

long long lenientNumber(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    long long n = 0;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        if (n < 1'000'000'000'000LL)  // saturate far beyond any valid value
            n = n * 10 + (text[i].unicode() - '0');
    }
    return negative ? -n : n;
}

bool registrableName(const QString& name)
{
    static const QString keys[] = {kVersionLine,
                                   QStringLiteral("CurrentUser ="),
                                   QStringLiteral("MaxUser ="),
                                   QStringLiteral("LastUser = "),
                                   kFlagKeys[0],
                                   kFlagKeys[1],
                                   kFlagKeys[2],
                                   kFlagKeys[3],
                                   kFlagKeys[4],
                                   // BackUp.ini
                                   QStringLiteral("Pet = "),
                                   QStringLiteral("Master = "),
                                   QStringLiteral("Backup Date = ")};
    static const QRegularExpression numberedKey(QStringLiteral("(master|pet) ?-?[0-9]+ = "),
                                                QRegularExpression::CaseInsensitiveOption);
    if (!cp932::storableInLine(name))
        return false;
    for (const QString& key : keys)
        if (name.contains(key, Qt::CaseInsensitive))
            return false;
    return !numberedKey.match(name).hasMatch();
}

std::optional<QByteArray> formatRegistry(const PetTable& t)
{
    if (t.MaxUser < -1 || t.MaxUser >= kMaxPets)
        return std::nullopt;
    for (int i = 0; i <= t.MaxUser; ++i)
        if (!cp932::storableInLine(t.Pet[i]) || !cp932::storableInLine(t.Master[i]))
            return std::nullopt;
    QByteArray out;
    out += encodeLine(kVersionLine);
    out += encodeLine(QStringLiteral("CurrentUser =") + signBlank(t.CurrentUser));
    out += encodeLine(QStringLiteral("MaxUser =") + signBlank(t.MaxUser));
    for (int i = 0; i <= t.MaxUser; ++i) {
        out += encodeLine(QStringLiteral("Master") + signBlank(i) + QStringLiteral(" = ") + t.Master[i]);
        out += encodeLine(QStringLiteral("Pet") + signBlank(i) + QStringLiteral(" = ") + t.Pet[i]);
    }
    PetTable copy = t;
    for (int k = 0; k < 5; ++k)
        out += encodeLine(kFlagKeys[k] + (*flagOf(copy, k) ? QStringLiteral("-1") : QStringLiteral("0")));
    return out;
}

RegistryContent parseRegistry(const QByteArray& bytes)
{
    RegistryContent result;
    const QStringList lines = keyedlines::decode(bytes);
    const bool version2 = std::any_of(lines.begin(), lines.end(), [](const QString& l) {
        return l.contains(kVersionLine, Qt::CaseInsensitive);
    });
    if (!version2) {
        const auto last = findNumber(lines, QStringLiteral("LastUser = "));
        if (last && *last >= 0 && *last <= 2) {
            result.kind = RegistryContent::Kind::Version1;
            result.lastUser = *last;
        }
        return result;
    }
    PetTable& t = result.table;
    const auto current = findNumber(lines, QStringLiteral("CurrentUser ="));
    const auto max = findNumber(lines, QStringLiteral("MaxUser ="));
    if (!current || !max)
        return result;
    // Numbers that would index outside the table make the file unusable.
    if (*max < -1 || *max >= kMaxPets || *current < -1 || *current > *max)
        return result;
    t.CurrentUser = *current;
    t.MaxUser = *max;
    for (int i = 0; i <= t.MaxUser; ++i) {
        const auto master = keyedlines::findValue(lines, QStringLiteral("Master") + signBlank(i) + QStringLiteral(" = "));
        const auto pet = keyedlines::findValue(lines, QStringLiteral("Pet") + signBlank(i) + QStringLiteral(" = "));
        if (!master || !pet)
            return result;
        t.Master[i] = *master;
        t.Pet[i] = *pet;
    }
    for (int k = 0; k < 5; ++k) {
        const auto flag = findNumber(lines, kFlagKeys[k]);
        if (!flag)
            return result;
        *flagOf(t, k) = *flag == -1;
    }
    result.kind = RegistryContent::Kind::Version2;
    return result;
}
