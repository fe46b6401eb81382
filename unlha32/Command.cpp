#include "Command.h"

#include <array>
#include <string_view>

namespace unlha {

namespace {

struct Token {
    std::string text;
    bool quoted;
};

bool tokenize(const std::string& s, std::vector<Token>& out, std::string& error)
{
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] == ' ' || s[i] == '\t') {
            ++i;
            continue;
        }
        if (s[i] == '"') {
            // Inside quotes, a doubled quote stands for one quote of the argument.
            std::string text;
            for (std::size_t from = i + 1;;) {
                const std::size_t end = s.find('"', from);
                if (end == std::string::npos) {
                    error = "unbalanced quotes";
                    return false;
                }
                text.append(s, from, end - from);
                if (end + 1 < s.size() && s[end + 1] == '"') {
                    text += '"';
                    from = end + 2;
                    continue;
                }
                i = end + 1;
                break;
            }
            out.push_back({std::move(text), true});
        } else {
            std::size_t end = s.find_first_of(" \t", i);
            if (end == std::string::npos)
                end = s.size();
            out.push_back({s.substr(i, end - i), false});
            i = end;
        }
    }
    return true;
}

struct SwitchRule {
    std::string_view prefix;
    char lowest, highest; // allowed digit after the prefix
};

constexpr std::array<SwitchRule, 13> kRules{{
    {"-a", '0', '2'},
    {"-d", '0', '1'},
    {"-f", '0', '1'},
    {"-n", '0', '2'},
    {"-y", '0', '1'},
    {"-jyc", '0', '1'},
    {"-jyd", '0', '1'},
    {"-jyk", '0', '1'},
    {"-jyn", '0', '1'},
    {"-jyo", '0', '1'},
    {"-jm", '0', '4'},
    {"-gn", '0', '1'},
    {"-+", 0, 0},
}};

bool applySwitch(const std::string& sw, Command& c)
{
    for (const SwitchRule& r : kRules) {
        if (r.lowest == 0) {
            if (sw == r.prefix)
                return true;
            continue;
        }
        if (sw.size() != r.prefix.size() + 1 || sw.compare(0, r.prefix.size(), r.prefix) != 0)
            continue;
        const char v = sw.back();
        if (v < r.lowest || v > r.highest)
            return false;
        const int n = v - '0';
        if (r.prefix == "-d")
            c.folderEntries = n == 1;
        else if (r.prefix == "-f")
            c.overwrite = n == 1;
        else if (r.prefix == "-jm")
            c.effort = n;
        else if (r.prefix == "-gn")
            c.codePageMark = n == 1;
        return true;
    }
    return false;
}

} // namespace

bool parseCommand(const std::string& command, Command& out, std::string& error)
{
    std::vector<Token> tokens;
    if (!tokenize(command, tokens, error))
        return false;
    if (tokens.empty() || tokens[0].quoted || tokens[0].text.size() != 1) {
        error = "missing command";
        return false;
    }
    const char letter = tokens[0].text[0];
    if (letter != 'a' && letter != 'e' && letter != 'x' && letter != 'A' && letter != 'E' && letter != 'X') {
        error = "unknown command " + tokens[0].text;
        return false;
    }
    out = Command();
    out.letter = static_cast<char>(letter | 0x20);
    bool haveArchive = false;
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (!t.quoted && !t.text.empty() && t.text[0] == '-') {
            if (!applySwitch(t.text, out)) {
                error = "unknown switch " + t.text;
                return false;
            }
            continue;
        }
        if (t.text.empty()) {
            error = "empty argument";
            return false;
        }
        if (!haveArchive) {
            out.archive = t.text;
            haveArchive = true;
        } else if (t.text.back() == '/') {
            out.groups.push_back({t.text, {}});
        } else {
            if (out.groups.empty())
                out.groups.push_back({"", {}});
            out.groups.back().names.push_back(t.text);
        }
    }
    if (!haveArchive) {
        error = "missing archive name";
        return false;
    }
    return true;
}

} // namespace unlha
