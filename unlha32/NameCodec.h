#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace unlha {

// Member names are stored as code page 932 bytes; on this side of the library they are UTF-8.

// Decodes CP932 bytes to UTF-8; nullopt when the bytes are not valid CP932.
std::optional<std::string> decodeCp932(std::string_view bytes);
// Encodes UTF-8 to CP932; nullopt when a character has no CP932 form or when the result would
// not decode back to the same text (the yen sign, for example, would come back as "\").
std::optional<std::string> encodeCp932(std::string_view utf8);
// True when text is well-formed UTF-8.
bool isValidUtf8(std::string_view text);

// A path component that may be created below an extraction target: not empty, not only dots, no
// control characters, no separators, no drive colon, no "|" (the Unix LHA link syntax), at most
// 255 bytes.
bool isSafeComponent(std::string_view component);

// ASCII letter case folding, as names are compared on Windows for the names Kennel uses.
std::string foldCase(std::string_view text);
// Wildcard match of a name against a pattern with "*" and "?", without regard to ASCII letter
// case. "*.*" and "*" match every name.
bool matchWildcard(std::string_view pattern, std::string_view name);
bool hasWildcard(std::string_view pattern);

// Joins path components with "/".
std::string joinPath(const std::vector<std::string>& components);

} // namespace unlha
