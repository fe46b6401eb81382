#include "registry/KeyedLines.h"

#include "registry/Cp932.h"

namespace keyedlines {

QStringList decode(const QByteArray& bytes)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= bytes.size(); ++i) {
        if (i == bytes.size() || bytes[i] == '\n' || bytes[i] == '\r') {
            if (i < bytes.size() || start < i)
                lines << cp932::decode(bytes.mid(start, i - start));
            if (i + 1 < bytes.size() && bytes[i] == '\r' && bytes[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    return lines;
}

std::optional<QString> findValue(const QStringList& lines, const QString& key)
{
    for (const QString& line : lines) {
        const qsizetype at = line.indexOf(key, 0, Qt::CaseInsensitive);
        if (at >= 0)
            return line.mid(at + key.size());
    }
    return std::nullopt;
}

}  // namespace keyedlines
