#pragma once

#include <QString>

#include <memory>

struct Context;

// The LHA archiver library, loaded at run time from the program folder ("libunlha32.so").
// A missing or broken library behaves as not installed.
class UnlhaLibrary {
public:
    // Loads programFolder/libunlha32.so; never fails, check isLoaded().
    explicit UnlhaLibrary(const QString& programFolder);
    ~UnlhaLibrary();
    UnlhaLibrary(const UnlhaLibrary&) = delete;
    UnlhaLibrary& operator=(const UnlhaLibrary&) = delete;

    bool isLoaded() const;
    // UnlhaGetVersion: version x 100, or 0 when not loaded.
    int version() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// "Ver.1.52 がインストールされています。" for 152; "未インストールです。" for v <= 0.
QString unlhaVersionLine(int version);
