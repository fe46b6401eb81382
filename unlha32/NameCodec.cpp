#include "NameCodec.h"

#include <cerrno>
#include <iconv.h>

namespace unlha {

namespace {

std::optional<std::string> convert(const char* to, const char* from, std::string_view in)
{
    if (in.empty())
        return std::string();
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(in.size() * 4 + 8, '\0');
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    const bool flushed = r != static_cast<std::size_t>(-1) &&
                         iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    if (!flushed || inLeft != 0)
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace

bool isValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int extra;
        char32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size())
            return false;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char t = static_cast<unsigned char>(text[i + k]);
            if ((t & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

std::optional<std::string> decodeCp932(std::string_view bytes)
{
    return convert("UTF-8", "CP932", bytes);
}

std::optional<std::string> encodeCp932(std::string_view utf8)
{
    if (!isValidUtf8(utf8))
        return std::nullopt;
    auto encoded = convert("CP932", "UTF-8", utf8);
    if (!encoded)
        return std::nullopt;
    const auto back = decodeCp932(*encoded);
    if (!back || *back != utf8)
        return std::nullopt;
    return encoded;
}

bool isSafeComponent(std::string_view c)
{
    if (c.empty() || c.size() > 255)
        return false;
    if (c.find_first_not_of('.') == std::string_view::npos)
        return false;
    for (const char ch : c) {
        const unsigned char u = static_cast<unsigned char>(ch);
        if (u < 0x20 || u == 0x7F || ch == '/' || ch == '\\' || ch == ':' || ch == '|')
            return false;
    }
    return isValidUtf8(c);
}

std::string foldCase(std::string_view text)
{
    std::string out(text);
    for (char& ch : out)
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    return out;
}

bool hasWildcard(std::string_view pattern)
{
    return pattern.find_first_of("*?") != std::string_view::npos;
}

bool matchWildcard(std::string_view pattern, std::string_view name)
{
    if (pattern == "*.*" || pattern == "*")
        return true;
    const std::string p = foldCase(pattern);
    const std::string n = foldCase(name);
    // Iterative matcher with one backtrack point: linear in practice, no recursion.
    std::size_t pi = 0, ni = 0, star = std::string::npos, mark = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == '?' || p[pi] == n[ni])) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == '*') {
            star = pi++;
            mark = ni;
        } else if (star != std::string::npos) {
            pi = star + 1;
            ni = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

std::string joinPath(const std::vector<std::string>& components)
{
    std::string out;
    for (const auto& c : components) {
        if (!out.empty())
            out += '/';
        out += c;
    }
    return out;
}

} // namespace unlha
