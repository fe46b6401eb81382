#pragma once

#include "tests/support/HostFolder.h"

#include <QDir>
#include <QFileInfo>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

// Helpers shared by the archiver tests.
namespace lhatest {

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    hostfolder::write(QFileInfo(path).absolutePath(), QFileInfo(path).fileName(), bytes);
}
inline constexpr auto* readFile = &hostfolder::read;

// Deterministic pseudo-random bytes.
inline QByteArray noise(int size, quint32 seed)
{
    QByteArray a(size, '\0');
    for (char& c : a) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 24);
    }
    return a;
}

// A pet folder as Kennel keeps it: settings and information files, the item folders with
// Japanese names, mails, a binary, an empty file and an empty folder; one name holds CP932
// characters whose second byte is 0x5C.
inline void makePetFolder(const QString& pet)
{
    writeFile(pet + "/BackUp.ini", "[Backup]\r\nPet=ポチ\r\nMaster=山田\r\nDate=19991031\r\n");
    writeFile(pet + "/Mewmail設定.mwc", noise(3000, 1) + QByteArray(5000, 'A'));
    QByteArray mail;
    for (int i = 0; i < 400; ++i)
        mail +=
            QStringLiteral("From: ポチ <pochi@example.jp>\r\nSubject: おやつ %1\r\n\r\n今日は散歩に行きました。\r\n")
                .arg(i)
                .toUtf8();
    writeFile(pet + "/受信フォルダ/0001.mai", mail);
    writeFile(pet + "/受信フォルダ/0002.mai", mail.left(777));
    writeFile(pet + "/送信フォルダ/空.mai", QByteArray());
    writeFile(pet + "/おもちゃ/ball.bmp", QByteArray(54, 'B') + QByteArray(30000, '\x7f') + noise(100, 3));
    writeFile(pet + "/おやつ/sub/深い/bone.txt", "bone\n");
    writeFile(pet + "/宝物/random.bin", noise(70000, 9));
    writeFile(pet + "/添付書類ﾌｫﾙﾀﾞ/写真.jpg", noise(2000, 5));
    writeFile(pet + "/おもちゃ/ソ表予能.txt", "0x5C trail bytes\n");
    QDir().mkpath(pet + "/おやつ/空フォルダ");
}

// Every file and folder below root: relative path -> content (folders: "/" appended, null
// content). decodeName turns the raw bytes of a name into UTF-8 the way a tool wrote it.
inline QMap<QString, QByteArray> snapshot(const QString& root,
                                          const std::function<QString(const std::string&)>& decodeName = {})
{
    namespace fs = std::filesystem;
    QMap<QString, QByteArray> out;
    const fs::path base(root.toStdString());
    std::error_code ec;
    for (fs::recursive_directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string rel = fs::relative(it->path(), base).native();
        const QString name = decodeName ? decodeName(rel) : QString::fromStdString(rel);
        if (it->is_directory())
            out.insert(name + "/", QByteArray());
        else {
            // Names may not be UTF-8: read through the native path.
            std::ifstream in(it->path(), std::ios::binary);
            const std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            out.insert(name, QByteArray(data.data(), static_cast<qsizetype>(data.size())));
        }
    }
    return out;
}

// Removes everything below folder, whatever bytes the names hold.
inline void clearFolder(const QString& folder)
{
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder.toStdString(), ec))
        std::filesystem::remove_all(e.path(), ec);
}

} // namespace lhatest
