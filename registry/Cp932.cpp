#include "registry/Cp932.h"

#include <iconv.h>

#include <cerrno>

namespace {

// One iconv conversion of a whole buffer. Returns false when input cannot be converted;
// with `lenient`, such input is replaced by `replacement` and the conversion goes on.
bool convert(const char* to, const char* from, const QByteArray& in, QByteArray& out,
             bool lenient, const QByteArray& replacement, int unitSize)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out.clear();
    char* inPtr = const_cast<char*>(in.constData());
    size_t inLeft = static_cast<size_t>(in.size());
    QByteArray buffer(4 * in.size() + 16, '\0');
    bool ok = true;
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        size_t outLeft = static_cast<size_t>(buffer.size());
        size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer.constData(), buffer.size() - static_cast<qsizetype>(outLeft));
        if (r != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG)
            continue;
        if (!lenient) {
            ok = false;
            break;
        }
        // Invalid or incomplete input: skip one unit and mark it.
        out.append(replacement);
        size_t skip = std::min<size_t>(inLeft, static_cast<size_t>(unitSize));
        inPtr += skip;
        inLeft -= skip;
    }
    iconv_close(cd);
    return ok;
}

}  // namespace

namespace cp932 {

std::optional<QByteArray> encode(const QString& text)
{
    QByteArray out;
    const QByteArray utf8 = text.toUtf8();
    if (!convert("CP932", "UTF-8", utf8, out, false, {}, 1))
        return std::nullopt;
    // Lone surrogates and the like come through toUtf8 as replacement characters.
    if (text.contains(QChar(0xFFFD)))
        return std::nullopt;
    return out;
}

QString decode(const QByteArray& bytes)
{
    QByteArray out;
    convert("UTF-8", "CP932", bytes, out, true, QByteArray("\xEF\xBF\xBD"), 1);
    return QString::fromUtf8(out);
}

QString storedForm(const QString& text)
{
    const auto bytes = encode(text);
    return bytes ? decode(*bytes) : text;
}

bool storableInLine(const QString& text)
{
    if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) || text.contains(QChar(0)))
        return false;
    return encode(text).has_value();
}

}  // namespace cp932
