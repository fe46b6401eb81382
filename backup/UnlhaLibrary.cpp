#include "backup/UnlhaLibrary.h"

// Placeholder until the loader lands: behaves as with the library not installed.
struct UnlhaLibrary::Impl {};

UnlhaLibrary::UnlhaLibrary(const QString&) : d(std::make_unique<Impl>()) {}
UnlhaLibrary::~UnlhaLibrary() = default;
bool UnlhaLibrary::isLoaded() const { return false; }
int UnlhaLibrary::version() const { return 0; }

QString unlhaVersionLine(int version)
{
    if (version <= 0)
        return QStringLiteral("未インストールです。");
    return QStringLiteral("Ver.%1.%2 がインストールされています。")
        .arg(version / 100)
        .arg(version % 100, 2, 10, QLatin1Char('0'));
}
