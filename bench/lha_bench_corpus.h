#pragma once

// The data the archiver benchmark packs, laid out in temporary folders from fixed seeds.

#include <cstdint>
#include <filesystem>
#include <string>

namespace lhabench {

// A few megabytes of mixed files: Japanese and English text, mails, C++ headers, a binary,
// bitmaps, compressed and random data.
std::uintmax_t mixedCorpus(const std::filesystem::path& dir);

// What the one large file of a pet holds.
enum class Large {
    Mail,  // a mailbox export: Japanese mails, compressible
    Video, // a recording: packed data that does not shrink
    Mixed, // stretches of both, as a file with embedded media
};

// A pet folder as Kennel keeps it: settings, the friends book, a few hundred mails of 1 to
// 12 KB, bitmaps, a few JPEG photos, small snacks and toys, and one large attachment of
// largeBytes (0 leaves it out).
std::uintmax_t petCorpus(const std::filesystem::path& dir, Large large, std::uintmax_t largeBytes);

// One file of size bytes, written piece by piece (a gigabyte never sits in memory).
void largeFile(const std::filesystem::path& file, Large kind, std::uintmax_t size);

} // namespace lhabench
